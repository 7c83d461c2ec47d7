#include "app/win_main.h"
#include "tests/support/recording_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

const Calls kConfiguration = {
    "qubCreate",
    "setStringState(29,qub_tut03.log)",
    "setCallbackState(8)",
    "setCallbackState(9)",
    "setStringState(27,QUB Tutorial 03 - Using helper classes)",
    "setIntState(24,100)",
    "setBoolState(1,true)",
    "setIntState(17,800)",
    "setIntState(18,600)",
    "setIntState(19,32)",
    "setBoolState(5,true)",
    "init",
};

Calls concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class WinMainShell : public ::testing::Test {
  protected:
    void SetUp() override { engine.reset(); }
    int runWinMain() {
        char commandLine[] = "";
        return WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL);
    }
    RecordingEngine& engine = RecordingEngine::instance();
};

TEST_F(WinMainShell, ConfiguresInitialisesRunsAndShutsDownInOrder) {
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(engine.calls,
              concat(kConfiguration, {"getWindowHandle(15)", "qubCreate", "loadResource(font1.fnt)",
                                      "run", "release", "shutdown", "release"}));
    EXPECT_EQ(engine.references, 0);
    EXPECT_EQ(appEngine, nullptr);
}

TEST_F(WinMainShell, FailedInitGoesStraightToShutdownAndRelease) {
    engine.initResult = false;
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_EQ(engine.calls, concat(kConfiguration, {"shutdown", "release"}));
    EXPECT_EQ(engine.references, 0);
}

TEST_F(WinMainShell, EveryFrameClearsToOpaqueWhiteAndNeverEndsTheLoop) {
    engine.framesToRun = 3;
    EXPECT_EQ(runWinMain(), 0);
    Calls frame = {"beginScene(0)", "clearScreen(FFFFFFFF)", "endScene"};
    Calls expected = concat(kConfiguration,
                            {"getWindowHandle(15)", "qubCreate", "loadResource(font1.fnt)", "run"});
    for (int i = 0; i < 3; ++i)
        expected = concat(expected, frame);
    expected = concat(expected, {"release", "shutdown", "release"});
    EXPECT_EQ(engine.calls, expected);
}

TEST_F(WinMainShell, CallbacksAlwaysReturnFalse) {
    engine.framesToRun = 1;
    runWinMain();
    ASSERT_NE(engine.frameCallback, nullptr);
    ASSERT_NE(engine.renderCallback, nullptr);
    EXPECT_FALSE(frameCallback());
    appEngine = &engine;
    EXPECT_FALSE(renderCallback());
    appEngine = nullptr;
}

} // namespace
