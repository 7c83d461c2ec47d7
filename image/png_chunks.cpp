#include "image/png_chunks.h"

#include "image/byte_reader.h"

#include <zlib.h>

namespace imaging {

bool walkPngChunks(const std::uint8_t* data, std::size_t size,
                   const std::function<bool(const PngChunk&)>& each) {
    const ByteReader b(data, size);
    if (!b.holds(0, reinterpret_cast<const char*>(kPngSignature), 8)) return false;
    std::size_t at = 8;
    for (bool first = true;; first = false) {
        if (b.size() - at < 12) return false;
        const std::size_t length = b.be32(at);
        if (length > b.size() - at - 12) return false;
        if (first != b.holds(at + 4, "IHDR", 4)) return false;
        const std::uint32_t crc = static_cast<std::uint32_t>(
            crc32_z(crc32_z(0, nullptr, 0), b.data() + at + 4, length + 4));
        if (crc != b.be32(at + 8 + length)) return false;
        const PngChunk chunk{std::string(reinterpret_cast<const char*>(data + at + 4), 4),
                             data + at + 8, static_cast<std::uint32_t>(length)};
        if (!each(chunk)) return true;
        if (chunk.type == "IEND") return true;
        at += 12 + length;
    }
}

std::uint32_t readBigEndian32(const std::uint8_t* at) {
    return std::uint32_t(at[0]) << 24 | std::uint32_t(at[1]) << 16 | std::uint32_t(at[2]) << 8 |
           at[3];
}

void appendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data,
                    std::size_t length) {
    appendBigEndian32(out, static_cast<std::uint32_t>(length));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (length) out.insert(out.end(), data, data + length);
    appendBigEndian32(out, static_cast<std::uint32_t>(
                               crc32_z(crc32_z(0, nullptr, 0), out.data() + start, length + 4)));
}

} // namespace imaging
