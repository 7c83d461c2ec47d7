#include "app/win_main.h"

#include "app/animation_slot.h"
#include "app/application_font.h"
#include "app/dropped_files.h"
#include "app/start_trace.h"
#include "engine/engine_ref.h"
#include "format/tgl_format.h"
#include "shell/window_shell.h"
#include "tgl/tgl_loader.h"

Engine* appEngine = nullptr;

namespace {

WindowSetup viewerWindow() {
    WindowSetup setup;
    setup.logFile = "qub_tut03.log";
    setup.frameCallback = frameCallback;
    setup.renderCallback = renderCallback;
    setup.title = "QUB Tutorial 03 - Using helper classes";
    return setup;
}

} // namespace

bool frameCallback() {
    animationStep();
    return false;
}

bool renderCallback() {
    appEngine->beginScene(0);
    appEngine->clearScreen(tglformat::kViewBackground);
    drawingStep();
    appEngine->endScene();
    static bool pictured = false;
    if (!pictured && currentPlayer) {
        pictured = true;
        traceStartStep("picture");
    }
    return false;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    traceStartStep("start");
    TglLoader::keepMemoryBetweenLoads();
    EngineRef reference;
    appEngine = reference.get();
    if (!appEngine) return 0;
    configureEngine(*appEngine, viewerWindow());
    prefetchStartupAnimation(); // it decodes while the window opens

    if (appEngine->init()) {
        traceStartStep("window");
        HWND mainWindow = static_cast<HWND>(appEngine->getWindowHandle(QubState::kMainWindow));
        takeOverWindowForDrops(mainWindow);
        requestStartupAnimation();
        createApplicationFont();
        appEngine->run();
        destroyApplicationFont();
    }
    // The window goes first: a frame still being decoded must not hold it open.
    // The animation's textures went with it; its sprites go before the release.
    appEngine->shutdown();
    cancelAnimationLoad();
    reference.reset();
    appEngine = nullptr;
    return 0;
}
