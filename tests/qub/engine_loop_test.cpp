#include "engine/engine_test_hooks.h"
#include "tests/qub/headless_engine.h"

#include "platform/windows_api.h"
#if !defined(_WIN32)
#include "platform/window_host.h"
#endif

#include <string>
#include <vector>

namespace {

std::string calls;
int stopOnFrame = 0;
Engine* loopEngine = nullptr;

bool frameCallback() {
    calls += 'F';
    return --stopOnFrame == 0;
}

bool renderCallback() {
    calls += 'R';
    return true; // the render callback's result does not end the loop
}

bool presentObserver() {
    calls += 'P';
    return false;
}

class EngineLoop : public HeadlessEngine {
  protected:
    void SetUp() override {
        HeadlessEngine::SetUp();
        calls.clear();
        stopOnFrame = 0;
        loopEngine = engine;
        engine->setCallbackState(QubState::kFrameCallback, frameCallback);
        engine->setCallbackState(QubState::kRenderCallback, renderCallback);
    }
    void TearDown() override {
        engine->testHooks()->setStopAfterFrames(0);
        engine->testHooks()->setBeforePresent(nullptr);
        HeadlessEngine::TearDown();
    }
};

TEST_F(EngineLoop, CallsFrameThenRenderOncePerFrame) {
    engine->testHooks()->setStopAfterFrames(4);
    EXPECT_TRUE(engine->run());
    EXPECT_EQ(calls, "FRFRFRFR");
}

TEST_F(EngineLoop, FrameCallbackReturningTrueEndsTheLoopBeforeRendering) {
    stopOnFrame = 3;
    EXPECT_TRUE(engine->run());
    EXPECT_EQ(calls, "FRFRF");
}

TEST_F(EngineLoop, BeforePresentHookSeesEveryFrame) {
    engine->testHooks()->setBeforePresent(presentObserver);
    engine->setCallbackState(QubState::kRenderCallback, [] {
        calls += 'R';
        loopEngine->beginScene(0);
        loopEngine->endScene();
        return false;
    });
    engine->testHooks()->setStopAfterFrames(2);
    EXPECT_TRUE(engine->run());
    EXPECT_EQ(calls, "FRPFRP");
}

// Drops through the engine's own event queue, as the window system sends them.
struct DropRecord {
    std::vector<std::vector<std::string>> drops;
};
DropRecord received;
WNDPROC engineProcedure = nullptr;

LRESULT CALLBACK recordDrops(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DROPFILES) {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        std::vector<std::string> paths;
        UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            char buffer[256];
            DragQueryFileA(drop, i, buffer, sizeof buffer);
            paths.emplace_back(buffer);
        }
        received.drops.push_back(paths);
        DragFinish(drop);
    }
    return CallWindowProcA(engineProcedure, window, message, wParam, lParam);
}

TEST_F(EngineLoop, QueuedDropArrivesAsOneMessageOnlyWhenFilesAreAccepted) {
    received = {};
    HWND window = static_cast<HWND>(engine->getWindowHandle(QubState::kMainWindow));
    engineProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordDrops)));
    ASSERT_NE(engineProcedure, nullptr);
    engine->testHooks()->setStopAfterFrames(1);

    const char* first[] = {"/tmp/one.tgl"};
    ASSERT_TRUE(engine->testHooks()->queueDrop(first, 1));
    engine->run();
    EXPECT_TRUE(received.drops.empty()) << "the window does not accept files yet";

    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    const char* several[] = {"/tmp/a.TGL", "/tmp/b.txt", "/tmp/c.tgl"};
    ASSERT_TRUE(engine->testHooks()->queueDrop(several, 3));
    engine->run();
    ASSERT_EQ(received.drops.size(), 1u);
    EXPECT_EQ(received.drops[0],
              (std::vector<std::string>{"/tmp/a.TGL", "/tmp/b.txt", "/tmp/c.tgl"}));
#if !defined(_WIN32) // Windows frees the handle in DragFinish
    EXPECT_EQ(platform::liveDropCount(), 0);
#endif
}

} // namespace
