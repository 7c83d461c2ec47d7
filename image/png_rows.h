#pragma once

#include "image/image.h"
#include "image/png_layout.h"

namespace imaging {

// The common PNGs, 8 bits a sample and not interlaced, decoded a few rows at
// a time: zlib inflates the rows, they are unfiltered in place and written as
// 0xAARRGGBB straight into the image, so no whole-image buffer but the image
// is made. False, with `out` empty, for every other file and wherever the
// data is not exactly what the header asks for; stb_image then decides.
bool decodePngRows(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
                   const PngLayout& layout, DecodedImage& out);

} // namespace imaging
