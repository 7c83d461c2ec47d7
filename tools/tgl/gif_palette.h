#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <vector>

namespace tgltool {

// A picture's pixels as indexes into a palette of its own.
struct IndexedPixels {
    std::vector<GifColorType> palette;
    std::vector<GifByteType> indexes; // one per pixel
};

// At most `room` colours (2 to 256) for these 0xRRGGBB pixels, in the order
// they first appear: their own colours when they fit. Else the colours of
// boxes cut where the pixels stray most from their mean (a variance cut over
// bins of 5 bits a channel), each then moved to the mean of the pixels
// nearest to it a few times over (k-means); each pixel takes the nearest.
IndexedPixels indexPixels(const std::vector<std::uint32_t>& rgb, int room);

} // namespace tgltool
