#include "qub/frame_pacer.h"

#include <gtest/gtest.h>

namespace {

using qub::FramePacer;
using namespace std::chrono_literals;

TEST(FramePacer, FramesAreDueOnAFixedGridFromTheStart) {
    FramePacer pacer;
    FramePacer::Clock::time_point t0{};
    pacer.start(100, t0);
    EXPECT_EQ(pacer.nextFrame(t0 + 3ms), t0 + 10ms);
    // A frame that took longer than planned does not push the later ones back.
    EXPECT_EQ(pacer.nextFrame(t0 + 17ms), t0 + 20ms);
    EXPECT_EQ(pacer.nextFrame(t0 + 20ms), t0 + 30ms);
}

TEST(FramePacer, FallingFarBehindStartsAfreshInsteadOfRacing) {
    FramePacer pacer;
    FramePacer::Clock::time_point t0{};
    pacer.start(100, t0);
    EXPECT_EQ(pacer.nextFrame(t0 + 500ms), t0 + 500ms);
    EXPECT_EQ(pacer.nextFrame(t0 + 501ms), t0 + 510ms);
}

TEST(FramePacer, RateZeroMeansNoWaiting) {
    FramePacer pacer;
    FramePacer::Clock::time_point t0{};
    pacer.start(0, t0);
    EXPECT_EQ(pacer.nextFrame(t0 + 1ms), t0 + 1ms);
    pacer.start(-5, t0);
    EXPECT_EQ(pacer.nextFrame(t0 + 2ms), t0 + 2ms);
}

} // namespace
