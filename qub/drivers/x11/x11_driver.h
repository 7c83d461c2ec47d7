#pragma once

#include "platform/windows_api.h"
#include "qub/driver.h"
#include "qub/drivers/canvas/canvas_driver.h"

#include <memory>
#include <vector>

typedef struct _XDisplay Display;
typedef unsigned long XID;
typedef union _XEvent XEvent;
struct _XImage;
typedef struct _XImage XImage;

namespace qub {

class DesktopWindow;
class XdndTarget;

// The driver over Xlib: a window whose picture is drawn on the CPU by the
// Canvas (as on Windows, to the byte) and sent to the X server straight from
// the canvas, only the part that changed; off-screen, no display at all.
// Textures are pixels in memory, so a decoded image becomes one without a
// copy. It loads nothing but Xlib, so that the window is up within
// milliseconds of the start. The window's record in the Windows API layer is
// what the handle state QubState::kMainWindow gives the application.
class X11Driver final : public CanvasDriver {
  public:
    X11Driver();
    X11Driver(const X11Driver&) = delete;
    X11Driver& operator=(const X11Driver&) = delete;
    ~X11Driver() override;

    bool open(const WindowSettings& settings) override;
    void close() override;
    void setTitle(const char* title) override;
    WindowHandle windowHandle() const override { return windowHandle_; }

    void pumpEvents(DriverEvents& events) override;
    bool hasFocus() const override { return focused_; }
    void waitForEvents(int milliseconds) override;
    void deliverDrop(const std::vector<std::string>& paths) override;

    void present() override;

  private:
    bool ready() const override { return open_; }
    bool createWindow(const WindowSettings& settings);
    void show(const CanvasArea& area);
    void handleEvent(const XEvent& event, DriverEvents& events);
    void sendPointer(const XEvent& event);
    void sendKey(XEvent& event);

    bool open_ = false; // a window, on a display or off-screen
    Display* display_ = nullptr;
    XID window_ = 0;
    void* gc_ = nullptr;        // the window's GC
    bool directPixels_ = false; // the visual takes the canvas's pixels as they are
    XImage* image_ = nullptr;
    std::vector<std::uint32_t> converted_; // the picture in other visuals' pixels
    std::unique_ptr<DesktopWindow> desktop_;
    std::unique_ptr<XdndTarget> drops_;
    bool focused_ = false;
    HWND windowHandle_ = nullptr;
};

} // namespace qub
