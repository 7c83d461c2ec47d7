#pragma once

#include <cstdint>
#include <vector>

namespace tgltool {

// An endlessly looping, lossless animated WebP of width x height pictures
// (0xAARRGGBB), each shown for its duration in milliseconds. Throws
// CommandError where it fails, or where this build has no WebP encoder.
std::vector<std::uint8_t> animatedWebP(const std::vector<std::vector<std::uint32_t>>& frames,
                                       int width, int height,
                                       const std::vector<std::int32_t>& durations);

} // namespace tgltool
