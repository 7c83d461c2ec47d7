#include "app/win_main.h"

#include "app/application_font.h"

Engine* appEngine = nullptr;

namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;

void configureEngine(Engine& engine) {
    engine.setStringState(QubState::kLogFile, "qub_tut03.log");
    engine.setCallbackState(QubState::kFrameCallback, frameCallback);
    engine.setCallbackState(QubState::kRenderCallback, renderCallback);
    engine.setStringState(QubState::kWindowTitle, "QUB Tutorial 03 - Using helper classes");
    engine.setIntState(QubState::kFrameRate, 100);
    engine.setBoolState(QubState::kWindowed, true);
    engine.setIntState(QubState::kScreenWidth, 800);
    engine.setIntState(QubState::kScreenHeight, 600);
    engine.setIntState(QubState::kColourDepth, 32);
    engine.setBoolState(QubState::kRunUnfocused, true);
}

} // namespace

bool frameCallback() { return false; }

bool renderCallback() {
    appEngine->beginScene(0);
    appEngine->clearScreen(kOpaqueWhite);
    appEngine->endScene();
    return false;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    appEngine = qubCreate(kQubInterfaceVersion);
    if (!appEngine) return 0;
    configureEngine(*appEngine);

    if (appEngine->init()) {
        // Start-up actions take the window over for dropped files.
        [[maybe_unused]] HWND mainWindow =
            static_cast<HWND>(appEngine->getWindowHandle(QubState::kMainWindow));
        createApplicationFont();
        appEngine->run();
        destroyApplicationFont();
    }

    appEngine->shutdown();
    appEngine->release();
    appEngine = nullptr;
    return 0;
}
