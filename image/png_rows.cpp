#include "image/png_rows.h"
#include "image/byte_reader.h"
#include "image/png_filters.h"
#include "image/png_image_data.h"
#include "image/rgba_words.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace imaging {

namespace {

constexpr std::size_t kInflatedAtOnce = 64 * 1024; // bytes of filtered rows per inflate
constexpr int kSamplesPerPixel[7] = {1, 0, 3, 1, 2, 0, 4};

enum Colour { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

// What one sample of a grey or palette image shows, and the RGB colour keyed
// transparent by tRNS, if any.
struct Colours {
    std::array<std::uint32_t, 256> lookup{};
    bool keyed = false;
    std::uint32_t key = 0;
};

// False where stb_image reads the colour chunks its own way or refuses them.
bool readColours(int colour, const PngLayout& layout, Colours& colours) {
    const std::uint8_t* t = layout.transparency;
    const std::size_t tLength = layout.transparencyLength;
    if (layout.palette && (layout.paletteLength % 3 || layout.paletteLength > 256 * 3))
        return false;
    if (colour == kPalette) {
        if (layout.paletteLength == 0 || (t && tLength > layout.paletteLength / 3)) return false;
        for (std::size_t i = 0; i < 256; ++i) // an index past the palette shows opaque black
            colours.lookup[i] = 0xFF000000u;
        for (std::size_t i = 0; i < layout.paletteLength / 3; ++i) {
            const std::uint8_t* e = layout.palette + 3 * i;
            const std::uint32_t alpha = t && i < tLength ? t[i] : 255;
            colours.lookup[i] = alpha << 24 | std::uint32_t(e[0]) << 16 | e[1] << 8 | e[2];
        }
        return true;
    }
    if (t && (colour & 4 || tLength != std::size_t(kSamplesPerPixel[colour]) * 2)) return false;
    for (std::size_t i = 0; t && i < tLength; i += 2)
        if (t[i] != 0) return false; // a key no 8-bit sample can match, which stb reads its way
    for (std::uint32_t v = 0; v < 256; ++v)
        colours.lookup[v] = 0xFF000000u | v * 0x010101u;
    if (t && colour == kGrey) colours.lookup[t[1]] &= 0x00FFFFFFu;
    colours.keyed = t && colour == kRgb;
    if (colours.keyed) colours.key = std::uint32_t(t[1]) << 16 | t[3] << 8 | t[5];
    return true;
}

void writeRow(int colour, const std::uint8_t* __restrict row, std::uint32_t* __restrict out,
              std::size_t width, const Colours& colours) {
    switch (colour) {
    case kRgba: rgbaToArgb(row, out, width); break;
    case kRgb:
        for (std::size_t x = 0; x < width; ++x, row += 3) {
            const std::uint32_t rgb = std::uint32_t(row[0]) << 16 | row[1] << 8 | row[2];
            out[x] = colours.keyed && rgb == colours.key ? rgb : 0xFF000000u | rgb;
        }
        break;
    case kGreyAlpha:
        for (std::size_t x = 0; x < width; ++x, row += 2)
            out[x] = std::uint32_t(row[1]) << 24 | row[0] * 0x010101u;
        break;
    default:
        for (std::size_t x = 0; x < width; ++x)
            out[x] = colours.lookup[row[x]];
        break;
    }
}

// The rows are inflated into the end of the image's own pixels, where each
// row lies at or past the pixels it becomes: unfiltered there, copied out to
// be the next row's prior, and written as pixels from the copy.
bool decodeRows(const PngLayout& layout, int colour, const Colours& colours, DecodedImage& out) {
    const std::size_t width = std::size_t(out.width), height = std::size_t(out.height);
    const std::size_t bpp = std::size_t(kSamplesPerPixel[colour]);
    const std::size_t stride = width * bpp, rowBytes = stride + 1;
    const std::size_t rowsAtOnce = std::max<std::size_t>(1, kInflatedAtOnce / rowBytes);
    out.pixels.resize(width * height + (height + 3) / 4); // room for the rows' filter bytes
    std::uint8_t* rows =
        reinterpret_cast<std::uint8_t*>(out.pixels.data() + out.pixels.size()) - height * rowBytes;
    PngImageData data(layout, rows, height * rowBytes);
    std::vector<std::uint8_t> above(stride); // the row above, zeros above the first
    for (std::size_t y = 0; y < height; ++y) {
        if (y % rowsAtOnce == 0 && !data.inflatedUpTo(std::min(height, y + rowsAtOnce) * rowBytes))
            return false;
        std::uint8_t* row = rows + y * rowBytes;
        if (!unfilterPngRow(row[0], bpp, row + 1, above.data(), stride)) return false;
        std::memcpy(above.data(), row + 1, stride);
        writeRow(colour, above.data(), &out.pixels[y * width], width, colours);
    }
    out.pixels.resize(width * height);
    return data.endsWhereTheRowsDo();
}

} // namespace

bool decodePngRows(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
                   const PngLayout& layout, DecodedImage& out) {
#if defined(__EMSCRIPTEN__)
    return false; // the web build's inflate decodes from the start at every call
#endif
    const ByteReader ihdr(data, size);
    const int colour = int(ihdr.u8(25));
    if (ihdr.u8(24) != 8 || colour > kRgba || kSamplesPerPixel[colour] == 0 || ihdr.u8(26) != 0 ||
        ihdr.u8(27) != 0 || ihdr.u8(28) != 0 || !layout.plain || layout.data.empty())
        return false;
    Colours colours;
    if (!readColours(colour, layout, colours)) return false;
    out.width = header.width;
    out.height = header.height;
    if (decodeRows(layout, colour, colours, out)) return true;
    out = DecodedImage();
    return false;
}

} // namespace imaging
