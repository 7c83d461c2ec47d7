#include "image/byte_reader.h"
#include "image/decoders.h"
#include "image/stb_codecs.h"

#include <zlib.h>

namespace imaging {

namespace {

// Every chunk whole inside the data with its CRC right, IHDR first, up to
// IEND: a conforming decoder shows no image whose bytes were damaged, and a
// length running past the end once made a decoder read one chunk for ever.
bool chunksWhole(const ByteReader& b) {
    std::size_t at = 8;
    for (bool first = true;; first = false) {
        if (b.size() - at < 12) return false;
        const std::size_t length = b.be32(at);
        if (length > b.size() - at - 12) return false;
        if (first != b.holds(at + 4, "IHDR", 4)) return false;
        const std::uint32_t crc = static_cast<std::uint32_t>(
            crc32_z(crc32_z(0, nullptr, 0), b.data() + at + 4, length + 4));
        if (crc != b.be32(at + 8 + length)) return false;
        if (b.holds(at + 4, "IEND", 4)) return true;
        at += 12 + length;
    }
}

} // namespace

bool decodePng(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out) {
    const ByteReader b(data, size);
    if (!chunksWhole(b)) return false;
    return stbDecode(data, size, header, b.u8(24) == 16, out);
}

} // namespace imaging
