#include "draw/sprite.h"
#include "platform/window_host.h"
#include "tests/support/recording_engine.h"
#include "tests/support/stdout_capture.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_player.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The player over a fake multimedia clock and the recording engine. Frames
// carry untextured sprites, so drawing them needs no real texture.
class Player : public ::testing::Test {
  protected:
    void SetUp() override {
        engine.reset();
        platform::setTimeSource([this] { return clock; });
    }
    void TearDown() override {
        player.reset();
        animation.reset();
        platform::setTimeSource(nullptr);
        EXPECT_EQ(engine.references, 0);
    }

    void makeAnimation(const std::vector<std::int32_t>& durations, bool withSprites = true) {
        animation = std::make_unique<CTGL>();
        for (std::size_t i = 0; i < durations.size(); ++i) {
            CTGL::frame& f = animation->frames[animation->frames.appendElements(1)];
            f.x = static_cast<std::int32_t>(10 * i);
            f.y = static_cast<std::int32_t>(20 * i);
            f.aux1 = f.aux2 = 0;
            f.duration = durations[i];
            f.sprite = withSprites ? new Sprite(0, 0, 0, 4, 4) : nullptr;
        }
        player = std::make_unique<CTGLPlayer>(animation.get());
    }

    // The frame shown after each update, one update every `step` ms until `until`.
    std::vector<int> framesOver(std::uint32_t step, std::uint32_t until) {
        std::vector<int> shown;
        for (std::uint32_t t = step; t <= until; t += step) {
            clock = origin + t;
            player->update();
            shown.push_back(player->current());
        }
        return shown;
    }

    std::uint32_t origin = 5000;
    std::uint32_t clock = origin;
    RecordingEngine& engine = RecordingEngine::instance();
    std::unique_ptr<CTGL> animation;
    std::unique_ptr<CTGLPlayer> player;
};

// The first time (ms after start) each frame change is seen.
std::vector<std::pair<int, int>> changes(const std::vector<int>& shown, int step) {
    std::vector<std::pair<int, int>> out;
    int last = 0;
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != last) out.emplace_back(static_cast<int>(i + 1) * step, last = shown[i]);
    return out;
}

TEST_F(Player, EachFrameForItsOwnDurationInALoop) {
    makeAnimation({100, 200, 100});
    player->start();
    const auto seen = changes(framesOver(10, 900), 10);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                        {100, 1}, {300, 2}, {400, 0}, {500, 1}, {700, 2}, {800, 0}, {900, 1}}));
}

// A negative duration counts as 0: its frame lasts one update, the next frame
// keeps all its time, and not even INT32_MIN holds the animation still.
TEST_F(Player, ANegativeDurationShowsItsFrameForOneUpdateAndShortensNoOther) {
    makeAnimation({-100, 300, INT32_MIN, -2000000000, 50});
    player->start();
    const auto seen = changes(framesOver(10, 400), 10);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                        {10, 1}, {300, 2}, {310, 3}, {320, 4}, {350, 0}, {360, 1}}));
}

TEST_F(Player, UpdatesBetweenTheTimerTicksOnTheSchedule) {
    makeAnimation({100, 200, 100});
    player->start();
    const auto seen = changes(framesOver(30, 900), 30);
    // First update at or after 100, 300, 400, 500 ...
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                        {120, 1}, {300, 2}, {420, 0}, {510, 1}, {720, 2}, {810, 0}, {900, 1}}));
}

TEST_F(Player, AZeroDurationFrameLastsOneUpdate) {
    makeAnimation({50, 0, 50});
    player->start();
    const auto shown = framesOver(10, 120);
    // Frame 1 is due at 50 and over at 50: the update at 60 moves on, and frame 2
    // ends on the schedule at 100.
    EXPECT_EQ(shown, (std::vector<int>{0, 0, 0, 0, 1, 2, 2, 2, 2, 0, 0, 0}));
}

TEST_F(Player, ALateUpdateCatchesUpOneFramePerUpdate) {
    makeAnimation({100, 100, 100, 100, 100, 100});
    player->start();
    clock = origin + 350;
    std::vector<int> shown;
    for (int i = 0; i < 5; ++i) {
        player->update();
        shown.push_back(player->current());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 3, 3}));
}

TEST_F(Player, NoFramesDrawNothingAndStayAtZero) {
    makeAnimation({});
    player->start();
    framesOver(10, 50);
    EXPECT_EQ(player->current(), 0);
    player->render();
    EXPECT_TRUE(engine.quads.empty());
}

TEST_F(Player, UpdateBeforeStartDoesNothing) {
    makeAnimation({10, 10});
    clock = origin + 1000;
    player->update();
    EXPECT_EQ(player->current(), 0);
    EXPECT_FALSE(player->playing());
}

TEST_F(Player, RenderDrawsTheCurrentFrameAtItsPosition) {
    makeAnimation({100, 100});
    player->start();
    player->render();
    ASSERT_EQ(engine.quads.size(), 1u);
    EXPECT_EQ(engine.quads[0].vertices[0].x, 0);
    clock = origin + 100;
    player->update();
    player->render();
    ASSERT_EQ(engine.quads.size(), 2u);
    EXPECT_EQ(engine.quads[1].vertices[0].x, 10);
    EXPECT_EQ(engine.quads[1].vertices[0].y, 20);
}

TEST_F(Player, AFrameWithoutASpriteDrawsNothing) {
    makeAnimation({100}, false);
    player->start();
    player->render();
    EXPECT_TRUE(engine.quads.empty());
}

TEST_F(Player, KeepsItsScheduleAcrossTheTimerWrap) {
    origin = 0xFFFFFF00u; // 256 ms before the 32-bit timer wraps
    clock = origin;
    makeAnimation({100, 200, 100});
    player->start();
    const auto seen = changes(framesOver(10, 900), 10);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                        {100, 1}, {300, 2}, {400, 0}, {500, 1}, {700, 2}, {800, 0}, {900, 1}}));
}

TEST_F(Player, ADeadlinePastTheWrapIsNotDueBeforeTheTimerGetsThere) {
    origin = 0xFFFFFFC0u; // the first deadline, 100 ms on, lies past the wrap
    clock = origin;
    makeAnimation({100, 100});
    player->start();
    clock = origin + 50; // still before the wrap: not yet due
    player->update();
    EXPECT_EQ(player->current(), 0) << "a plain unsigned comparison would advance here";
    clock = origin + 100;
    player->update();
    EXPECT_EQ(player->current(), 1);
}

} // namespace

namespace {

TEST(FrameList, ABadIndexNamesTheOperationAsTheViewerAlwaysHas) {
    CTGL animation;
    std::string printed =
        stdoutOf([&] { EXPECT_THROW(animation.frames[0], xlibplus::xInvalidIndexException); });
    EXPECT_EQ(printed, "THROW INVALID INDEX FROM xlibplus::_xVector<struct CTGL::frame,class "
                       "xlibplus::xEmptyLock<class xlibplus::xEmptyLocker>,class "
                       "xlibplus::xEmptyLocker>::operator []\n");
}

} // namespace
