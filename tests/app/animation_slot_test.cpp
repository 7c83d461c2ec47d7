#include "app/animation_slot.h"
#include "app/dropped_files.h"
#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "platform/window_host.h"
#include "tests/support/headless_engine_suite.h"
#include "tests/support/temp_dir.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_player.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

tgltools::Bytes square(std::uint32_t argb) {
    return tgltools::encodeTga(8, 8, std::vector<std::uint32_t>(64, argb), false);
}

// The slot and the window procedure over our engine, headless, in a folder of
// fixture files made current for the test.
class Slot : public HeadlessEngineSuite {
  protected:
    void SetUp() override {
        cwd.emplace(dir.path());
        tgltools::TglWriter one;
        one.frame({100, 100, 50}).image(square(0xFFFF0000));
        tgltools::writeFile("one.tgl", one.build());
        tgltools::TglWriter other;
        other.frame({300, 200, 50}).image(square(0xFF0000FF));
        tgltools::writeFile("other.tgl", other.build());
        tgltools::writeFile("empty.tgl", {'D', 'F', 'X', 0});
        tgltools::writeFile("broken.tgl", {'n', 'o', 'p', 'e'});
    }
    void TearDown() override {
        cancelAnimationLoad();
        delete currentAnimation;
        delete currentPlayer;
        currentAnimation = nullptr;
        currentPlayer = nullptr;
        reloadPending = false;
        currentFileName.assign("");
        cwd.reset();
    }

    // The animation step, then more until a load it started has ended.
    static void step() {
        animationStep();
        while (animationLoading())
            animationStep();
    }
    void requestLoad(const char* name) {
        currentFileName.assign(name);
        reloadPending = true;
    }
    // Non-white pixels drawn by the drawing step.
    int inkedPixels() {
        engine->beginScene(0);
        engine->clearScreen(0xFFFFFFFF);
        drawingStep();
        std::vector<std::uint32_t> pixels(800 * 600);
        engine->extensions()->readBackBuffer(pixels.data(), 800, 600);
        engine->endScene();
        return static_cast<int>(std::count_if(pixels.begin(), pixels.end(),
                                              [](std::uint32_t p) { return p != 0xFFFFFFFF; }));
    }

    TempDir dir;
    std::optional<CurrentDirectory> cwd;
};

TEST_F(Slot, TheStartupRequestLoadsAtTheNextStepAndPlays) {
    tgltools::writeFile("stand_1.tgl",
                        tgltools::TglWriter().frame({0, 0, 50}).image(square(0xFF00FF00)).build());
    requestStartupAnimation();
    EXPECT_TRUE(reloadPending);
    EXPECT_STREQ(currentFileName.cStr(), "stand_1.tgl");
    EXPECT_EQ(currentAnimation, nullptr) << "nothing is loaded where it is requested";
    step();
    EXPECT_FALSE(reloadPending);
    ASSERT_NE(currentPlayer, nullptr);
    EXPECT_TRUE(currentPlayer->playing());
    EXPECT_EQ(inkedPixels(), 64);
}

TEST_F(Slot, AFailedLoadLeavesBothPointersNull) {
    for (const char* name : {"missing.tgl", "broken.tgl", ""}) {
        requestLoad(name);
        step();
        EXPECT_EQ(currentAnimation, nullptr) << name;
        EXPECT_EQ(currentPlayer, nullptr) << name;
    }
}

TEST_F(Slot, AnInvalidFileWhilePlayingLeavesTheWindowWhite) {
    const int texturesBefore = engine->testHooks()->liveTextureCount();
    requestLoad("one.tgl");
    step();
    ASSERT_NE(currentPlayer, nullptr);
    EXPECT_EQ(inkedPixels(), 64);
    requestLoad("broken.tgl");
    step();
    EXPECT_EQ(currentAnimation, nullptr);
    EXPECT_EQ(inkedPixels(), 0);
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), texturesBefore)
        << "the old animation's texture went with it";
}

TEST_F(Slot, AFileWithNoFramesPlaysNothing) {
    requestLoad("empty.tgl");
    step();
    ASSERT_NE(currentAnimation, nullptr);
    ASSERT_NE(currentPlayer, nullptr);
    EXPECT_EQ(inkedPixels(), 0);
    step();
}

TEST_F(Slot, SeveralRequestsBeforeAFrameLoadTheLastOnce) {
    requestLoad("one.tgl");
    requestLoad("missing.tgl");
    requestLoad("other.tgl");
    step();
    ASSERT_NE(currentAnimation, nullptr);
    EXPECT_EQ(currentAnimation->frames[0].x, 300);
    const CTGL* loaded = currentAnimation;
    step();
    EXPECT_EQ(currentAnimation, loaded) << "no second load";
}

// Drops through the window procedure, as the window system delivers them.
class Drops : public Slot {
  protected:
    static LRESULT CALLBACK engineSide(HWND, UINT message, WPARAM, LPARAM) {
        return message == WM_DROPFILES ? 7 : 3;
    }

    void SetUp() override {
        Slot::SetUp();
        window = platform::createWindow(engineSide);
        takeOverWindowForDrops(window);
        currentFileName.assign("before");
    }
    void TearDown() override {
        platform::destroyWindow(window);
        EXPECT_EQ(platform::liveDropCount(), 0);
        Slot::TearDown();
    }
    bool drop(const std::vector<std::string>& paths) {
        reloadPending = false;
        EXPECT_TRUE(platform::deliverDrop(window, paths)) << "the window accepts files";
        return reloadPending;
    }

    HWND window = nullptr;
};

TEST_F(Drops, TglInAnyLetterCaseStartsAReload) {
    EXPECT_TRUE(drop({"/data/walk.tgl"}));
    EXPECT_STREQ(currentFileName.cStr(), "/data/walk.tgl");
    EXPECT_TRUE(drop({"/data/WALK.TGL"}));
    EXPECT_TRUE(drop({"/data/walk.TgL"}));
    EXPECT_TRUE(drop({"/data/.tgl"})) << "a file whose whole name is .tgl";
}

TEST_F(Drops, OnlyTheFirstOfSeveralFilesCounts) {
    EXPECT_TRUE(drop({"/a/first.tgl", "/a/second.txt"}));
    EXPECT_STREQ(currentFileName.cStr(), "/a/first.tgl");
    EXPECT_FALSE(drop({"/a/first.txt", "/a/second.tgl"}));
    EXPECT_STREQ(currentFileName.cStr(), "/a/first.txt");
}

TEST_F(Drops, OtherFilesChangeTheNameButStartNothing) {
    EXPECT_FALSE(drop({"/a/notes.txt"}));
    EXPECT_STREQ(currentFileName.cStr(), "/a/notes.txt");
    EXPECT_FALSE(drop({"C:\\anims.v2\\walk"})) << "the only dot is in a folder name";
    EXPECT_FALSE(drop({"/anims.v2/walk"}));
    EXPECT_FALSE(drop({"/a/walk.tgl.bak"}));
    EXPECT_FALSE(drop({"/a/walk"}));
}

TEST_F(Drops, AFolderNamedLikeAnAnimationIsTriedAndFails) {
    std::filesystem::create_directory("x.tgl");
    EXPECT_TRUE(drop({(dir.path() / "x.tgl").string()}));
    step();
    EXPECT_EQ(currentAnimation, nullptr);
    EXPECT_EQ(currentPlayer, nullptr);
}

TEST_F(Drops, ADropWithNoFirstFileIsSkipped) {
    EXPECT_FALSE(drop({""}));
    EXPECT_FALSE(drop({}));
    EXPECT_STREQ(currentFileName.cStr(), "before");
}

TEST_F(Drops, APathTooLongForTheBufferIsSkippedNotCut) {
    const std::string folder = "/" + std::string(1023 - 7, 'd');
    EXPECT_TRUE(drop({folder + "/a.tgl"})) << "1023 characters fit";
    EXPECT_EQ(currentFileName.length(), 1023u);
    // Cut at 1023 characters this one would end in "v.tgl", another file.
    EXPECT_FALSE(drop({folder + "/v.tgl.txt"}));
    EXPECT_FALSE(drop({folder + "/a.tglx"}));
    EXPECT_EQ(currentFileName.length(), 1023u) << "the name is left as it was";
    EXPECT_FALSE(drop({"/" + std::string(1100, 'd') + "/a.tgl"}));
}

TEST_F(Drops, EveryMessageGoesOnToTheEnginesProcedure) {
    EXPECT_EQ(platform::sendMessage(window, 0x10, 0, 0), 3);
    EXPECT_EQ(previousWndProc, &engineSide);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, WS_EX_ACCEPTFILES);
}

TEST_F(Drops, TwoDropsBetweenFramesLoadTheSecondName) {
    platform::deliverDrop(window, {dir.file("one.tgl")});
    platform::deliverDrop(window, {dir.file("other.tgl")});
    step();
    ASSERT_NE(currentAnimation, nullptr);
    EXPECT_EQ(currentAnimation->frames[0].x, 300);

    // The first raised the flag, so the second name is tried, whatever it is.
    platform::deliverDrop(window, {dir.file("one.tgl")});
    platform::deliverDrop(window, {dir.file("notes.txt")});
    step();
    EXPECT_EQ(currentAnimation, nullptr);
}

} // namespace
