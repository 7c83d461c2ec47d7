#pragma once

#include <X11/Xlib.h>

// What an X11 desktop expects of a top-level window: its class (for the
// taskbar's grouping and the desktop entry's StartupWMClass), its process,
// its icon, size hints for a window that does not resize, and the protocols
// it answers: WM_DELETE_WINDOW, and _NET_WM_PING from the event loop, so
// that the desktop can tell a live window from a hung one.
namespace qub {

class DesktopWindow {
  public:
    // Sets the properties of `window`, placed at (x, y) at a fixed size.
    DesktopWindow(Display* display, Window window, int x, int y, int width, int height);

    // True for the window manager's request to close.
    bool isCloseRequest(const XClientMessageEvent& message) const;
    // Sends a ping back to the root window; true when the message was one.
    bool answerPing(const XClientMessageEvent& message) const;

  private:
    Display* display_;
    Atom protocols_, deleteWindow_, ping_;
};

} // namespace qub
