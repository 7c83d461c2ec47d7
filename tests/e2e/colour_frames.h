#pragma once

#include "tests/e2e/x11_session.h"

#include <chrono>
#include <cstdint>
#include <vector>

// An animation another program plays, and how its window shows it: three
// opaque frames of one colour each, so that what shows does not depend on the
// program's background or scaling.
namespace e2e {

inline constexpr std::uint32_t kFrameColours[3] = {0xFF0000, 0x00FF00, 0x0000FF};

// The .tgl file: three 40 x 40 frames at (200, 100) in kFrameColours, 400 ms each.
std::vector<std::uint8_t> colourFrames();

// The frame colours the window showed over `span`, each time it changed.
std::vector<unsigned long> coloursShown(Display* display, Window window,
                                        std::chrono::milliseconds span);

// Whether each colour shown follows the one before in the file's order.
bool inTheFilesOrder(const std::vector<unsigned long>& shown);

} // namespace e2e
