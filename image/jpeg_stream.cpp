#include "image/jpeg_stream.h"

#include <algorithm>
#include <cstring>

namespace imaging {

namespace {

// A segment's bytes; reads past the file give zeros.
struct Segment {
    const std::uint8_t* data; // after the length
    std::size_t length;       // what the length says is inside
    std::size_t available;    // bytes from `data` to the end of the file
    std::uint8_t at(std::size_t i) const { return i < available ? data[i] : 0; }
};

// The tables defined so far, a bit for each class (DC, AC) and slot.
class HuffmanTables {
  public:
    // A table may run past its segment; the decoder reads on from there, and so does this.
    bool define(const Segment& s) {
        for (std::size_t table = 0; table < s.length && table < s.available;) {
            std::size_t values = 0;
            for (std::size_t i = table + 1; i <= table + 16; ++i)
                values += s.at(i);
            if (values > 256) return false;
            const unsigned kind = s.at(table) >> 4, slot = s.at(table) & 15;
            if (kind <= 1 && slot <= 3) defined_ |= 1u << (kind << 2 | slot);
            table += 17 + values;
        }
        return true;
    }

    // A progressive frame's DC scans decode with DC tables (the first pass
    // only) and its other scans with AC tables; a sequential frame's scans with both.
    bool serve(const Segment& s, bool progressive) const {
        const std::size_t count = s.at(0), spectralStart = s.at(1 + 2 * count);
        const bool refining = s.at(3 + 2 * count) >> 4 != 0, dc = spectralStart == 0;
        const bool needsDc = !progressive || (dc && !refining), needsAc = !progressive || !dc;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t selectors = s.at(2 + 2 * i);
            if ((needsDc && !has(0, selectors >> 4)) || (needsAc && !has(1, selectors & 15)))
                return false;
        }
        return true;
    }

  private:
    bool has(unsigned kind, unsigned slot) const {
        return slot <= 3 && (defined_ >> (kind << 2 | slot) & 1);
    }

    unsigned defined_ = 0;
};

} // namespace

bool jpegHuffmanTablesSound(const std::uint8_t* data, std::size_t size) {
    HuffmanTables tables;
    bool progressive = false;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) { // entropy-coded data, on to its next marker or stuffed byte
            const void* next = std::memchr(data + at, 0xFF, size - at);
            at = next ? std::size_t(static_cast<const std::uint8_t*>(next) - data) : size;
            continue;
        }
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0x00 || jpegMarkerStandsAlone(marker)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9) return true;
        const std::size_t length = std::size_t(data[at + 2]) << 8 | data[at + 3];
        const Segment segment{data + at + 4, length < 2 ? 0 : length - 2, size - at - 4};
        if (marker == 0xC2) progressive = true;
        if (marker == 0xC4 && !tables.define(segment)) return false;
        if (marker == 0xDA && !tables.serve(segment, progressive)) return false;
        at += 2 + length;
    }
    return true;
}

} // namespace imaging
