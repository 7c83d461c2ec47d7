#pragma once

#include <cstdint>
#include <vector>

// Writes 32-bit BMP images with an alpha mask (BITMAPV4HEADER, bottom-up
// rows). Pixels are 0xAARRGGBB, rows top to bottom.
namespace tgltools {

std::vector<std::uint8_t> encodeBmp(int width, int height,
                                    const std::vector<std::uint32_t>& pixels);

} // namespace tgltools
