#pragma once

#include "tests/e2e/x11_session.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
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

// Writes the animation as dir/walk.tgl and opens it with `program` under a
// private Xvfb, on a session bus of its own; the frame colours its window
// (titled from `titleStart` on) showed over three seconds, or nothing when no
// such window came.
std::optional<std::vector<unsigned long>>
coloursPlayedBy(const std::string& program, const TempDir& dir, const std::string& titleStart);

} // namespace e2e
