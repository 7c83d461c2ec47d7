#pragma once

#include "platform/windows_api.h"
#include "qub/drivers/canvas/canvas_driver.h"

#include <vector>

namespace qub {

// The driver over the Windows API: a window of our own class whose client area
// is exactly the configured size, drawn by the CPU into a Canvas and shown with
// SetDIBitsToDevice (StretchDIBits when fullscreen). Present sends only the
// rectangle that changed since the last one, so a still picture costs a
// compare. Off-screen, the window is a message-only one: no display is needed,
// and the application can still take over its procedure and receive dropped
// files through it. The handle state QubState::kMainWindow is the real HWND, so WM_DROPFILES
// reaches the application's procedure directly once it sets WS_EX_ACCEPTFILES. Textures, drawing
// and read-back are the Canvas drivers' own.
class Win32Driver final : public CanvasDriver {
  public:
    Win32Driver() = default;
    Win32Driver(const Win32Driver&) = delete;
    Win32Driver& operator=(const Win32Driver&) = delete;
    ~Win32Driver() override;

    bool open(const WindowSettings& settings) override;
    void close() override;
    void setTitle(const char* title) override;
    WindowHandle windowHandle() const override { return window_; }

    void pumpEvents(DriverEvents& events) override;
    bool hasFocus() const override;
    void waitForEvents(int milliseconds) override;
    void deliverDrop(const std::vector<std::string>& paths) override;

    void present() override;

  private:
    bool ready() const override { return window_ != nullptr; }
    // The engine's own window procedure, the end of every subclassing chain.
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    // Shows `area` of the canvas as it was last presented.
    void paint(HDC context, const CanvasArea& area);

    HWND window_ = nullptr;
    bool offscreen_ = false;
    bool fineTimer_ = false;
    bool closeRequested_ = false;
    bool presented_ = false;           // the canvas holds a picture the window was given
    std::vector<std::uint32_t> patch_; // the changed rectangle, as its own DIB
};

} // namespace qub
