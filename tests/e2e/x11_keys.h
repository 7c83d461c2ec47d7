#pragma once

#include "tests/e2e/x11_session.h"

#include <string>
#include <vector>

namespace e2e {

// Gives the window the keyboard focus and types on the X server's keyboard
// (XTest), as a person would: each name is an X keysym ("space", "Right",
// "plus", "Z"), pressed with Shift where its key needs it.
void pressKeys(Display* display, Window window, const std::vector<std::string>& keysyms);

} // namespace e2e
