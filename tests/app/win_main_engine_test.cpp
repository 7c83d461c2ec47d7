#include "app/win_main.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

int framesSeen = 0;
int nonWhiteFrames = 0;
Engine* hookEngine = nullptr;

bool checkFrameIsWhite() {
    std::vector<std::uint32_t> pixels(800 * 600);
    if (!hookEngine->extensions()->readBackBuffer(pixels.data(), 800, 600)) return true;
    ++framesSeen;
    if (!std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p == 0xFFFFFFFF; }))
        ++nonWhiteFrames;
    return false;
}

// WinMain over our engine, headless, with the hooks a test may set; the test
// holds a reference of its own so that the hooks outlive WinMain's release.
class WinMainOverEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        cwd.emplace(dir.path());
        hookEngine = qubCreate(kQubInterfaceVersion);
        hookEngine->extensions()->setOffscreen(true);
        framesSeen = nonWhiteFrames = 0;
    }
    void TearDown() override {
        hookEngine->release();
        cwd.reset();
    }
    int runWinMain() {
        char commandLine[] = "";
        return WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL);
    }

    TempDir dir;
    std::optional<CurrentDirectory> cwd;
};

TEST_F(WinMainOverEngine, EveryFrameIsWhiteAndTheLogIsInTheCurrentFolder) {
    hookEngine->testHooks()->setStopAfterFrames(5);
    hookEngine->testHooks()->setBeforePresent(checkFrameIsWhite);
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(framesSeen, 5);
    EXPECT_EQ(nonWhiteFrames, 0);
    EXPECT_EQ(hookEngine->testHooks()->referenceCount(), 1) << "WinMain gave its reference back";
    EXPECT_EQ(hookEngine->getWindowHandle(QubState::kMainWindow), nullptr) << "shut down";

    EXPECT_TRUE(std::filesystem::exists(dir.file("qub_tut03.log")));
    EXPECT_TRUE(readLines(dir.file("qub_tut03.log")).empty()) << "no engine lines";
}

TEST_F(WinMainOverEngine, FailedInitStillShutsDownReleasesAndReturnsZero) {
    hookEngine->testHooks()->setFailInit(true);
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(hookEngine->testHooks()->referenceCount(), 1);
    EXPECT_TRUE(readLines(dir.file("qub_tut03.log")).empty());
}

} // namespace
