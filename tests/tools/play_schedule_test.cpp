#include "tools/tgl/play/play_overlay.h"
#include "tools/tgl/play/play_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using tgltool::PlaySchedule;

// The frame after an update at each of these times from `start`.
std::vector<std::int32_t> framesAt(PlaySchedule& s, std::uint32_t start,
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
TEST(PlaySchedule, KeepsTheViewersAbsoluteScheduleScaledBySpeed) {
    for (std::uint32_t start : {1000u, 0xFFFFFF00u}) {
        PlaySchedule s;
        s.setFrames({100, 200, 50}, start);
        EXPECT_EQ(framesAt(s, start, {99, 100, 310, 349, 350}),
                  (std::vector<std::int32_t>{0, 1, 2, 2, 0}));
        PlaySchedule fast;
        fast.setFrames({100, 200, 50, -5}, start);
        fast.setSpeed(2, start);
        EXPECT_EQ(framesAt(fast, start, {49, 50, 149, 150, 175, 176}),
                  (std::vector<std::int32_t>{0, 1, 1, 2, 3, 0}));
    }
}

TEST(PlaySchedule, SpeedChangesAndPausesKeepTheTimeLeftOfTheFrame) {
    PlaySchedule s;
    s.setFrames({100, 100}, 0);
    s.setSpeed(2, 50); // 50 ms left at 1x are 25 at 2x
    EXPECT_EQ(framesAt(s, 0, {74, 75}), (std::vector<std::int32_t>{0, 1}));
    s.setSpeed(1000, 75);
    EXPECT_EQ(s.speed(), PlaySchedule::kFastest);
    s.setSpeed(0, 75);
    EXPECT_EQ(s.speed(), PlaySchedule::kSlowest);

    PlaySchedule p;
    p.setFrames({100, 100}, 0);
    p.setPaused(true, 40);
    EXPECT_EQ(framesAt(p, 0, {500, 100000}), (std::vector<std::int32_t>{0, 0}));
    p.setPaused(false, 100000); // 60 ms were left
    EXPECT_EQ(framesAt(p, 100000, {59, 60}), (std::vector<std::int32_t>{0, 1}));
}

TEST(PlaySchedule, StepsWrapPauseAndShowTheWholeFrameOnResume) {
    PlaySchedule s;
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

TEST(PlayOverlay, SaysWhereTheFrameIsAndWhyFramesHaveNoImage) {
    using S = tglformat::FrameStatus;
    tgltool::OverlayFacts facts;
    facts.fileName = "walk.tgl";
    facts.frame = 2;
    facts.frameCount = 9;
    facts.duration = 80;
    facts.x = -3, facts.y = 40, facts.aux1 = 1, facts.aux2 = 7;
    facts.loopPosition = 160;
    facts.loopMilliseconds = 720;
    facts.speed = 0.25;
    facts.paused = true;
    facts.statuses = {S::Ok,      S::NotZlib,    S::Ok,         S::OverDecodedBudget,
                      S::NoBlock, S::NotAnImage, S::NotAnImage, S::NotAnImage,
                      S::Ok};
    facts.reloadError = "it does not begin with \"DFX\"";
    EXPECT_EQ(tgltool::overlayLines(facts),
              (std::vector<std::string>{
                  "walk.tgl", "frame 2 / 9  80 ms  x -3  y 40  aux 1 7",
                  "loop 160 / 720 ms  speed 1/4x  paused", "frame 1: no image (not zlib)",
                  "frame 3: no image (over the decoded budget)", "frame 4: no image (no block)",
                  "frame 5: no image (not an image)", "and 2 more without an image",
                  "not reloaded: it does not begin with \"DFX\"; showing the last good version"}));
    EXPECT_EQ(tgltool::speedText(8), "8x");
    EXPECT_EQ(tgltool::speedText(1.5), "1.5x");
    EXPECT_EQ(tgltool::speedText(0.125), "1/8x");
}

} // namespace
