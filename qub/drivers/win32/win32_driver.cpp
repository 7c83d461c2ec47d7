#include "qub/drivers/win32/win32_driver.h"

#include "platform/file_names.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace qub {

namespace {

// A Unicode window: its title and what it is told keep every character.
const wchar_t* const kWindowClass = L"QubEngineWindow";

bool registerWindowClass(WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    // The program's own icon when it has one (resource 1), else the system's.
    windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(1));
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

BITMAPINFO topDownDib(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows top to bottom, as the canvas holds them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A dropped-files handle as the shell makes one: a DROPFILES header followed
// by the zero-terminated UTF-16 paths and one more zero. DragFinish frees it.
HDROP makeDropHandle(const std::vector<std::string>& paths) {
    std::wstring list;
    for (const std::string& path : paths)
        list += filenames::wide(path) + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    if (!memory) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

} // namespace

std::unique_ptr<Driver> createPlatformDriver() { return std::make_unique<Win32Driver>(); }

Win32Driver::~Win32Driver() { close(); }

bool Win32Driver::open(const WindowSettings& settings) {
    if (window_) return true;
    offscreen_ = settings.offscreen;
    closeRequested_ = false;
    if (!registerWindowClass(windowProcedure)) {
        std::fprintf(stderr, "qub: cannot register the window class (error %lu)\n", GetLastError());
        return false;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::wstring title = filenames::wide(settings.title);
    if (offscreen_) {
        window_ = CreateWindowExW(0, kWindowClass, title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, instance, nullptr);
    } else {
        DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        RECT frame{0, 0, settings.width, settings.height};
        int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
        if (!settings.windowed) {
            style = WS_POPUP;
            frame = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            x = y = 0;
        }
        AdjustWindowRectEx(&frame, style, FALSE, 0);
        window_ =
            CreateWindowExW(0, kWindowClass, title.c_str(), style, x, y, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    }
    if (!window_) {
        std::fprintf(stderr, "qub: no display could be opened: no window (error %lu)\n",
                     GetLastError());
        return false;
    }
    if (!makeCanvas(settings.width, settings.height)) {
        close();
        return false;
    }
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Sleeps to the frame deadline land within a millisecond, not a 15.6 ms tick.
    fineTimer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    if (!offscreen_) {
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
    }
    return true;
}

void Win32Driver::close() {
    frames_.reset();
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    window_ = nullptr;
    if (fineTimer_) timeEndPeriod(1);
    fineTimer_ = false;
    presented_ = false;
}

// Straight to the default procedure: an ANSI procedure put in front of ours
// (the drops' subclass) would turn the text into the code page on its way.
void Win32Driver::setTitle(const char* title) {
    if (window_)
        DefWindowProcW(window_, WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(filenames::wide(title).c_str()));
}

LRESULT CALLBACK Win32Driver::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    auto* driver = reinterpret_cast<Win32Driver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!driver) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_CLOSE: driver->closeRequested_ = true; return 0; // the engine closes it at shutdown
    case WM_ERASEBKGND: return 1;                            // the canvas covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC context = BeginPaint(window, &paint);
        const Canvas& canvas = driver->frames_.canvas();
        if (driver->presented_) driver->paint(context, {0, 0, canvas.width(), canvas.height()});
        EndPaint(window, &paint);
        return 0;
    }
    // Whoever took the drop finished it before passing the message on.
    case WM_DROPFILES: return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

void Win32Driver::pumpEvents(DriverEvents& events) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            closeRequested_ = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (closeRequested_) {
        closeRequested_ = false;
        events.windowClosed();
    }
}

bool Win32Driver::hasFocus() const {
    // An off-screen target is never behind another window.
    return window_ && (offscreen_ || GetForegroundWindow() == window_);
}

void Win32Driver::waitForEvents(int milliseconds) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(milliseconds > 0 ? milliseconds : 0),
                              QS_ALLINPUT);
}

void Win32Driver::deliverDrop(const std::vector<std::string>& paths) {
    if (!window_ || paths.empty()) return;
    // Only a window that accepts files gets them, as from the shell.
    if ((GetWindowLongPtrA(window_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) == 0) return;
    if (HDROP drop = makeDropHandle(paths))
        SendMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

void Win32Driver::present() {
    const CanvasArea changed = frames_.present();
    if (!window_ || offscreen_ || changed.empty()) return;
    presented_ = true;
    HDC context = GetDC(window_);
    if (!context) return;
    paint(context, changed);
    ReleaseDC(window_, context);
    ValidateRect(window_, nullptr);
}

// Shows `area` of the canvas, as a DIB of its own so that no source origin is in question.
void Win32Driver::paint(HDC context, const CanvasArea& area) {
    const Canvas& canvas = frames_.canvas();
    const int width = canvas.width(), height = canvas.height();
    RECT client{};
    GetClientRect(window_, &client);
    if (client.right != width || client.bottom != height) {
        const BITMAPINFO info = topDownDib(width, height);
        StretchDIBits(context, 0, 0, client.right, client.bottom, 0, 0, width, height,
                      canvas.pixels(), &info, DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    const int patchWidth = area.right - area.left, patchHeight = area.bottom - area.top;
    patch_.resize(std::size_t(patchWidth) * std::size_t(patchHeight));
    for (int y = 0; y < patchHeight; ++y)
        std::memcpy(patch_.data() + std::size_t(y) * std::size_t(patchWidth),
                    canvas.pixels() + std::size_t(area.top + y) * std::size_t(width) +
                        std::size_t(area.left),
                    std::size_t(patchWidth) * sizeof(std::uint32_t));
    const BITMAPINFO info = topDownDib(patchWidth, patchHeight);
    SetDIBitsToDevice(context, area.left, area.top, DWORD(patchWidth), DWORD(patchHeight), 0, 0, 0,
                      UINT(patchHeight), patch_.data(), &info, DIB_RGB_COLORS);
}

} // namespace qub
