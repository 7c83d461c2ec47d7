#include "qub/drivers/x11/x11_driver.h"

#include "platform/text_encoding.h"
#include "platform/window_host.h"
#include "qub/drivers/x11/desktop_window.h"
#include "qub/drivers/x11/x11_errors.h"
#include "qub/drivers/x11/xdnd_target.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qub {

namespace {

constexpr long kEventMask = ExposureMask | KeyPressMask | FocusChangeMask | StructureNotifyMask |
                            ButtonPressMask | ButtonReleaseMask | Button1MotionMask;

// The virtual-key code of a key, as Windows sends it with WM_KEYDOWN; 0 for
// keys the programs do not use.
UINT virtualKeyOf(KeySym key) {
    switch (key) {
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_End: return VK_END;
    case XK_Home: return VK_HOME;
    case XK_Left: return VK_LEFT;
    case XK_Up: return VK_UP;
    case XK_Right: return VK_RIGHT;
    case XK_Down: return VK_DOWN;
    default: break;
    }
    if (key >= XK_a && key <= XK_z) return static_cast<UINT>(key - XK_a + 'A');
    if (key >= XK_A && key <= XK_Z) return static_cast<UINT>(key - XK_A + 'A');
    if (key >= XK_0 && key <= XK_9) return static_cast<UINT>(key - XK_0 + '0');
    return 0;
}

} // namespace

std::unique_ptr<Driver> createPlatformDriver() { return std::make_unique<X11Driver>(); }

X11Driver::X11Driver() = default;

X11Driver::~X11Driver() { close(); }

bool X11Driver::open(const WindowSettings& settings) {
    if (open_) return true;
    if (!settings.offscreen) {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            const char* name = std::getenv("DISPLAY");
            std::fprintf(stderr, "qub: no display could be opened: cannot open \"%s\"\n",
                         name ? name : "");
            return false;
        }
        ignoreErrorsAboutVanishedWindows();
    }
    if (!makeCanvas(settings.width, settings.height)) {
        close();
        return false;
    }
    if (display_ && !createWindow(settings)) {
        close();
        return false;
    }
    windowHandle_ = platform::createEngineWindow();
    open_ = true;
    return true;
}

bool X11Driver::createWindow(const WindowSettings& settings) {
    const int screen = DefaultScreen(display_);
    const int x = std::max(0, (DisplayWidth(display_, screen) - settings.width) / 2);
    const int y = std::max(0, (DisplayHeight(display_, screen) - settings.height) / 2);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(display_, screen);
    attributes.event_mask = kEventMask;
    window_ = XCreateWindow(display_, RootWindow(display_, screen), x, y,
                            static_cast<unsigned>(settings.width),
                            static_cast<unsigned>(settings.height), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (!window_) {
        std::fprintf(stderr, "qub: cannot create the window\n");
        return false;
    }
    desktop_ =
        std::make_unique<DesktopWindow>(display_, window_, x, y, settings.width, settings.height);
    setTitle(settings.title.c_str());
    drops_ = std::make_unique<XdndTarget>(display_, window_);
    gc_ = XCreateGC(display_, window_, 0, nullptr);

    // Pixels go to the server as the canvas holds them when the visual is
    // 24-bit true colour in 32-bit units of the host's byte order, as nearly
    // every display is; otherwise each is converted.
    Visual* visual = DefaultVisual(display_, screen);
    int formats = 0;
    bool thirtyTwoBits = false;
    if (XPixmapFormatValues* list = XListPixmapFormats(display_, &formats)) {
        for (int i = 0; i < formats; ++i)
            if (list[i].depth == DefaultDepth(display_, screen))
                thirtyTwoBits = list[i].bits_per_pixel == 32;
        XFree(list);
    }
    const bool lsbFirst = ImageByteOrder(display_) == LSBFirst;
    directPixels_ = thirtyTwoBits && lsbFirst && visual->red_mask == 0xFF0000 &&
                    visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;

    // One image header for every present; its pixels are the canvas's, or
    // the converted copy's.
    image_ = XCreateImage(display_, visual, static_cast<unsigned>(DefaultDepth(display_, screen)),
                          ZPixmap, 0, nullptr, static_cast<unsigned>(settings.width),
                          static_cast<unsigned>(settings.height), 32, 0);
    if (!image_) {
        std::fprintf(stderr, "qub: cannot make the window's image\n");
        return false;
    }
    if (!directPixels_)
        converted_.resize(std::size_t(image_->bytes_per_line) * std::size_t(settings.height) / 4 +
                          1);

    XMapWindow(display_, window_);
    XFlush(display_);
    return true;
}

void X11Driver::close() {
    frames_.reset();
    drops_.reset();
    if (image_) XDestroyImage(image_); // its data is null
    image_ = nullptr;
    converted_.clear();
    if (display_) {
        if (gc_) XFreeGC(display_, static_cast<GC>(gc_));
        if (window_) XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    gc_ = nullptr;
    window_ = 0;
    display_ = nullptr;
    platform::destroyWindow(windowHandle_);
    windowHandle_ = nullptr;
    open_ = false;
}

void X11Driver::setTitle(const char* title) {
    if (!display_ || !window_) return;
    XStoreName(display_, window_, title);
    const std::string text = textencoding::validUtf8(title);
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                    XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    XFlush(display_);
}

void X11Driver::pumpEvents(DriverEvents& events) {
    if (!display_) return;
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        handleEvent(event, events);
    }
}

void X11Driver::handleEvent(const XEvent& event, DriverEvents& events) {
    std::vector<std::string> dropped;
    bool finished = false;
    if (drops_ && drops_->handle(event, dropped, finished)) {
        if (!finished || dropped.empty()) return;
        events.dropBegan();
        for (const std::string& path : dropped)
            events.fileDropped(path.c_str());
        events.dropCompleted();
        return;
    }
    switch (event.type) {
    case ClientMessage:
        if (desktop_ && desktop_->isCloseRequest(event.xclient)) events.windowClosed();
        if (desktop_) desktop_->answerPing(event.xclient);
        break;
    case Expose:
    case MapNotify:
    case ConfigureNotify: frames_.windowLost(); break; // it may have lost what it showed
    case FocusIn: focused_ = true; break;
    case FocusOut: focused_ = false; break;
    case KeyPress: {
        XEvent key = event;
        sendKey(key);
        break;
    }
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify: sendPointer(event); break;
    default: break;
    }
}

// Keys reach the window procedure as WM_KEYDOWN with the virtual-key code,
// as they do on Windows, then the text they type as WM_CHAR, ASCII only.
void X11Driver::sendKey(XEvent& event) {
    char text[32] = {};
    KeySym key = NoSymbol;
    const int length = XLookupString(&event.xkey, text, sizeof text - 1, &key, nullptr);
    platform::sendKeyDown(windowHandle_, virtualKeyOf(key));
    platform::sendTypedText(windowHandle_, text, std::size_t(length > 0 ? length : 0));
}

// The left button and its drags reach the window procedure as Windows sends
// them, and wheel notches (buttons 4 and 5) as WM_MOUSEWHEEL at the screen point.
void X11Driver::sendPointer(const XEvent& event) {
    const bool motion = event.type == MotionNotify;
    const int x = motion ? event.xmotion.x : event.xbutton.x;
    const int y = motion ? event.xmotion.y : event.xbutton.y;
    const int rootX = motion ? event.xmotion.x_root : event.xbutton.x_root;
    const int rootY = motion ? event.xmotion.y_root : event.xbutton.y_root;
    platform::setClientOrigin(windowHandle_, rootX - x, rootY - y);
    if (motion) {
        platform::sendLeftDrag(windowHandle_, x, y);
        return;
    }
    const unsigned button = event.xbutton.button;
    const bool pressed = event.type == ButtonPress;
    if (button == Button1) platform::sendLeftButton(windowHandle_, pressed, x, y);
    if ((button == Button4 || button == Button5) && pressed)
        platform::sendWheel(windowHandle_, button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA, rootX,
                            rootY);
}

void X11Driver::waitForEvents(int milliseconds) {
    if (!display_) return;
    if (XPending(display_)) return;
    pollfd wait{ConnectionNumber(display_), POLLIN, 0};
    poll(&wait, 1, milliseconds);
}

void X11Driver::deliverDrop(const std::vector<std::string>& paths) {
    platform::deliverDrop(windowHandle_, paths);
}

void X11Driver::present() {
    if (!open_) return;
    const CanvasArea changed = frames_.present();
    if (display_ && !changed.empty()) show(changed);
}

// The changed rectangle of the canvas to the window, in one request the
// server splits as it needs.
void X11Driver::show(const CanvasArea& area) {
    const Canvas& canvas = frames_.canvas();
    if (directPixels_) {
        image_->data = reinterpret_cast<char*>(const_cast<std::uint32_t*>(canvas.pixels()));
    } else {
        // Any other true-colour visual: each channel cut to its mask's width.
        image_->data = reinterpret_cast<char*>(converted_.data());
        const auto channel = [](unsigned long value, unsigned long mask) -> unsigned long {
            if (!mask) return 0ul;
            int shift = 0, bits = 0;
            while (!(mask >> shift & 1))
                ++shift;
            while (mask >> (shift + bits) & 1)
                ++bits;
            return (bits >= 8 ? value << (bits - 8) : value >> (8 - bits)) << shift;
        };
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const std::uint32_t argb =
                    canvas.pixels()[std::size_t(y) * std::size_t(canvas.width()) + std::size_t(x)];
                XPutPixel(image_, x, y,
                          channel(argb >> 16 & 0xFF, image_->red_mask) |
                              channel(argb >> 8 & 0xFF, image_->green_mask) |
                              channel(argb & 0xFF, image_->blue_mask));
            }
    }
    XPutImage(display_, window_, static_cast<GC>(gc_), image_, area.left, area.top, area.left,
              area.top, static_cast<unsigned>(area.right - area.left),
              static_cast<unsigned>(area.bottom - area.top));
    image_->data = nullptr; // never Xlib's to free
    XFlush(display_);
}

} // namespace qub
