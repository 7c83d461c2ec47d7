#include "image/byte_reader.h"
#include "image/decoders.h"
#include "image/png_chunks.h"
#include "image/png_layout.h"
#include "image/png_rows.h"
#include "image/stb_codecs.h"

#include <zlib.h>

#include <algorithm>

namespace imaging {

namespace {

constexpr std::size_t kStoredBlock = 65535; // the most a stored deflate block holds

// The filtered rows' bytes the header asks for, passes of an interlaced image included.
std::size_t rawSize(const ByteReader& b) {
    const std::uint64_t width = b.be32(16), height = b.be32(20), depth = b.u8(24);
    const std::uint32_t colour = b.u8(25);
    const std::uint64_t channels = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
    const auto rows = [&](std::uint64_t w, std::uint64_t h) {
        return w == 0 || h == 0 ? 0 : h * (1 + (w * channels * depth + 7) / 8);
    };
    if (b.u8(28) == 0) return std::size_t(rows(width, height));
    static const int adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    std::uint64_t total = 0;
    for (const auto& p : adam7)
        total += rows((width + std::uint64_t(p[2] - p[0] - 1)) / std::uint64_t(p[2]),
                      (height + std::uint64_t(p[3] - p[1] - 1)) / std::uint64_t(p[3]));
    return std::size_t(total);
}

void putLittle16(std::uint8_t* at, std::size_t value) {
    at[0] = std::uint8_t(value);
    at[1] = std::uint8_t(value >> 8);
}

// The image data inflated by zlib into `out` as stored deflate blocks, each
// behind its 5-byte header; false unless it is exactly `raw` bytes.
bool inflateIntoStoredBlocks(const PngLayout& layout, std::size_t raw,
                             std::vector<std::uint8_t>& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    std::size_t produced = 0, lastBlock = out.size();
    int result = Z_OK;
    std::size_t piece = 0;
    while (result == Z_OK) {
        lastBlock = out.size();
        const std::size_t room = std::min(kStoredBlock, raw + 1 - produced);
        if (room == 0) break; // more than the header asks for
        out.resize(lastBlock + 5 + room);
        z.next_out = out.data() + lastBlock + 5;
        z.avail_out = uInt(room);
        while (z.avail_out > 0 && result == Z_OK) {
            if (z.avail_in == 0 && piece < layout.data.size()) {
                z.next_in = const_cast<Bytef*>(layout.data[piece].first);
                z.avail_in = uInt(layout.data[piece++].second);
            }
            result = inflate(&z, Z_NO_FLUSH);
            if (result == Z_BUF_ERROR && z.avail_in == 0 && piece == layout.data.size()) break;
        }
        const std::size_t filled = room - z.avail_out;
        produced += filled;
        out.resize(lastBlock + 5 + filled);
        out[lastBlock] = 0; // stored, not final
        putLittle16(&out[lastBlock + 1], filled);
        putLittle16(&out[lastBlock + 3], ~filled & 0xFFFF);
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END || produced != raw) return false;
    out[lastBlock] = 1; // the final block
    return true;
}

// stb_image inflates image data several times slower than zlib: zlib
// inflates it here, into a PNG whose image data is stored, not compressed,
// which stb then copies as it is. Empty where zlib refuses the data (a wrong
// Adler-32, a raw deflate stream) or it is not the size the header asks for:
// stb then reads the file as it is, as before.
std::vector<std::uint8_t> withStoredData(const std::uint8_t* data, std::size_t size,
                                         const PngLayout& layout) {
    std::vector<std::uint8_t> png;
#if defined(__EMSCRIPTEN__)
    return png; // the web build's zlib is stb's decoder already
#endif
    const std::size_t raw = rawSize(ByteReader(data, size));
    if (layout.data.empty() || raw == 0 || raw > std::size_t(INT32_MAX) / 2) return png;
    png.reserve(size + raw + raw / kStoredBlock * 5 + 64);
    png.assign(data, data + layout.firstData);
    const std::size_t chunkStart = png.size();
    png.insert(png.end(), {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x78, 0x01});
    if (!inflateIntoStoredBlocks(layout, raw, png)) return {};
    png.insert(png.end(), 8, 0); // the Adler-32 and the CRC, which stb does not check
    const std::size_t length = png.size() - chunkStart - 12;
    for (int i = 0; i < 4; ++i)
        png[chunkStart + std::size_t(i)] = std::uint8_t(length >> (24 - 8 * i));
    png.insert(png.end(), data + layout.afterData, data + size);
    return png;
}

// A palette image's PLTE with fewer entries than its samples can name gets
// the rest as opaque black, as the row decoder shows them: stb_image would
// read them from memory it never set. Empty where the PLTE is whole or one
// stb refuses (no whole entries, or a tRNS longer than it).
std::vector<std::uint8_t> withWholePalette(const std::uint8_t* data, std::size_t size,
                                           const PngLayout& layout) {
    std::vector<std::uint8_t> png;
    const std::size_t entries = layout.paletteLength / 3;
    if (ByteReader(data, size).u8(25) != 3 || entries == 0 || entries >= 256 ||
        layout.paletteLength % 3 != 0 || layout.transparencyLength > entries)
        return png;
    std::vector<std::uint8_t> palette(layout.palette, layout.palette + layout.paletteLength);
    palette.resize(256 * 3, 0);
    png.assign(data, layout.palette - 8);
    appendPngChunk(png, "PLTE", palette.data(), palette.size());
    png.insert(png.end(), layout.palette + layout.paletteLength + 4, data + size);
    return png;
}

} // namespace

bool decodePng(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out) {
    PngLayout layout;
    if (!readPngLayout(data, size, layout)) return false;
    if (decodePngRows(data, size, header, layout, out)) return true;
    const std::vector<std::uint8_t> wholePalette = withWholePalette(data, size, layout);
    if (!wholePalette.empty()) {
        data = wholePalette.data();
        size = wholePalette.size();
        layout = PngLayout();
        if (!readPngLayout(data, size, layout)) return false;
    }
    const bool sixteenBit = ByteReader(data, size).u8(24) == 16;
    const std::vector<std::uint8_t> stored = withStoredData(data, size, layout);
    if (!stored.empty()) return stbDecode(stored.data(), stored.size(), header, sixteenBit, out);
    return stbDecode(data, size, header, sixteenBit, out);
}

} // namespace imaging
