#include "qub/drivers/x11/desktop_window.h"

#include "platform/file_names.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace qub {

namespace {

const unsigned long kIcon[] = {
#include "window_icon.inc"
};

void setFixedSize(Display* display, Window window, int x, int y, int width, int height) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

// The program's own name, both as instance and class: "tglview", "tgl".
void setClass(Display* display, Window window) {
    std::string name = std::filesystem::path(filenames::programPath()).filename().native();
    if (name.empty()) name = "qub";
    XClassHint hint{name.data(), name.data()};
    XSetClassHint(display, window, &hint);
}

void setCardinals(Display* display, Window window, const char* property,
                  const unsigned long* values, int count) {
    XChangeProperty(display, window, XInternAtom(display, property, False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(values), count);
}

} // namespace

DesktopWindow::DesktopWindow(Display* display, Window window, int x, int y, int width, int height)
    : display_(display), protocols_(XInternAtom(display, "WM_PROTOCOLS", False)),
      deleteWindow_(XInternAtom(display, "WM_DELETE_WINDOW", False)),
      ping_(XInternAtom(display, "_NET_WM_PING", False)) {
    setFixedSize(display, window, x, y, width, height);
    setClass(display, window);
    Atom protocols[] = {deleteWindow_, ping_};
    XSetWMProtocols(display, window, protocols, 2);
    const unsigned long pid = static_cast<unsigned long>(getpid());
    setCardinals(display, window, "_NET_WM_PID", &pid, 1);
    setCardinals(display, window, "_NET_WM_ICON", kIcon, int(sizeof kIcon / sizeof kIcon[0]));
}

bool DesktopWindow::isCloseRequest(const XClientMessageEvent& message) const {
    return message.message_type == protocols_ &&
           static_cast<Atom>(message.data.l[0]) == deleteWindow_;
}

bool DesktopWindow::answerPing(const XClientMessageEvent& message) const {
    if (message.message_type != protocols_ || static_cast<Atom>(message.data.l[0]) != ping_)
        return false;
    XEvent reply{};
    reply.xclient = message;
    reply.xclient.window = DefaultRootWindow(display_);
    XSendEvent(display_, reply.xclient.window, False,
               SubstructureNotifyMask | SubstructureRedirectMask, &reply);
    XFlush(display_);
    return true;
}

} // namespace qub
