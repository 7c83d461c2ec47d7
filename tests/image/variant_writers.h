#pragma once

#include "tests/support/image_files.h"

#include <cstdint>
#include <vector>

// Writers for the format variants the decoders take, byte by byte: every
// PNG colour type and depth, BMP headers, depths and run-length data, TGA
// types, and flat-colour JPEGs of any component layout. The caller gives the
// stored values; each test works out the pixels they must give.
namespace variants {

using testimg::Bytes;

// PNG: samples row by row, channels per pixel as the colour type has them.
struct PngVariant {
    int colourType = 6;
    int depth = 8;
    bool interlaced = false;
    Bytes palette;       // PLTE: RGB triples
    Bytes transparency;  // tRNS as stored
    int firstFilter = 0; // row n of each pass filtered with type (firstFilter + n) % 5
};
Bytes png(int width, int height, const PngVariant& variant,
          const std::vector<std::uint16_t>& samples);

// BMP: the headers around pixel data the caller lays out (see packRows).
struct BmpVariant {
    std::uint32_t infoSize = 40; // 12, 16-64 (OS/2), 40, 52, 56, 108, 124
    int bits = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks;   // after a 40-byte header, or inside larger ones
    std::vector<std::uint32_t> palette; // 0xRRGGBB
    std::uint32_t gap = 0;              // bytes between the palette and the pixels
    bool topDown = false;
};
Bytes bmp(int width, int height, const BmpVariant& variant, const Bytes& pixelData);
// Rows of `bits`-wide values (little-endian, or packed high bits first below
// 8), each row padded to 4 bytes, stored bottom-up unless topDown.
Bytes packRows(int width, int height, int bits, const std::vector<std::uint32_t>& values,
               bool topDown);

// TGA: each pixel's stored bytes in stored order (rows as the descriptor
// says); run-length coded for the types of 9 and up.
struct TgaVariant {
    int type = 2;
    int depth = 32;
    std::uint8_t descriptor = 0x20; // top-left origin
    Bytes id;
    int mapFirst = 0;
    int mapBits = 24;
    Bytes map; // stored colour-map entries
};
Bytes tga(int width, int height, const TgaVariant& variant, const Bytes& pixels);

// JPEG: 8x8 blocks of one flat colour each, one block per component in each
// MCU; `blocks` holds the stored component values MCU by MCU.
struct JpegVariant {
    int components = 3;
    bool progressive = false;
    int adobeTransform = -1; // -1: no Adobe segment
    int restartInterval = 0;
};
Bytes jpeg(int mcusWide, const JpegVariant& variant, const std::vector<std::uint8_t>& blocks);

} // namespace variants
