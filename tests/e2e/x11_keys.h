#pragma once

#include "tests/e2e/x11_session.h"

#include <string>
#include <vector>

namespace e2e {

// Gives the window the keyboard focus and types on the X server's keyboard
// (XTest), as a person would: each name is an X keysym ("space", "Right",
// "plus", "Z"), pressed with Shift where its key needs it.
void pressKeys(Display* display, Window window, const std::vector<std::string>& keysyms);

// Turns the mouse wheel by `notches` (up when positive) with the pointer at
// (x, y) of the window, as a person would (XTest).
void turnWheel(Display* display, Window window, int x, int y, int notches);
// Drags with the left button from (x0, y0) to (x1, y1) of the window.
void dragPointer(Display* display, Window window, int x0, int y0, int x1, int y1);

} // namespace e2e
