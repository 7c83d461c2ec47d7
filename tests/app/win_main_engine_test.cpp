#include "app/win_main.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

int framesSeen = 0;
int nonWhiteFrames = 0;
Engine* hookEngine = nullptr;

bool checkFrameIsWhite() {
    std::vector<std::uint32_t> pixels(800 * 600);
    if (!hookEngine->readBackBuffer(pixels.data(), 800, 600)) return true;
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
        hookEngine->setBoolState(QubState::kHeadless, true);
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
    hookEngine->setIntState(QubState::kStopAfterFrames, 5);
    hookEngine->setCallbackState(QubState::kBeforePresent, checkFrameIsWhite);
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(framesSeen, 5);
    EXPECT_EQ(nonWhiteFrames, 0);
    EXPECT_EQ(hookEngine->referenceCount(), 1) << "WinMain gave its reference back";
    EXPECT_EQ(hookEngine->getWindowHandle(QubState::kMainWindow), nullptr) << "shut down";

    auto lines = readLines(dir.file("qub_tut03.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "qub: shut down");
}

TEST_F(WinMainOverEngine, FailedInitStillShutsDownReleasesAndReturnsZero) {
    hookEngine->setBoolState(QubState::kFailInit, true);
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(hookEngine->referenceCount(), 1);
    EXPECT_EQ(readLines(dir.file("qub_tut03.log")),
              std::vector<std::string>{"qub: init refused by the test hook"});
}

} // namespace
