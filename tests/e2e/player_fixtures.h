#pragma once

#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

// Animations and picture checks the players' end-to-end tests share.
namespace e2e {

using Picture = std::vector<unsigned long>; // 0xRRGGBB, 800 x 600

inline constexpr unsigned long kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// Squares of 20 x 20 in these colours at (x, 100), 100 ms each.
inline std::vector<std::uint8_t>
squares(const std::vector<std::pair<unsigned long, int>>& colourAndX) {
    tgltools::TglWriter w;
    for (const auto& [colour, x] : colourAndX)
        w.frame({x, 100, 100});
    for (const auto& [colour, x] : colourAndX)
        w.image(tgltools::encodeTga(
            20, 20, std::vector<std::uint32_t>(400, 0xFF000000u | std::uint32_t(colour)), false));
    return w.build();
}

inline int count(const Picture& picture, unsigned long colour) {
    return static_cast<int>(std::count(picture.begin(), picture.end(), colour));
}

// Where the first pixel of this colour is, as y * 800 + x; -1 when none.
inline long firstOf(const Picture& picture, unsigned long colour) {
    const auto at = std::find(picture.begin(), picture.end(), colour);
    return at == picture.end() ? -1 : static_cast<long>(at - picture.begin());
}

} // namespace e2e
