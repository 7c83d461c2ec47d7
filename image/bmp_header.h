#pragma once

#include "image/byte_reader.h"

#include <cstdint>

// A BMP file's headers, read once for the probe and the decoder alike: the
// 14-byte file header, then an OS/2 core header (12 bytes, 16-bit sides) or
// any later one (16 bytes or more, 32-bit sides).
namespace imaging {

enum BmpCompression : std::uint32_t {
    kBmpRgb = 0,
    kBmpRle8 = 1,
    kBmpRle4 = 2,
    kBmpBitFields = 3,
    kBmpAlphaBitFields = 6
};

struct BmpHeader {
    static constexpr std::size_t kFileHeaderBytes = 14;
    static constexpr std::uint32_t kOs2Core = 12;     // 3-byte palette entries
    static constexpr std::uint32_t kWindowsInfo = 40; // masks, if any, follow it
    static constexpr std::uint32_t kOs2Info = 64;     // its compressions 3 and 4 mean other things

    std::uint32_t infoSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // below 0: rows top to bottom
    std::uint32_t bits = 0;
    std::uint32_t compression = kBmpRgb;
    std::uint32_t pixelOffset = 0; // where the file says the pixels begin
    std::uint32_t paletteUsed = 0; // 0: as many as the depth allows

    bool core() const { return infoSize == kOs2Core; }
};

// False when the file is too short for its headers or names no known one.
bool readBmpHeader(const ByteReader& b, BmpHeader& header);

} // namespace imaging
