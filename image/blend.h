#pragma once

#include <cstdint>

// Alpha blending of straight (not premultiplied) 0xAARRGGBB pixels, rounded
// exactly: every channel is source * alpha + target * (255 - alpha), divided
// by 255 to the nearest. The CPU rasteriser and the CPU compose both use it,
// so that they agree to the byte.
namespace imaging {

inline int blendChannel(int source, int target, int alpha) {
    return (source * alpha + target * (255 - alpha) + 127) / 255;
}

// Source over target; the result's alpha is the source's plus what the
// target's shows through.
inline std::uint32_t blendOver(std::uint32_t source, std::uint32_t target) {
    const int alpha = static_cast<int>(source >> 24);
    if (alpha == 255) return source;
    if (alpha == 0) return target;
    std::uint32_t out = std::uint32_t(alpha + blendChannel(0, int(target >> 24), alpha)) << 24;
    for (int shift = 0; shift < 24; shift += 8)
        out |= std::uint32_t(
                   blendChannel(int(source >> shift & 0xFF), int(target >> shift & 0xFF), alpha))
               << shift;
    return out;
}

// Source over a target that may be partly transparent too (Porter and Duff's
// "over" of straight colours), rounded to the nearest: what an animated PNG
// frame blended "over" and a layer drawn in an editor mean.
inline std::uint32_t composeOver(std::uint32_t source, std::uint32_t target) {
    const std::uint32_t sa = source >> 24, ta = target >> 24;
    if (sa == 255 || ta == 0) return source;
    if (sa == 0) return target;
    const std::uint32_t weight = ta * (255 - sa);  // the target's share, of 255 * 255
    const std::uint32_t total = sa * 255 + weight; // the result's alpha, of 255 * 255
    std::uint32_t out = ((total + 127) / 255) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t s = source >> shift & 0xFF, t = target >> shift & 0xFF;
        out |= ((s * sa * 255 + t * weight + total / 2) / total) << shift;
    }
    return out;
}

} // namespace imaging
