#include "format/frame_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using tglformat::FrameSchedule;

// The frame after an update at each of these times from `start`.
std::vector<std::int32_t> framesAt(FrameSchedule& s, std::uint32_t start,
                                   const std::vector<std::uint32_t>& times) {
    std::vector<std::int32_t> frames;
    for (std::uint32_t t : times) {
        s.update(start + t);
        frames.push_back(s.current());
    }
    return frames;
}

// Absolute: a late update does not stretch the next frame. Also across the
// wrap of the 32-bit clock.
TEST(FrameSchedule, KeepsTheViewersAbsoluteScheduleScaledBySpeed) {
    for (std::uint32_t start : {1000u, 0xFFFFFF00u}) {
        FrameSchedule s;
        s.setFrames({100, 200, 50}, start);
        EXPECT_EQ(framesAt(s, start, {99, 100, 310, 349, 350}),
                  (std::vector<std::int32_t>{0, 1, 2, 2, 0}));
        FrameSchedule fast;
        fast.setFrames({100, 200, 50, -5}, start);
        fast.setSpeed(2, start);
        EXPECT_EQ(framesAt(fast, start, {49, 50, 149, 150, 175, 176}),
                  (std::vector<std::int32_t>{0, 1, 1, 2, 3, 0}));
    }
}

TEST(FrameSchedule, SpeedChangesAndPausesKeepTheTimeLeftOfTheFrame) {
    FrameSchedule s;
    s.setFrames({100, 100}, 0);
    s.setSpeed(2, 50); // 50 ms left at 1x are 25 at 2x
    EXPECT_EQ(framesAt(s, 0, {74, 75}), (std::vector<std::int32_t>{0, 1}));
    s.setSpeed(1000, 75);
    EXPECT_EQ(s.speed(), FrameSchedule::kFastest);
    s.setSpeed(0, 75);
    EXPECT_EQ(s.speed(), FrameSchedule::kSlowest);

    FrameSchedule p;
    p.setFrames({100, 100}, 0);
    p.setPaused(true, 40);
    EXPECT_EQ(framesAt(p, 0, {500, 100000}), (std::vector<std::int32_t>{0, 0}));
    p.setPaused(false, 100000); // 60 ms were left
    EXPECT_EQ(framesAt(p, 100000, {59, 60}), (std::vector<std::int32_t>{0, 1}));
}

TEST(FrameSchedule, StepsWrapPauseAndShowTheWholeFrameOnResume) {
    FrameSchedule s;
    s.setFrames({100, 100, 100}, 0);
    s.step(-1, 10);
    EXPECT_TRUE(s.paused());
    EXPECT_EQ(s.current(), 2);
    s.step(1, 20);
    EXPECT_EQ(s.current(), 0);
    s.setPaused(false, 1000);
    EXPECT_EQ(framesAt(s, 1000, {99, 100}), (std::vector<std::int32_t>{0, 1}));
    s.show(99, 2000);
    EXPECT_EQ(s.current(), 2);
    EXPECT_EQ(s.loopPosition(), 200);
    EXPECT_EQ(s.loopMilliseconds(), 300);

    s.setFrames({10, 10, 10, 10}, 3000); // a reload keeps the frame that still exists
    EXPECT_EQ(s.current(), 2);
    s.setFrames({10}, 3000);
    EXPECT_EQ(s.current(), 0);
    s.setFrames({}, 3000);
    s.update(5000);
    s.step(1, 5000);
    EXPECT_EQ(s.current(), 0);
}

// An image plug-in asks for the frame of a time, however late: it lands there,
// whole loops at once, across the clock's wrap too, keeping the absolute schedule.
TEST(FrameSchedule, CatchesUpToTheFrameOfTheTimeAsked) {
    FrameSchedule s;
    const std::uint32_t start = 0xFFFFFF00u;
    s.setFrames({100, 50, 250}, start);
    const std::pair<std::uint32_t, std::int32_t> asked[] = {{99, 0},
                                                            {100, 1},
                                                            {149, 1},
                                                            {150, 2},
                                                            {399, 2},
                                                            {400, 0},
                                                            {1000 * 400 + 160, 2},
                                                            {1000 * 400 + 400, 0}};
    for (const auto& [at, frame] : asked) {
        s.catchUp(start + at);
        EXPECT_EQ(s.current(), frame) << "at " << at << " ms";
    }
    FrameSchedule instant; // frames of no time: one a call, never a hang
    instant.setFrames({0, 0}, 0);
    instant.catchUp(5);
    EXPECT_EQ(instant.current(), 1);
    FrameSchedule endless; // a loop longer than any wait the clock can tell
    endless.setFrames({INT32_MAX, INT32_MAX, 10}, 0);
    endless.catchUp(INT32_MAX);
    EXPECT_EQ(endless.current(), 1);
}

} // namespace

namespace {

// A slow loader: frames become ready late. The schedule waits on the frame
// before the first that is not ready, then shows it for its whole time; no
// frame is skipped or cut short, and once all are ready the schedule is
// absolute again.
TEST(FrameSchedule, HoldsForFramesStillLoadingAndSkipsNone) {
    FrameSchedule s;
    s.setFrames({100, 100, 100}, 0);
    struct Step {
        std::uint32_t now;
        std::int32_t ready, shown;
    };
    const Step steps[] = {{100, 1, 0}, {250, 1, 0}, {260, 2, 1}, {359, 2, 1}, {360, 2, 1},
                          {500, 3, 2}, {599, 3, 2}, {600, 3, 0}, {700, 3, 1}};
    for (const Step& step : steps) {
        s.update(step.now, step.ready);
        EXPECT_EQ(s.current(), step.shown) << "at " << step.now << " ms";
    }
}

} // namespace
