#include "platform/window_host.h"

namespace platform {

namespace {

LRESULT CALLBACK engineWindowProcedure(HWND, UINT, WPARAM, LPARAM) { return 0; }

} // namespace

HWND createEngineWindow() { return createWindow(engineWindowProcedure); }

void sendKeyDown(HWND window, UINT virtualKey) {
    if (virtualKey) sendMessage(window, WM_KEYDOWN, virtualKey, 1);
}

void sendTypedText(HWND window, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] >= 0x20 && text[i] < 0x7F)
            sendMessage(window, WM_CHAR, static_cast<WPARAM>(text[i]), 1);
}

void sendLeftButton(HWND window, bool pressed, int x, int y) {
    sendMessage(window, pressed ? WM_LBUTTONDOWN : WM_LBUTTONUP, pressed ? MK_LBUTTON : 0,
                pointLParam(x, y));
}

void sendLeftDrag(HWND window, int x, int y) {
    sendMessage(window, WM_MOUSEMOVE, MK_LBUTTON, pointLParam(x, y));
}

void sendWheel(HWND window, int turn, int screenX, int screenY) {
    if (turn) sendMessage(window, WM_MOUSEWHEEL, wheelWParam(turn), pointLParam(screenX, screenY));
}

} // namespace platform
