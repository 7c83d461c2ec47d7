#include "tests/e2e/x11_keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <thread>

namespace e2e {

namespace {

void press(Display* display, KeyCode key, bool down) {
    XTestFakeKeyEvent(display, key, down ? True : False, CurrentTime);
    XSync(display, False);
}

} // namespace

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
