#include "draw/sprite.h"
#include "engine/engine_extensions.h"
#include "tests/support/headless_engine_suite.h"
#include "tests/support/temp_dir.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Progress = TglLoader::Progress;

class BackgroundLoad : public HeadlessEngineSuite {
  protected:
    void SetUp() override { texturesBefore = engine->testHooks()->liveTextureCount(); }
    void TearDown() override {
        loader.cancel();
        animation.reset();
        EXPECT_EQ(engine->testHooks()->liveTextureCount(), texturesBefore);
    }

    // `frames` frames of side x side pixels at (i, 2i), each its own colour.
    std::string write(const char* name, int frames, int side) {
        tgltools::TglWriter w;
        for (int i = 0; i < frames; ++i)
            w.frame({i, 2 * i, 10});
        for (int i = 0; i < frames; ++i)
            w.image(tgltools::encodeTga(
                side, side, std::vector<std::uint32_t>(std::size_t(side * side), 0xFF000000u + i),
                false));
        const std::string path = dir.file(name);
        tgltools::writeFile(path, w.build());
        return path;
    }
    Progress finish(Clock::duration budget = std::chrono::seconds(10)) {
        Progress progress;
        for (int polls = 0; polls < 1000; ++polls)
            if ((progress = loader.poll(Clock::now() + budget)) != Progress::Loading) break;
        if (progress == Progress::Loaded) animation.reset(loader.take());
        return progress;
    }
    std::vector<std::uint32_t> drawn(CTGL& shown, int frame) {
        std::vector<std::uint32_t> pixels(800 * 600);
        engine->beginScene(0);
        engine->clearScreen(0xFFFFFFFF);
        const CTGL::frame& f = shown.frames[frame];
        if (f.sprite) f.sprite->render(float(f.x), float(f.y));
        engine->extensions()->readBackBuffer(pixels.data(), 800, 600);
        engine->endScene();
        return pixels;
    }

    int texturesBefore = 0;
    TempDir dir;
    TglLoader loader;
    std::unique_ptr<CTGL> animation;
};

TEST_F(BackgroundLoad, GivesWhatTheLoaderGivesToThePixel) {
    CTGL direct;
    ASSERT_TRUE(direct.load(SAMPLE_ANIMATION));
    loader.start(SAMPLE_ANIMATION);
    ASSERT_EQ(finish(), Progress::Loaded);
    EXPECT_EQ(loader.poll(Clock::now()), Progress::Idle);
    ASSERT_EQ(animation->frames.size(), direct.frames.size());
    for (int i = 0; i < direct.frames.size(); ++i) {
        EXPECT_EQ(animation->frames[i].y, direct.frames[i].y);
        EXPECT_EQ(animation->frames[i].duration, direct.frames[i].duration);
        ASSERT_NE(animation->frames[i].sprite, nullptr);
        EXPECT_EQ(drawn(*animation, i), drawn(direct, i)) << "frame " << i;
    }
}

TEST_F(BackgroundLoad, FilesThatDoNotLoadFailAndLeaveItIdle) {
    tgltools::writeFile(dir.file("nope.tgl"), {'n', 'o', 'p', 'e'});
    for (const std::string& path : std::vector<std::string>{
             dir.file("missing.tgl"), dir.file("nope.tgl"), dir.path().string()}) {
        loader.start(path.c_str());
        EXPECT_EQ(finish(), Progress::Failed) << path;
        EXPECT_EQ(loader.poll(Clock::now()), Progress::Idle);
    }
}

// Past its deadline a poll makes at most one texture, so a large file is
// made into textures over many frames.
TEST_F(BackgroundLoad, EachPollPastItsDeadlineMakesAtMostOneTexture) {
    loader.start(write("many.tgl", 12, 16).c_str());
    int polls = 0;
    Progress progress = Progress::Loading;
    for (; progress == Progress::Loading && polls < 100000; ++polls)
        progress = loader.poll(Clock::now() - std::chrono::seconds(1));
    ASSERT_EQ(progress, Progress::Loaded);
    EXPECT_GT(polls, 12);
    animation.reset(loader.take());
    for (int i = 0; i < 12; ++i)
        EXPECT_NE(animation->frames[i].sprite, nullptr) << i;
}

TEST_F(BackgroundLoad, TheNewestStartWinsAndTheOthersFreeTheirTextures) {
    const std::string slow = write("slow.tgl", 40, 256);
    loader.start(slow.c_str());
    loader.poll(Clock::now() + std::chrono::milliseconds(5));
    loader.start(dir.file("missing.tgl").c_str());
    loader.start(slow.c_str());
    loader.poll(Clock::now() + std::chrono::milliseconds(5));
    loader.start(write("last.tgl", 2, 8).c_str());
    ASSERT_EQ(finish(), Progress::Loaded);
    ASSERT_EQ(animation->frames.size(), 2);
    EXPECT_NE(animation->frames[1].sprite, nullptr);
    loader.cancel();
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), texturesBefore + 2);
}

// Two images that claim all but 32 KiB of the budget of decoded bytes but
// have no pixels (a PNG header alone) use it up as they do in CTGL::load, so
// that of the images after them only those that fit in the rest get a sprite,
// however the decoders' work interleaves.
TEST_F(BackgroundLoad, TheDecodedBudgetIsSharedOutInFrameOrderAsInTheLoader) {
    auto claim = [](int height) { // 8192 pixels wide
        return tgltools::Bytes{0x89,
                               'P',
                               'N',
                               'G',
                               '\r',
                               '\n',
                               0x1A,
                               '\n',
                               0,
                               0,
                               0,
                               13,
                               'I',
                               'H',
                               'D',
                               'R',
                               0,
                               0,
                               0x20,
                               0,
                               0,
                               0,
                               std::uint8_t(height >> 8),
                               std::uint8_t(height),
                               8,
                               6,
                               0,
                               0,
                               0,
                               0,
                               0,
                               0,
                               0};
    };
    auto solid = [](int width, int height) {
        return tgltools::encodeTga(
            width, height, std::vector<std::uint32_t>(std::size_t(width * height), 0xFF00FF00u),
            false);
    };
    tgltools::TglWriter w;
    for (int i = 0; i < 5; ++i)
        w.frame({});
    w.image(claim(4096))
        .image(claim(4095))
        .image(solid(8, 8))
        .image(solid(64, 64))
        .image(solid(128, 64));
    const std::string path = dir.file("budget.tgl");
    tgltools::writeFile(path, w.build());

    CTGL direct;
    ASSERT_TRUE(direct.load(path.c_str()));
    loader.start(path.c_str());
    ASSERT_EQ(loader.poll(Clock::now() + std::chrono::seconds(10)), Progress::Loaded);
    std::vector<tglformat::FrameStatus> statuses;
    animation.reset(loader.take(&statuses));
    using S = tglformat::FrameStatus;
    EXPECT_EQ(statuses,
              (std::vector<S>{S::NotAnImage, S::NotAnImage, S::Ok, S::Ok, S::OverDecodedBudget}));
    const bool expected[5] = {false, false, true, true, false};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(direct.frames[i].sprite != nullptr, expected[i]) << i;
        EXPECT_EQ(animation->frames[i].sprite != nullptr, expected[i]) << i;
    }
}

// Played early: the animation is taken at its first frame, goes on filling at
// each poll, and the ready count only grows, frame by frame in order.
TEST_F(BackgroundLoad, PlaysEarlyFromTheFirstFrameWhileTheRestLoads) {
    const std::string path = write("large.tgl", 6, 1500);
    loader.start(path.c_str(), true);
    Progress progress = Progress::Loading;
    while ((progress = loader.poll(Clock::now() + std::chrono::microseconds(100))) ==
           Progress::Loading) {
    }
    ASSERT_EQ(progress, Progress::Playable);
    animation.reset(loader.take());
    ASSERT_NE(animation, nullptr);
    ASSERT_EQ(animation->frames.size(), 6);
    EXPECT_NE(animation->frames[0].sprite, nullptr);
    std::int32_t ready = loader.readyFrames();
    EXPECT_GE(ready, 1);
    EXPECT_LT(ready, 6) << "a load this large is not complete within its first frame";
    while ((progress = loader.poll(Clock::now() + std::chrono::milliseconds(1))) !=
           Progress::Loaded) {
        ASSERT_EQ(progress, Progress::Loading);
        const std::int32_t now = loader.readyFrames();
        EXPECT_GE(now, ready);
        for (std::int32_t i = 0; i < now; ++i)
            EXPECT_NE(animation->frames[i].sprite, nullptr) << "frame " << i << " counted ready";
        ready = now;
    }
    EXPECT_EQ(loader.take(), nullptr) << "already taken";
    for (std::int32_t i = 0; i < 6; ++i)
        EXPECT_NE(animation->frames[i].sprite, nullptr);
    EXPECT_EQ(loader.poll(Clock::now()), Progress::Idle);
}

} // namespace
