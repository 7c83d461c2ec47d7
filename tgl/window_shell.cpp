#include "tgl/window_shell.h"

void configureEngine(Engine& engine, const WindowSetup& setup) {
    if (setup.logFile) engine.setStringState(QubState::kLogFile, setup.logFile);
    engine.setCallbackState(QubState::kFrameCallback, setup.frameCallback);
    engine.setCallbackState(QubState::kRenderCallback, setup.renderCallback);
    engine.setStringState(QubState::kWindowTitle, setup.title);
    engine.setIntState(QubState::kFrameRate, setup.frameRate);
    engine.setBoolState(QubState::kWindowed, true);
    engine.setIntState(QubState::kScreenWidth, setup.width);
    engine.setIntState(QubState::kScreenHeight, setup.height);
    engine.setIntState(QubState::kColourDepth, 32);
    engine.setBoolState(QubState::kRunUnfocused, true);
}

WNDPROC subclassForDrops(HWND window, WNDPROC procedure) {
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    return previous;
}

bool firstDroppedPath(HDROP drop, char* path, UINT capacity) {
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    return length != 0 && length < capacity && DragQueryFileA(drop, 0, path, capacity) == length;
}
