#include "image/decoders.h"
#include "image/jpeg_stream.h"
#include "image/stb_codecs.h"

#include <algorithm>
#include <vector>

namespace imaging {

namespace {

// Bytes between the header's segments that start no marker (an FF 00 pair, a
// writer's padding) are dropped, as the common decoders skip them; from the
// first scan on the data is passed on as it is. Empty when nothing was stray.
std::vector<std::uint8_t> withoutStrayBytes(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> kept;
    std::size_t copied = 0, at = 2;
    while (at + 1 < size) {
        const std::uint8_t marker = data[at + 1];
        if (data[at] != 0xFF || marker == 0x00) { // a stray byte
            if (kept.empty()) kept.reserve(size);
            kept.insert(kept.end(), data + copied, data + at);
            copied = at + (data[at] == 0xFF ? 2 : 1);
            at = copied;
            continue;
        }
        if (marker == 0xFF) { // fill
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;
        if (jpegMarkerStandsAlone(marker)) {
            at += 2;
            continue;
        }
        if (at + 4 > size) break;
        at += 2 + (std::size_t(data[at + 2]) << 8 | data[at + 3]);
    }
    if (copied == 0) return kept;
    kept.insert(kept.end(), data + std::min(copied, size), data + size);
    return kept;
}

} // namespace

bool decodeJpeg(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
                DecodedImage& out) {
    const std::vector<std::uint8_t> cleaned = withoutStrayBytes(data, size);
    if (!cleaned.empty()) {
        data = cleaned.data();
        size = cleaned.size();
    }
    return jpegHuffmanTablesSound(data, size) && stbDecode(data, size, header, false, out);
}

} // namespace imaging
