#include "tgl/tgl_player.h"

#include "draw/sprite.h"
#include "platform/windows_api.h"
#include "tgl/tgl_animation.h"

// A negative duration counts as 0: added as it stands, it would pull the
// next deadline into the past, or push it 2^31 ms away and freeze the frame.
void CTGLPlayer::scheduleNext() {
    if (!animation_ || current_ >= animation_->frames.size()) return;
    const std::int32_t duration = animation_->frames[current_].duration;
    nextSwitchTime_ += static_cast<std::uint32_t>(duration > 0 ? duration : 0);
}

void CTGLPlayer::start() {
    current_ = 0;
    nextSwitchTime_ = timeGetTime();
    scheduleNext();
    playing_ = true;
}

void CTGLPlayer::update() {
    const std::uint32_t now = timeGetTime();
    // Wrap-safe: the deadline is due when it lies at most 2^31 ms in the past.
    if (!playing_ || static_cast<std::int32_t>(now - nextSwitchTime_) < 0) return;
    if (++current_ >= animation_->frames.size()) current_ = 0;
    scheduleNext();
}

void CTGLPlayer::render() {
    if (current_ >= animation_->frames.size()) return;
    CTGL::frame& f = animation_->frames[current_];
    if (f.sprite) f.sprite->render(static_cast<float>(f.x), static_cast<float>(f.y));
}
