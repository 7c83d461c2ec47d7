#include "image/stb_codecs.h"
#include "image/limits.h"
#include "image/rgba_words.h"
#include "platform/file_names.h"

#include <zlib.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

// PNG writing compresses with zlib: several times faster than stb's own deflate.
static unsigned char* zlibCompress(unsigned char* data, int length, int* outLength, int) {
    uLongf size = compressBound(uLong(length));
    auto* out = static_cast<unsigned char*>(std::malloc(size));
    if (!out || compress2(out, &size, data, uLong(length), Z_DEFAULT_COMPRESSION) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *outLength = int(size);
    return out;
}

// Only PNG and JPEG are compiled in; a second check of the sides inside the
// decoder backs up the probe's.
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS (1 << 14)
// Memory the decoder takes is cleared: where a JPEG's scans stop before its
// blocks are all decoded, they show the same zeros on every run, not what
// the memory held before.
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(p, size) std::realloc(p, size)
#define STBI_FREE(p) std::free(p)
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_ZLIB_COMPRESS zlibCompress
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

template <typename Sample> std::uint32_t eightBits(Sample v) {
    if constexpr (sizeof(Sample) == 1)
        return v;
    else
        return (std::uint32_t(v) + 128) / 257; // v * 255 / 65535, rounded
}

template <typename Sample> void toArgb(const Sample* rgba, DecodedImage& out) {
    for (std::uint32_t& pixel : out.pixels) {
        pixel = eightBits(rgba[3]) << 24 | eightBits(rgba[0]) << 16 | eightBits(rgba[1]) << 8 |
                eightBits(rgba[2]);
        rgba += 4;
    }
}

template <> void toArgb(const stbi_uc* rgba, DecodedImage& out) {
    rgbaToArgb(rgba, out.pixels.data(), out.pixels.size());
}

void appendToBytes(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    bytes->insert(bytes->end(), static_cast<std::uint8_t*>(data),
                  static_cast<std::uint8_t*>(data) + size);
}

} // namespace

bool stbDecode(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               bool sixteenBit, DecodedImage& out) {
    if (size > INT_MAX) return false;
    const int length = static_cast<int>(size);
    int width = 0, height = 0, channels = 0;
    void* rgba = sixteenBit ? static_cast<void*>(stbi_load_16_from_memory(data, length, &width,
                                                                          &height, &channels, 4))
                            : static_cast<void*>(stbi_load_from_memory(data, length, &width,
                                                                       &height, &channels, 4));
    if (!rgba) return false;
    const bool fits = width == header.width && height == header.height;
    if (fits) {
        out.width = width;
        out.height = height;
        out.pixels.resize(std::size_t(width) * std::size_t(height));
        if (sixteenBit)
            toArgb(static_cast<const stbi_us*>(rgba), out);
        else
            toArgb(static_cast<const stbi_uc*>(rgba), out);
    }
    stbi_image_free(rgba);
    return fits;
}

std::vector<std::uint8_t> encodePng(const std::uint32_t* argb, int width, int height) {
    std::vector<std::uint8_t> png;
    if (!argb || width <= 0 || height <= 0) return png;
    std::vector<std::uint8_t> rgba(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
        rgba[i * 4 + 0] = std::uint8_t(argb[i] >> 16);
        rgba[i * 4 + 1] = std::uint8_t(argb[i] >> 8);
        rgba[i * 4 + 2] = std::uint8_t(argb[i]);
        rgba[i * 4 + 3] = std::uint8_t(argb[i] >> 24);
    }
    if (!stbi_write_png_to_func(appendToBytes, &png, width, height, 4, rgba.data(), width * 4))
        png.clear();
    return png;
}

bool writePngFile(const char* path, const std::uint32_t* argb, int width, int height) {
    if (!path) return false;
    const std::vector<std::uint8_t> png = encodePng(argb, width, height);
    if (png.empty()) return false;
    return !filenames::writeWholeFile(path, png);
}

} // namespace imaging
