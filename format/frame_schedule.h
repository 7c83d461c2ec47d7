#pragma once

#include <climits>
#include <cstdint>
#include <vector>

namespace tglformat {

// Which frame shows when: an absolute schedule (frame i is due its duration
// after frame i - 1 was due, so late updates do not stretch the animation)
// on the wrapping 32-bit millisecond clock, looping for ever; every duration
// divided by the speed, and pausing and stepping on top. A player that shows
// every frame advances at most one frame per update (the viewer's player and
// `tgl play`); a player asked for the frame of a given time catches up (the
// image plug-ins).
class FrameSchedule {
  public:
    static constexpr double kSlowest = 0.125;
    static constexpr double kFastest = 8;

    // New frames (their durations in milliseconds; below 0 counts as 0); the
    // current frame stays when it still exists, else the first shows.
    void setFrames(std::vector<std::int32_t> durations, std::uint32_t now);
    // Frames from `ready` on are still loading: the schedule holds on the
    // frame before the first of them, and the next frame shows, for its whole
    // time, at the first update that finds it ready. None is skipped.
    void update(std::uint32_t now, std::int32_t ready = INT32_MAX);
    // Lands on the frame due at `now` however late the call: whole loops at
    // once, then frame by frame.
    void catchUp(std::uint32_t now);

    void setPaused(bool paused, std::uint32_t now);
    // Moves by `delta` frames, wrapping, and pauses.
    void step(int delta, std::uint32_t now);
    // Shows frame `frame` (held to the frames there are) from now.
    void show(std::int32_t frame, std::uint32_t now);
    // Held to kSlowest..kFastest; the current frame's remaining time is rescaled.
    void setSpeed(double speed, std::uint32_t now);

    std::int32_t current() const { return current_; }
    std::int32_t frameCount() const { return static_cast<std::int32_t>(durations_.size()); }
    bool paused() const { return paused_; }
    double speed() const { return speed_; }
    // One loop's length at speed 1, and how far into it the current frame begins.
    std::int64_t loopMilliseconds() const { return starts_.back(); }
    std::int64_t loopPosition() const { return starts_[static_cast<std::size_t>(current_)]; }

  private:
    std::uint32_t scaled(std::int32_t duration) const;
    std::uint32_t remaining(std::uint32_t now) const;
    bool due(std::uint32_t now) const { return static_cast<std::int32_t>(now - due_) >= 0; }
    void advance();
    void rescaleLoop();

    std::vector<std::int32_t> durations_;
    // When each frame begins in the loop at speed 1, then the loop's end.
    std::vector<std::int64_t> starts_{0};
    std::int32_t current_ = 0;
    std::uint32_t due_ = 0;      // when the next frame is due, while playing
    std::uint32_t heldLeft_ = 0; // the current frame's time left, while paused
    bool paused_ = false;
    bool holding_ = false; // the next frame was due but not ready
    double speed_ = 1;
    std::uint32_t scaledLoop_ = 0; // one loop at the speed; UINT32_MAX: longer than any wait
};

} // namespace tglformat
