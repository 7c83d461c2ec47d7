#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encoders for test images, written here byte by byte so that the fixtures are
// our own. Pixels are 0xAARRGGBB, rows top to bottom.
namespace testimg {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// A width x height image whose every pixel differs from its neighbours.
Image pattern(int width, int height, bool withAlpha);
Image solid(int width, int height, std::uint32_t argb);

using Bytes = std::vector<std::uint8_t>;

Bytes tga(const Image& image, bool runLengthEncoded); // 32-bit, top-left origin
Bytes bmp24(const Image& image);                      // bottom-up, rows padded
Bytes bmp32(const Image& image);                      // BITMAPV4 header with an alpha mask
Bytes png(const Image& image);                        // through stb_image_write
Bytes jpeg(const Image& image, int quality);

void writeFile(const std::string& path, const Bytes& bytes);

} // namespace testimg
