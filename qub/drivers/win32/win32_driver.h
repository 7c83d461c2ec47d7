#pragma once

#include "platform/windows_api.h"
#include "qub/driver.h"
#include "qub/drivers/canvas/canvas.h"

#include <memory>
#include <unordered_map>

namespace qub {

// The driver over the Windows API: a window of our own class whose client area
// is exactly the configured size, drawn by the CPU into a Canvas and shown with
// SetDIBitsToDevice (StretchDIBits when fullscreen). Present sends only the
// rectangle that changed since the last one, so a still picture costs a
// compare. Off-screen, the window is a message-only one: no display is needed,
// and the application can still take over its procedure and receive dropped
// files through it. Handle state 15 is the real HWND, so WM_DROPFILES reaches
// the application's procedure directly once it sets WS_EX_ACCEPTFILES.
class Win32Driver final : public Driver {
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

    DriverTexture createTexture(int width, int height, const std::uint32_t* argb) override;
    DriverTexture adoptTexture(int width, int height, std::uint32_t* argb,
                               void (*release)(void* context), void* context) override;
    void freeTexture(DriverTexture texture) override;

    bool beginFrame() override;
    void clear(std::uint32_t argb) override;
    void drawQuad(const Quad& quad, DriverTexture texture) override;
    void present() override;
    bool backBufferSize(int& width, int& height) override;
    bool readBack(std::uint32_t* argb, int width, int height) override;

  private:
    // The engine's own window procedure, the end of every subclassing chain.
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    // The rectangle where the canvas differs from what the window shows, now
    // copied into shown_; false when nothing changed.
    bool takeChanges(RECT& area);
    void paint(HDC context, const RECT& area);

    HWND window_ = nullptr;
    bool offscreen_ = false;
    bool fineTimer_ = false;
    bool closeRequested_ = false;
    Canvas canvas_;
    std::vector<std::uint32_t> shown_; // what the window holds, canvas-sized once presented
    std::vector<std::uint32_t> patch_; // the changed rectangle, as its own DIB
    CanvasTextures textures_;
};

} // namespace qub
