#pragma once

// The Windows API names the system calls. On Windows they come from the real
// headers; elsewhere this layer implements them as Windows documents them, for
// the windows our engine creates (see window_host.h).

#if defined(_WIN32)

// windows.h first: the others need what it declares.
#include <windows.h>

#include <mmsystem.h>
#include <shellapi.h>

#else

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using LONG_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LPSTR = char*;

struct HWND__;
struct HDROP__;
struct HINSTANCE__;
using HWND = HWND__*;
using HDROP = HDROP__*;
using HINSTANCE = HINSTANCE__*;

#define WINAPI
#define CALLBACK

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr int GWL_WNDPROC = -4; // refused by the 32-bit calls on 64-bit hosts
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_USERDATA = -21;

inline constexpr LONG WS_EX_ACCEPTFILES = 0x10;
inline constexpr UINT WM_KEYDOWN = 0x100; // wParam: the virtual-key code
inline constexpr UINT WM_CHAR = 0x102;    // wParam: the character typed
inline constexpr UINT WM_DROPFILES = 0x233;
// Mouse messages. lParam: x in its low 16 bits, y in its high 16, both signed;
// client coordinates, but screen coordinates for WM_MOUSEWHEEL.
inline constexpr UINT WM_MOUSEMOVE = 0x200;   // wParam: the buttons held (MK_LBUTTON)
inline constexpr UINT WM_LBUTTONDOWN = 0x201; // wParam: as WM_MOUSEMOVE
inline constexpr UINT WM_LBUTTONUP = 0x202;
inline constexpr UINT WM_MOUSEWHEEL = 0x20A; // wParam's high 16 bits: the signed turn
inline constexpr WPARAM MK_LBUTTON = 0x1;
inline constexpr int WHEEL_DELTA = 120; // one notch of the wheel

// Virtual-key codes of keys that type no character; letters and digits are
// their upper-case ASCII codes.
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr int SW_SHOWNORMAL = 1;

struct POINT {
    LONG x;
    LONG y;
};
// Screen coordinates to the window's client coordinates; FALSE for an unknown window.
BOOL ScreenToClient(HWND window, POINT* point);

// Window fields. Each returns the previous value, 0 for an unknown window or index.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);
LONG GetWindowLongA(HWND window, int index);
LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Dropped files. index 0xFFFFFFFF gives the count; a null buffer gives the path's
// length; otherwise the path is copied, cut to fit and zero-terminated, and the
// number of characters copied is returned. Unknown handles and indices give 0.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT bufferSize);
void DragFinish(HDROP drop);

// Milliseconds on a monotonic 32-bit clock that wraps.
DWORD timeGetTime();

#endif
