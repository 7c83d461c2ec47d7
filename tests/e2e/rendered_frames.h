#pragma once

#include <string>
#include <vector>

// What `tgl render` makes of an animation, to hold a window's picture against.
namespace e2e {

using Picture = std::vector<unsigned long>; // 0xRRGGBB, 800 x 600, as grabWindow gives

// Every frame of `animation` as the tool renders it, in frame order; empty
// when the tool fails.
std::vector<Picture> renderedFrames(const std::string& tool, const std::string& animation,
                                    const std::string& folder);

// A variant of every image format a frame may hold, with partial alpha
// where the format has alpha, each frame at its own place for `duration` ms.
std::vector<std::uint8_t> formatVariantsAnimation(int duration);

} // namespace e2e
