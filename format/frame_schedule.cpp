#include "format/frame_schedule.h"

#include <algorithm>
#include <cmath>

namespace tglformat {

namespace {

// Deadlines stay under 2^31 ms ahead, so that the wrap-safe comparison holds.
constexpr double kLongest = 2147483647.0;

} // namespace

std::uint32_t FrameSchedule::scaled(std::int32_t duration) const {
    const double ms = std::max(duration, 0) / speed_;
    return static_cast<std::uint32_t>(std::min(std::round(ms), kLongest));
}

// Wrap-safe: a deadline at most 2^31 ms past counts as due.
std::uint32_t FrameSchedule::remaining(std::uint32_t now) const {
    if (paused_) return heldLeft_;
    const auto left = static_cast<std::int32_t>(due_ - now);
    return left > 0 ? static_cast<std::uint32_t>(left) : 0;
}

void FrameSchedule::rescaleLoop() {
    std::uint64_t loop = 0;
    for (std::int32_t d : durations_)
        loop += scaled(d);
    // A loop past any lateness the clock can tell is never skipped whole.
    scaledLoop_ = loop > INT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(loop);
}

void FrameSchedule::setFrames(std::vector<std::int32_t> durations, std::uint32_t now) {
    durations_ = std::move(durations);
    starts_.assign(1, 0);
    for (std::int32_t d : durations_)
        starts_.push_back(starts_.back() + std::max(d, 0));
    rescaleLoop();
    show(current_ < frameCount() ? current_ : 0, now);
}

void FrameSchedule::update(std::uint32_t now, std::int32_t ready) {
    if (paused_ || durations_.empty() || !due(now)) return;
    if ((current_ + 1) % frameCount() >= ready) {
        holding_ = true;
        return;
    }
    if (holding_) due_ = now;
    holding_ = false;
    advance();
}

void FrameSchedule::catchUp(std::uint32_t now) {
    if (paused_ || durations_.empty() || !due(now)) return;
    holding_ = false;
    if (scaledLoop_ == 0) return advance(); // a loop of no time: one frame a call
    due_ += (now - due_) / scaledLoop_ * scaledLoop_;
    while (due(now))
        advance();
}

void FrameSchedule::advance() {
    current_ = (current_ + 1) % frameCount();
    due_ += scaled(durations_[static_cast<std::size_t>(current_)]);
}

void FrameSchedule::setPaused(bool paused, std::uint32_t now) {
    if (paused == paused_) return;
    if (paused)
        heldLeft_ = remaining(now);
    else
        due_ = now + heldLeft_;
    paused_ = paused;
}

void FrameSchedule::step(int delta, std::uint32_t now) {
    setPaused(true, now);
    if (durations_.empty()) return;
    const std::int32_t n = frameCount();
    show(static_cast<std::int32_t>(((current_ + delta) % n + n) % n), now);
}

void FrameSchedule::show(std::int32_t frame, std::uint32_t now) {
    current_ = durations_.empty() ? 0 : std::clamp(frame, 0, frameCount() - 1);
    const std::uint32_t full = durations_.empty() ? 0 : scaled(durations_[std::size_t(current_)]);
    heldLeft_ = full;
    due_ = now + full;
    holding_ = false;
}

void FrameSchedule::setSpeed(double speed, std::uint32_t now) {
    if (!(speed >= kSlowest)) speed = kSlowest; // NaN too
    speed = std::min(speed, kFastest);
    const double left = std::min(remaining(now) * speed_ / speed, kLongest);
    speed_ = speed;
    rescaleLoop();
    heldLeft_ = static_cast<std::uint32_t>(std::round(left));
    due_ = now + heldLeft_;
}

} // namespace tglformat
