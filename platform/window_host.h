#pragma once

#include "platform/windows_api.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The host side of the Windows API layer: what the window system does on
// Windows. The engine creates a record for its window and feeds it messages;
// tests move the clock. Everything runs on the thread that owns the window.
namespace platform {

// A window record with this procedure, no extended style. The caller owns it and
// destroys it with destroyWindow; a destroyed handle is unknown from then on.
HWND createWindow(WNDPROC procedure);
void destroyWindow(HWND window);

// Calls the window's current procedure, as SendMessage does; 0 for an unknown window.
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// x and y as a mouse message's lParam carries them, signed 16 bits each.
inline LPARAM pointLParam(int x, int y) {
    return LPARAM(std::uint32_t(std::uint16_t(x)) | std::uint32_t(std::uint16_t(y)) << 16);
}
// A WM_MOUSEWHEEL's wParam: the signed turn in its high 16 bits, no keys held.
inline WPARAM wheelWParam(int turn) { return WPARAM(std::uint32_t(std::uint16_t(turn)) << 16); }

// Where the window's client area lies on the screen, as the window system
// last said; ScreenToClient counts from it.
void setClientOrigin(HWND window, int x, int y);

// A window record whose procedure is the engine's own, which does nothing:
// the end of every subclassing chain.
HWND createEngineWindow();

// What the keys and the pointer do, sent to the window's procedure as Windows
// sends it, whichever window system they came from: WM_KEYDOWN with a
// virtual-key code (0 sends nothing); WM_CHAR for each printable ASCII
// character typed; the left button at a client point, its drags, and wheel
// turns (WHEEL_DELTA a notch) at a screen point.
void sendKeyDown(HWND window, UINT virtualKey);
void sendTypedText(HWND window, const char* text, std::size_t length);
void sendLeftButton(HWND window, bool pressed, int x, int y);
void sendLeftDrag(HWND window, int x, int y);
void sendWheel(HWND window, int turn, int screenX, int screenY);

// Delivers one WM_DROPFILES listing these paths, only while the window has
// WS_EX_ACCEPTFILES. A drop handle that the procedures did not finish is
// finished afterwards. Returns whether the message was sent.
bool deliverDrop(HWND window, const std::vector<std::string>& paths);

// Drop handles not yet finished, for leak checks.
int liveDropCount();

// Makes timeGetTime read `now` at this moment and run on from there.
void setTimeOrigin(DWORD now);
// Replaces the clock behind timeGetTime (a fake clock in tests); empty restores it.
void setTimeSource(std::function<DWORD()> source);

} // namespace platform
