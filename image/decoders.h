#pragma once

#include "image/image.h"

// The decoders behind decodeImage, one per format and the same on every
// platform. Each is called only with bytes whose header probed Ok as its
// format, and gives exactly the probed size or fails. BMP and TGA leave the
// pixels their data does not reach transparent, but refuse a file with no
// pixel data at all.
namespace imaging {

bool decodePng(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out);
bool decodeJpeg(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
                DecodedImage& out);
bool decodeBmp(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out);
bool decodeTga(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out);

// A channel of n bits widened to 8 with rounding, as every decoder here does.
inline std::uint32_t widenChannel(std::uint64_t value, std::uint64_t largest) {
    return static_cast<std::uint32_t>((value * 255 + largest / 2) / largest);
}

} // namespace imaging
