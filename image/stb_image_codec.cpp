#include "image/image_decoder.h"
#include "image/limits.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iterator>

// Only the accepted formats are compiled in; a second check of the sides
// inside the decoder backs up the probe's.
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS (1 << 14)
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

static_assert(STBI_MAX_DIMENSIONS == InputLimits::kMaxImageSide, "the decoder's own side limit");

namespace imaging {

namespace {

const std::uint8_t kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

bool endsWithIend(const std::uint8_t* data, std::size_t size) {
    return size >= 12 && std::equal(data + size - 8, data + size - 4, kIend + 4);
}

// The bytes an uncompressed TGA needs (type 1, 2 or 3): header, id, colour
// map, then every pixel; 0 for the run-length types.
std::size_t rawTgaSize(const std::uint8_t* data, std::size_t size, const ImageHeader& header) {
    if (size < 18 || (data[2] != 1 && data[2] != 2 && data[2] != 3)) return 0;
    const std::size_t mapEntries = std::size_t(data[5] | data[6] << 8);
    const std::size_t mapBytes = data[1] ? mapEntries * ((std::size_t(data[7]) + 7) / 8) : 0;
    return 18 + data[0] + mapBytes +
           std::size_t(header.width) * std::size_t(header.height) *
               ((std::size_t(data[16]) + 7) / 8);
}

// stb_image's loaders, built with the accepted formats only; it finds the
// format from the data, which the probe has already named.
class StbImageDecoder final : public ImageDecoder {
  public:
    bool decode(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
                DecodedImage& out) const override {
        // A cut-short uncompressed TGA would leave whole rows of the result
        // unwritten; the missing pixels come out as zeros (transparent) instead.
        // A PNG whose chunks stop whole before IEND decodes as it does on
        // Linux, so it gets its IEND.
        std::vector<std::uint8_t> padded;
        if (header.format == ImageFormat::Png && !endsWithIend(data, size)) {
            padded.assign(data, data + size);
            padded.insert(padded.end(), std::begin(kIend), std::end(kIend));
            data = padded.data();
            size = padded.size();
        }
        if (header.format == ImageFormat::Tga) {
            const std::size_t needed = rawTgaSize(data, size, header);
            if (needed > size) {
                padded.assign(data, data + size);
                padded.resize(needed);
                data = padded.data();
                size = padded.size();
            }
        }
        if (size > INT_MAX) return false;
        int width = 0, height = 0, channels = 0;
        stbi_uc* rgba =
            stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 4);
        if (!rgba) return false;
        const bool fits = width == header.width && height == header.height;
        if (fits) {
            out.width = width;
            out.height = height;
            out.pixels.resize(std::size_t(width) * std::size_t(height));
            const stbi_uc* p = rgba;
            for (std::uint32_t& pixel : out.pixels) {
                pixel = std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 |
                        std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]);
                p += 4;
            }
        }
        stbi_image_free(rgba);
        return fits;
    }
};

void appendToFile(void* file, void* data, int size) {
    std::fwrite(data, 1, std::size_t(size), static_cast<std::FILE*>(file));
}

} // namespace

const ImageDecoder& platformImageDecoder() {
    static const StbImageDecoder decoder;
    return decoder;
}

bool writePngFile(const char* path, const std::uint32_t* argb, int width, int height) {
    if (!path || !argb || width <= 0 || height <= 0) return false;
    std::vector<std::uint8_t> rgba(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
        rgba[i * 4 + 0] = std::uint8_t(argb[i] >> 16);
        rgba[i * 4 + 1] = std::uint8_t(argb[i] >> 8);
        rgba[i * 4 + 2] = std::uint8_t(argb[i]);
        rgba[i * 4 + 3] = std::uint8_t(argb[i] >> 24);
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written =
        stbi_write_png_to_func(appendToFile, file, width, height, 4, rgba.data(), width * 4) != 0;
    return std::fclose(file) == 0 && written;
}

} // namespace imaging
