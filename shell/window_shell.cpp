#include "shell/window_shell.h"

#if defined(_WIN32)
#include "platform/file_names.h"
#endif

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

std::string firstDroppedPath(HDROP drop) {
#if defined(_WIN32)
    std::wstring path(DragQueryFileW(drop, 0, nullptr, 0), L'\0');
    const auto query = DragQueryFileW;
#else // a name is bytes here, which the A form gives as they are
    std::string path(DragQueryFileA(drop, 0, nullptr, 0), '\0');
    const auto query = DragQueryFileA;
#endif
    if (path.empty() || query(drop, 0, path.data(), UINT(path.size() + 1)) != path.size())
        return {};
#if defined(_WIN32)
    return filenames::utf8(path);
#else
    return path;
#endif
}
