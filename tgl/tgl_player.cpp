#include "tgl/tgl_player.h"

#include "draw/sprite.h"
#include "platform/windows_api.h"
#include "tgl/tgl_animation.h"

void CTGLPlayer::start() {
    const std::uint32_t now = timeGetTime();
    schedule_.setFrames(animation_->durations(), now);
    schedule_.show(0, now);
    playing_ = true;
}

void CTGLPlayer::update() {
    const std::uint32_t now = timeGetTime();
    if (playing_) schedule_.update(now, ready_);
}

void CTGLPlayer::render() {
    const std::int32_t current = schedule_.current();
    if (current >= animation_->frames.size()) return;
    CTGL::frame& f = animation_->frames[current];
    if (f.sprite) f.sprite->render(static_cast<float>(f.x), static_cast<float>(f.y));
}
