#pragma once

#include <chrono>

namespace qub {

// Deadlines for a fixed frame rate. Frames are due at start + n / rate, so a
// late frame does not shift the ones after it; a loop that falls more than one
// frame behind starts afresh from now instead of racing to catch up.
class FramePacer {
  public:
    using Clock = std::chrono::steady_clock;

    // A rate of 0 or less: no pacing.
    void start(int framesPerSecond, Clock::time_point now) {
        period_ = framesPerSecond > 0
                      ? std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) /
                            framesPerSecond
                      : Clock::duration::zero();
        deadline_ = now;
    }

    // When the next frame may begin, given that the current one ended at `now`.
    Clock::time_point nextFrame(Clock::time_point now) {
        if (period_ == Clock::duration::zero()) return now;
        deadline_ += period_;
        if (now - deadline_ > period_) deadline_ = now;
        return deadline_;
    }

  private:
    Clock::duration period_{};
    Clock::time_point deadline_{};
};

} // namespace qub
