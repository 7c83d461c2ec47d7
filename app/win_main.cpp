#include "app/win_main.h"

#include "app/animation_slot.h"
#include "app/application_font.h"
#include "app/dropped_files.h"
#include "engine/engine_ref.h"
#include "tgl/tgl_loader.h"
#include "tgl/tgl_player.h"

Engine* appEngine = nullptr;

namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;

void configureEngine(Engine& engine) {
    engine.setStringState(QubState::kLogFile, "qub_tut03.log");
    engine.setCallbackState(QubState::kFrameCallback, frameCallback);
    engine.setCallbackState(QubState::kRenderCallback, renderCallback);
    engine.setStringState(QubState::kWindowTitle, "QUB Tutorial 03 - Using helper classes");
    engine.setIntState(QubState::kFrameRate, CTGLPlayer::kFrameRate);
    engine.setBoolState(QubState::kWindowed, true);
    engine.setIntState(QubState::kScreenWidth, tglformat::kViewWidth);
    engine.setIntState(QubState::kScreenHeight, tglformat::kViewHeight);
    engine.setIntState(QubState::kColourDepth, 32);
    engine.setBoolState(QubState::kRunUnfocused, true);
}

} // namespace

bool frameCallback() {
    animationStep();
    return false;
}

bool renderCallback() {
    appEngine->beginScene(0);
    appEngine->clearScreen(kOpaqueWhite);
    drawingStep();
    appEngine->endScene();
    return false;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TglLoader::keepMemoryBetweenLoads();
    EngineRef reference;
    appEngine = reference.get();
    if (!appEngine) return 0;
    configureEngine(*appEngine);

    if (appEngine->init()) {
        HWND mainWindow = static_cast<HWND>(appEngine->getWindowHandle(QubState::kMainWindow));
        takeOverWindowForDrops(mainWindow);
        requestStartupAnimation();
        createApplicationFont();
        appEngine->run();
        cancelAnimationLoad();
        destroyApplicationFont();
    }

    appEngine->shutdown();
    reference.reset();
    appEngine = nullptr;
    return 0;
}
