#include "draw/sprite.h"
#include "engine/engine_test_hooks.h"
#include "image/limits.h"
#include "tests/support/headless_engine_suite.h"
#include "tests/support/stdout_capture.h"
#include "tests/support/temp_dir.h"
#include "tgl/tgl_animation.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using tgltools::Bytes;
using tgltools::TglFrame;
using tgltools::TglWriter;

Bytes squareImage(int side, std::uint32_t argb) {
    return tgltools::encodeTga(side, side,
                               std::vector<std::uint32_t>(std::size_t(side * side), argb), false);
}

// Loader tests over our engine, headless, on files the test writer makes.
class Loader : public HeadlessEngineSuite {
  protected:
    void SetUp() override { texturesBefore = engine->testHooks()->liveTextureCount(); }
    void TearDown() override {
        animation.reset();
        EXPECT_EQ(engine->testHooks()->liveTextureCount(), texturesBefore)
            << "the animation freed its textures";
    }

    bool load(const Bytes& file) {
        const std::string path = dir.file("test.tgl");
        tgltools::writeFile(path, file);
        animation = std::make_unique<CTGL>();
        return animation->load(path.c_str());
    }
    CTGL::frame& frame(int i) { return animation->frames[i]; }

    int texturesBefore = 0;
    TempDir dir;
    std::unique_ptr<CTGL> animation;
};

TEST_F(Loader, MagicThenAnyFourthByte) {
    EXPECT_TRUE(load(Bytes{'D', 'F', 'X', 0x7F}));
    EXPECT_EQ(animation->frames.size(), 0);
    EXPECT_TRUE(load(Bytes{'D', 'F', 'X', 'Z', 1, 2}));
    EXPECT_FALSE(load(Bytes{'d', 'f', 'x', 0}));
    EXPECT_FALSE(load(Bytes{'D', 'F'}));
    EXPECT_FALSE(load(Bytes{}));
    animation = std::make_unique<CTGL>();
    EXPECT_FALSE(animation->load(dir.file("missing.tgl").c_str()));
    EXPECT_FALSE(animation->load(dir.path().string().c_str())) << "a folder";
}

#if !defined(_WIN32)
TEST_F(Loader, AFifoFailsToLoadAtOnce) {
    const std::string fifo = dir.file("stand_1.tgl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    animation = std::make_unique<CTGL>();
    EXPECT_FALSE(animation->load(fifo.c_str())) << "and returns: no writer is waited for";
}
#endif

// Zero words are skipped a block at a time, however many there are, and in
// any alignment with the blocks read.
TEST_F(Loader, RunsOfZeroWordsOfAnyLengthAreSkipped) {
    for (std::size_t zeros : {1u, 16383u, 16384u, 16385u, 100000u}) {
        TglWriter w;
        w.frame({1, 2}).frame({3, 4}).bytes(Bytes(zeros * 4, 0)).image(squareImage(4, 0xFF00FF00));
        w.image(squareImage(2, 0xFF0000FF)).bytes(Bytes(zeros * 4, 0));
        ASSERT_TRUE(load(w.build())) << zeros;
        ASSERT_NE(frame(0).sprite, nullptr) << zeros;
        ASSERT_NE(frame(1).sprite, nullptr) << zeros;
        EXPECT_EQ(frame(1).sprite->width(), 2) << zeros;
    }
}

TEST_F(Loader, FramesTakeTheDefaultOrTheirOwnDurations) {
    TglWriter plain;
    plain.defaultDuration(120).frame({10, 20, 999, 3, 4}).frame({-5, -6, 0, 0, 0});
    ASSERT_TRUE(load(plain.build()));
    ASSERT_EQ(animation->frames.size(), 2);
    EXPECT_EQ(frame(0).x, 10);
    EXPECT_EQ(frame(0).y, 20);
    EXPECT_EQ(frame(0).aux1, 3);
    EXPECT_EQ(frame(0).aux2, 4);
    EXPECT_EQ(frame(0).duration, 120);
    EXPECT_EQ(frame(1).x, -5) << "negative positions are kept";
    EXPECT_EQ(frame(1).duration, 120);
    EXPECT_EQ(frame(0).sprite, nullptr);

    TglWriter own;
    own.perFrameDurations(true)
        .defaultDuration(120)
        .frame({0, 0, 30})
        .frame({0, 0, 40})
        .frame({0, 0, -7});
    ASSERT_TRUE(load(own.build()));
    EXPECT_EQ(animation->perFrameDurations(), 1);
    EXPECT_EQ(frame(0).duration, 30);
    EXPECT_EQ(frame(1).duration, 40);
    EXPECT_EQ(frame(2).duration, -7);
}

TEST_F(Loader, ImagesBecomeSpritesCoveringTheirTexture) {
    TglWriter w;
    w.frame({100, 50, 10})
        .frame({0, 0, 10})
        .image(squareImage(16, 0xFFFF0000))
        .image(squareImage(8, 0xFF00FF00));
    ASSERT_TRUE(load(w.build()));
    ASSERT_NE(frame(0).sprite, nullptr);
    EXPECT_EQ(frame(0).sprite->width(), 16);
    EXPECT_EQ(frame(0).sprite->height(), 16);
    EXPECT_EQ(frame(0).sprite->hotSpotX(), 0);
    EXPECT_EQ(frame(0).sprite->quad().vertices[2].u, 1.0f);
    EXPECT_EQ(frame(1).sprite->width(), 8);
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), texturesBefore + 2);
}

TEST_F(Loader, ZeroWordsTakeNoFrameAndAnEmptyBlockTakesOne) {
    TglWriter w;
    w.frame({}).frame({}).frame({});
    w.zeroWord()
        .image(squareImage(4, 0xFF000000))
        .zeroWord()
        .zeroWord()
        .rawBlock({})
        .image(squareImage(6, 0xFF000000));
    ASSERT_TRUE(load(w.build()));
    EXPECT_EQ(frame(0).sprite->width(), 4);
    EXPECT_EQ(frame(1).sprite, nullptr) << "L = 0: empty data makes no texture";
    ASSERT_NE(frame(2).sprite, nullptr);
    EXPECT_EQ(frame(2).sprite->width(), 6);
}

TEST_F(Loader, ABadPayloadLeavesItsFrameEmptyAndTheNextBlockGoesOn) {
    TglWriter w;
    w.frame({}).frame({}).frame({});
    w.rawBlock(Bytes{1, 2, 3, 4, 5, 6})
        .rawBlock(tgltools::zlibCompress(Bytes(100, 'x')))
        .image(squareImage(4, 0xFF000000));
    ASSERT_TRUE(load(w.build()));
    EXPECT_EQ(frame(0).sprite, nullptr) << "not zlib";
    EXPECT_EQ(frame(1).sprite, nullptr) << "not an image";
    EXPECT_NE(frame(2).sprite, nullptr);
}

TEST_F(Loader, FewerBlocksThanFramesKeepTheRest) {
    TglWriter w;
    w.defaultDuration(70).frame({1, 1}).frame({2, 2}).frame({3, 3}).image(
        squareImage(4, 0xFF000000));
    ASSERT_TRUE(load(w.build()));
    EXPECT_NE(frame(0).sprite, nullptr);
    EXPECT_EQ(frame(1).sprite, nullptr);
    EXPECT_EQ(frame(2).x, 3);
    EXPECT_EQ(frame(2).duration, 70);
}

TEST_F(Loader, SurplusBlocksAreIgnored) {
    TglWriter w;
    w.frame({})
        .image(squareImage(4, 0xFF000000))
        .image(squareImage(5, 0xFF000000))
        .image(squareImage(6, 0xFF000000));
    bool loaded = false;
    EXPECT_EQ(stdoutOf([&] { loaded = load(w.build()); }), "") << "no index error";
    ASSERT_TRUE(loaded);
    ASSERT_EQ(animation->frames.size(), 1);
    EXPECT_EQ(frame(0).sprite->width(), 4);
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), texturesBefore + 1);

    TglWriter noFrames;
    noFrames.frameCount(-3).image(squareImage(4, 0xFF000000));
    EXPECT_TRUE(load(noFrames.build()));
    EXPECT_EQ(animation->frames.size(), 0);
}

TEST_F(Loader, ANegativeOrOverlongLengthEndsTheImages) {
    for (std::int32_t length : {-1, -100000, 1000000}) {
        TglWriter w;
        w.frame({})
            .frame({})
            .image(squareImage(4, 0xFF000000))
            .rawBlock(Bytes(64, 0), 1, 0, length);
        ASSERT_TRUE(load(w.build())) << length;
        EXPECT_NE(frame(0).sprite, nullptr);
        EXPECT_EQ(frame(1).sprite, nullptr);
    }
}

TEST_F(Loader, FilesCutShortGiveZerosForWhatIsMissing) {
    TglWriter w;
    w.perFrameDurations(true)
        .defaultDuration(50)
        .frame({7, 8, 90})
        .frame({9, 10, 91})
        .frame({11, 12, 92});
    Bytes whole = w.build();
    Bytes insideDurations(whole.begin(), whole.begin() + 52 + 48 + 4);
    ASSERT_TRUE(load(insideDurations));
    ASSERT_EQ(animation->frames.size(), 3);
    EXPECT_EQ(frame(0).duration, 90);
    EXPECT_EQ(frame(1).duration, 0);
    EXPECT_EQ(frame(2).duration, 0);

    // A record cut short still describes its frame; the third is not in the file.
    Bytes insideRecords(whole.begin(), whole.begin() + 52 + 20);
    ASSERT_TRUE(load(insideRecords));
    ASSERT_EQ(animation->frames.size(), 2);
    EXPECT_EQ(frame(0).x, 7);
    EXPECT_EQ(frame(1).x, 9) << "only the first word of its record was there";
    EXPECT_EQ(frame(1).y, 0);
    EXPECT_EQ(frame(1).duration, 0);

    Bytes beforeTheCount(whole.begin(), whole.begin() + 30);
    ASSERT_TRUE(load(beforeTheCount));
    EXPECT_EQ(animation->frames.size(), 0);
}

TEST_F(Loader, NoMoreFramesThanTheFrameLimitAreRead) {
    for (std::int32_t records : {InputLimits::kMaxFrames, InputLimits::kMaxFrames + 1}) {
        TglWriter w;
        w.frameCount(records).bytes(Bytes(std::size_t(records) * 16, 0));
        ASSERT_TRUE(load(w.build()));
        EXPECT_EQ(animation->frames.size(), InputLimits::kMaxFrames) << records;
    }
}

TEST_F(Loader, AHugeFrameCountIsHeldToTheRecordsTheFileHolds) {
    TglWriter w;
    w.frameCount(0x7FFFFFFF).frame({1, 2}).frame({3, 4});
    Bytes file = w.build();
    ASSERT_TRUE(load(file));
    EXPECT_EQ(animation->frames.size(), 2);
    EXPECT_EQ(frame(1).x, 3);
}

TEST_F(Loader, AnImageOverTheLimitGetsNoSprite) {
    TglWriter w;
    w.frame({}).frame({}).image(squareImage(64, 0xFF000000)).image(squareImage(4, 0xFF000000));
    const std::string path = dir.file("limit.tgl");
    tgltools::writeFile(path, w.build());
    animation = std::make_unique<CTGL>();
    animation->setImageLimit(1000); // the 64 x 64 image inflates to 16 KiB and more
    ASSERT_TRUE(animation->load(path.c_str()));
    EXPECT_EQ(frame(0).sprite, nullptr);
    EXPECT_NE(frame(1).sprite, nullptr);
}

TEST_F(Loader, TheSampleAnimationLoads) {
    animation = std::make_unique<CTGL>();
    ASSERT_TRUE(animation->load(SAMPLE_ANIMATION));
    ASSERT_GE(animation->frames.size(), 8);
    ASSERT_LE(animation->frames.size(), 16);
    for (int i = 0; i < animation->frames.size(); ++i) {
        ASSERT_NE(frame(i).sprite, nullptr) << i;
        EXPECT_GT(frame(i).duration, 0);
    }
    EXPECT_NE(frame(0).y, frame(animation->frames.size() / 2).y) << "frames move";
}

} // namespace
