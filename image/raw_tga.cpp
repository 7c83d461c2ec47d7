#include "image/image.h"

namespace imaging {

std::vector<std::uint8_t> encodeRawTga(const DecodedImage& image) {
    constexpr std::size_t kHeaderBytes = 18;
    const std::size_t pixelBytes = image.pixels.size() * sizeof(std::uint32_t);
    std::vector<std::uint8_t> tga(kHeaderBytes, 0);
    tga[2] = 2; // uncompressed true colour
    tga[12] = static_cast<std::uint8_t>(image.width);
    tga[13] = static_cast<std::uint8_t>(image.width >> 8);
    tga[14] = static_cast<std::uint8_t>(image.height);
    tga[15] = static_cast<std::uint8_t>(image.height >> 8);
    tga[16] = 32;
    tga[17] = 0x28; // top-left origin, 8 alpha bits
    // 0xAARRGGBB in memory on our little-endian targets is B, G, R, A: the
    // file's own byte order.
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(image.pixels.data());
    tga.reserve(kHeaderBytes + pixelBytes);
    tga.insert(tga.end(), pixels, pixels + pixelBytes);
    return tga;
}

} // namespace imaging
