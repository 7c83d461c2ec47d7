#include "qub/frame_pacer.h"

namespace qub {

void FramePacer::start(int framesPerSecond, Clock::time_point now) {
    period_ = framesPerSecond > 0
                  ? std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) /
                        framesPerSecond
                  : Clock::duration::zero();
    deadline_ = now;
}

FramePacer::Clock::time_point FramePacer::nextFrame(Clock::time_point now) {
    if (period_ == Clock::duration::zero()) return now;
    deadline_ += period_;
    if (now - deadline_ > period_) deadline_ = now;
    return deadline_;
}

} // namespace qub
