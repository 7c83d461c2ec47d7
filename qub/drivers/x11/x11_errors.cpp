#include "qub/drivers/x11/x11_errors.h"

#include <X11/Xlib.h>

namespace qub {

namespace {

XErrorHandler previousHandler = nullptr;

int handleError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow) return 0;
    return previousHandler ? previousHandler(display, error) : 0;
}

} // namespace

void ignoreErrorsAboutVanishedWindows() {
    const XErrorHandler current = XSetErrorHandler(handleError);
    if (current != handleError) previousHandler = current;
}

} // namespace qub
