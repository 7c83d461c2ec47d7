#pragma once

#include "image/image.h"

// stb_image's PNG and JPEG loaders, compiled once for every platform with
// only those two formats in.
namespace imaging {

// Decodes to straight RGBA; 16-bit PNG samples are rounded to 8 bits.
// False unless the result has exactly the probed size.
bool stbDecode(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               bool sixteenBit, DecodedImage& out);

} // namespace imaging
