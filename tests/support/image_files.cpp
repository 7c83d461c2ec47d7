#include "tests/support/image_files.h"

#include "platform/file_names.h"
#include "tools/common/bmp_writer.h"
#include "tools/common/tga_writer.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

#include <stdexcept>

namespace testimg {

namespace {

void put16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Bytes& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void putBmpFileHeader(Bytes& out, std::uint32_t fileSize, std::uint32_t pixelOffset) {
    out.push_back('B');
    out.push_back('M');
    put32(out, fileSize);
    put32(out, 0);
    put32(out, pixelOffset);
}

void appendTo(void* bytes, void* data, int size) {
    auto* begin = static_cast<const std::uint8_t*>(data);
    static_cast<Bytes*>(bytes)->insert(static_cast<Bytes*>(bytes)->end(), begin, begin + size);
}

std::vector<std::uint8_t> rgbaOf(const Image& image) {
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t p : image.pixels)
        for (int shift : {16, 8, 0, 24})
            rgba.push_back(static_cast<std::uint8_t>(p >> shift));
    return rgba;
}

} // namespace

Image pattern(int width, int height, bool withAlpha) {
    Image image{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t alpha =
                withAlpha ? static_cast<std::uint32_t>((x * 37 + y * 11) % 256) : 0xFF;
            std::uint32_t r = static_cast<std::uint32_t>(x * 255 / (width > 1 ? width - 1 : 1));
            std::uint32_t g = static_cast<std::uint32_t>(y * 255 / (height > 1 ? height - 1 : 1));
            std::uint32_t b = static_cast<std::uint32_t>((x + y) % 2 ? 0x20 : 0xC0);
            image.pixels.push_back(alpha << 24 | r << 16 | g << 8 | b);
        }
    return image;
}

Image solid(int width, int height, std::uint32_t argb) {
    return Image{width, height,
                 std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), argb)};
}

Bytes tga(const Image& image, bool runLengthEncoded) {
    return tgltools::encodeTga(image.width, image.height, image.pixels, runLengthEncoded);
}

Bytes bmp24(const Image& image) {
    const std::uint32_t rowSize = static_cast<std::uint32_t>((image.width * 3 + 3) & ~3);
    const std::uint32_t pixelOffset = 14 + 40;
    Bytes out;
    putBmpFileHeader(out, pixelOffset + rowSize * static_cast<std::uint32_t>(image.height),
                     pixelOffset);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(image.width));
    put32(out, static_cast<std::uint32_t>(image.height)); // positive: bottom-up
    put16(out, 1);
    put16(out, 24);
    for (int i = 0; i < 6; ++i)
        put32(out, 0); // BI_RGB, sizes, resolution, palette
    for (int y = image.height - 1; y >= 0; --y) {
        std::size_t start = out.size();
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t p = image.at(x, y);
            out.push_back(static_cast<std::uint8_t>(p));
            out.push_back(static_cast<std::uint8_t>(p >> 8));
            out.push_back(static_cast<std::uint8_t>(p >> 16));
        }
        while (out.size() - start < rowSize)
            out.push_back(0);
    }
    return out;
}

Bytes bmp32(const Image& image) {
    return tgltools::encodeBmp(image.width, image.height, image.pixels);
}

Bytes png(const Image& image) {
    Bytes out;
    if (!stbi_write_png_to_func(appendTo, &out, image.width, image.height, 4, rgbaOf(image).data(),
                                image.width * 4))
        throw std::runtime_error("cannot encode a PNG");
    return out;
}

Bytes jpeg(const Image& image, int quality) {
    Bytes out;
    if (!stbi_write_jpg_to_func(appendTo, &out, image.width, image.height, 4, rgbaOf(image).data(),
                                quality))
        throw std::runtime_error("cannot encode a JPEG");
    return out;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    if (filenames::writeWholeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
}

} // namespace testimg
