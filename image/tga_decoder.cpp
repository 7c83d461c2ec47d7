#include "image/byte_reader.h"
#include "image/decoders.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace imaging {

namespace {

constexpr std::size_t kHeaderBytes = 18;
constexpr std::uint32_t kOpaque = 0xFF000000;

std::uint32_t widen5(std::uint32_t v) { return widenChannel(v & 31, 31); }

// One stored pixel or colour-map entry of 15, 16, 24 or 32 bits. A 16-bit one
// carries an alpha bit only when the descriptor says so; a 32-bit one always
// uses its fourth byte.
std::uint32_t colourOf(const std::uint8_t* p, std::uint32_t bits, bool alphaBit) {
    switch (bits) {
    case 15:
    case 16: {
        const std::uint32_t v = p[0] | std::uint32_t(p[1]) << 8;
        const std::uint32_t a = alphaBit && !(v & 0x8000) ? 0 : 0xFF;
        return a << 24 | widen5(v >> 10) << 16 | widen5(v >> 5) << 8 | widen5(v);
    }
    case 24: return kOpaque | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    default:
        return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 |
               p[0];
    }
}

// The image type's fields: how a stored pixel turns into 0xAARRGGBB.
struct Layout {
    std::uint32_t type = 0; // 1 mapped, 2 true colour, 3 grey
    std::uint32_t bits = 0;
    std::size_t bytes = 0;
    bool alphaBit = false;
    bool runLength = false;
    bool topDown = false, rightToLeft = false;
    std::size_t pixelsAt = 0;
    std::vector<std::uint32_t> map; // indexes past it are opaque black
};

bool readLayout(const ByteReader& b, Layout& layout) {
    const std::uint32_t mapType = b.u8(1);
    const std::size_t mapFirst = b.le16(3);
    const std::size_t mapLength = b.le16(5);
    const std::uint32_t mapBits = b.u8(7);
    layout.type = b.u8(2) & 7;
    layout.runLength = b.u8(2) >= 9;
    layout.bits = b.u8(16);
    layout.bytes = (layout.bits + 7) / 8;
    layout.alphaBit = (b.u8(17) & 15) != 0;
    layout.topDown = b.u8(17) & 0x20;
    layout.rightToLeft = b.u8(17) & 0x10;
    layout.pixelsAt = kHeaderBytes + b.u8(0);
    if (mapType == 0) return layout.type != 1;
    if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) return false;
    const std::size_t entryBytes = (mapBits + 7) / 8;
    // Indexes below the map's first entry are opaque black too.
    if (layout.type == 1) {
        layout.map.assign(mapFirst + mapLength, kOpaque);
        const std::size_t at = layout.pixelsAt;
        for (std::size_t i = 0; i < mapLength && at + (i + 1) * entryBytes <= b.size(); ++i)
            layout.map[mapFirst + i] =
                colourOf(b.data() + at + i * entryBytes, mapBits, layout.alphaBit);
    }
    layout.pixelsAt += mapLength * entryBytes;
    return true;
}

// Pixels arrive in stored order, run-length packets crossing rows; the
// descriptor says where that order starts.
class Placer {
  public:
    Placer(const Layout& layout, DecodedImage& out)
        : out_(out), width_(std::size_t(out.width)), height_(std::size_t(out.height)),
          topDown_(layout.topDown), rightToLeft_(layout.rightToLeft) {
        startRow();
    }
    bool done() const { return row_ == height_; }
    // The next n pixels of the current row, in stored order, from `first`
    // on by `step`. pre: !done()
    struct Span {
        std::uint32_t* first;
        std::ptrdiff_t step;
        std::size_t n;
    };
    Span take(std::size_t most) {
        const std::size_t n = std::min(most, width_ - x_);
        const Span span{rowStart_ + (rightToLeft_ ? width_ - 1 - x_ : x_), rightToLeft_ ? -1 : 1,
                        n};
        x_ += n;
        if (x_ == width_) {
            x_ = 0;
            if (++row_ < height_) startRow();
        }
        return span;
    }

  private:
    void startRow() {
        const std::size_t y = topDown_ ? row_ : height_ - 1 - row_;
        rowStart_ = out_.pixels.data() + y * width_;
    }

    DecodedImage& out_;
    std::size_t width_, height_;
    bool topDown_, rightToLeft_;
    std::size_t x_ = 0, row_ = 0;
    std::uint32_t* rowStart_ = nullptr;
};

template <typename Convert>
void decodeStored(const std::uint8_t* data, std::size_t size, const Layout& layout,
                  DecodedImage& out, Convert convert) {
    const std::size_t step = layout.bytes;
    std::size_t at = layout.pixelsAt;
    Placer placer(layout, out);
    // Packets: a run of one pixel repeated, or a stretch of literal pixels;
    // without run-length coding the whole image is one stretch. A packet
    // may cross rows; one that runs past the image is cut.
    while (!placer.done() && at < size) {
        std::size_t count = std::numeric_limits<std::size_t>::max();
        bool run = false;
        if (layout.runLength) {
            const std::uint32_t packet = data[at++];
            count = (packet & 0x7F) + 1;
            run = packet & 0x80;
        }
        const std::size_t available = (size - at) / step;
        if (available == 0) return;
        if (run) {
            const std::uint32_t argb = convert(data + at);
            at += step;
            for (; count > 0 && !placer.done();) {
                const Placer::Span span = placer.take(count);
                for (std::size_t i = 0; i < span.n; ++i)
                    span.first[std::ptrdiff_t(i) * span.step] = argb;
                count -= span.n;
            }
            continue;
        }
        count = std::min(count, available);
        for (; count > 0 && !placer.done();) {
            const Placer::Span span = placer.take(count);
            if (span.step == 1) // left to right, as nearly every file: a loop the compiler unrolls
                for (std::size_t i = 0; i < span.n; ++i, at += step)
                    span.first[i] = convert(data + at);
            else
                for (std::size_t i = 0; i < span.n; ++i, at += step)
                    span.first[std::ptrdiff_t(i) * span.step] = convert(data + at);
            count -= span.n;
        }
    }
}

} // namespace

bool decodeTga(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out) {
    const ByteReader b(data, size);
    Layout layout;
    if (!readLayout(b, layout) || layout.pixelsAt >= size) return false; // no pixel data at all
    out.width = header.width;
    out.height = header.height;
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height)); // transparent
    const std::vector<std::uint32_t>& map = layout.map;
    switch (layout.type * 100 + layout.bits) {
    case 108:
        decodeStored(data, size, layout, out, [&](const std::uint8_t* p) {
            return p[0] < map.size() ? map[p[0]] : kOpaque;
        });
        break;
    case 116:
        decodeStored(data, size, layout, out, [&](const std::uint8_t* p) {
            const std::size_t index = p[0] | std::size_t(p[1]) << 8;
            return index < map.size() ? map[index] : kOpaque;
        });
        break;
    case 224:
        decodeStored(data, size, layout, out, [](const std::uint8_t* p) {
            return kOpaque | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
        });
        break;
    case 232:
        decodeStored(data, size, layout, out, [](const std::uint8_t* p) {
            return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                   std::uint32_t(p[1]) << 8 | p[0];
        });
        break;
    case 308:
        decodeStored(data, size, layout, out,
                     [](const std::uint8_t* p) { return kOpaque | p[0] * 0x010101u; });
        break;
    case 316:
        decodeStored(data, size, layout, out, [](const std::uint8_t* p) {
            return std::uint32_t(p[1]) << 24 | p[0] * 0x010101u;
        });
        break;
    default: // 15 and 16 bits of colour
        decodeStored(data, size, layout, out, [&](const std::uint8_t* p) {
            return colourOf(p, layout.bits, layout.alphaBit);
        });
        break;
    }
    return true;
}

} // namespace imaging
