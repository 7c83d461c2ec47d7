#include "tests/e2e/x11_keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <thread>

namespace e2e {

namespace {

void press(Display* display, KeyCode key, bool down) {
    XTestFakeKeyEvent(display, key, down ? True : False, CurrentTime);
    XSync(display, False);
}

// Puts the pointer at (x, y) of the window.
void movePointer(Display* display, Window window, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    XSync(display, False);
}

void click(Display* display, unsigned button, bool down) {
    XTestFakeButtonEvent(display, button, down ? True : False, CurrentTime);
    XSync(display, False);
}

} // namespace

void turnWheel(Display* display, Window window, int x, int y, int notches) {
    movePointer(display, window, x, y);
    for (int i = 0; i < std::abs(notches); ++i) {
        click(display, notches > 0 ? 4 : 5, true);
        click(display, notches > 0 ? 4 : 5, false);
    }
}

void dragPointer(Display* display, Window window, int x0, int y0, int x1, int y1) {
    movePointer(display, window, x0, y0);
    click(display, 1, true);
    movePointer(display, window, (x0 + x1) / 2, (y0 + y1) / 2);
    movePointer(display, window, x1, y1);
    click(display, 1, false);
}

void pressKeys(Display* display, Window window, const std::vector<std::string>& keysyms) {
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    for (const std::string& name : keysyms) {
        const KeySym keysym = XStringToKeysym(name.c_str());
        const KeyCode key = XKeysymToKeycode(display, keysym);
        if (key == 0) continue;
        const bool shifted = XkbKeycodeToKeysym(display, key, 0, 0) != keysym;
        if (shifted) press(display, shift, true);
        press(display, key, true);
        press(display, key, false);
        if (shifted) press(display, shift, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
}

} // namespace e2e
