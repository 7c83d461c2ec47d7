#include "image/byte_reader.h"
#include "image/decoders.h"

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

// Turns the stored bytes of one pixel into 0xAARRGGBB, whatever the image type.
class PixelReader {
  public:
    bool read(const ByteReader& b, std::size_t& at) {
        const std::uint32_t type = b.u8(2) & 7; // 1 mapped, 2 true colour, 3 grey
        const std::uint32_t mapType = b.u8(1);
        const std::size_t mapFirst = b.le16(3);
        const std::size_t mapLength = b.le16(5);
        const std::uint32_t mapBits = b.u8(7);
        bits_ = b.u8(16);
        bytes_ = (bits_ + 7) / 8;
        kind_ = type;
        alphaBit_ = (b.u8(17) & 15) != 0;
        at = kHeaderBytes + b.u8(0);
        if (mapType == 0) return type != 1;
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) return false;
        const std::size_t entryBytes = (mapBits + 7) / 8;
        // Indexes below the map's first entry or past its last are opaque black.
        if (type == 1) {
            map_.assign(mapFirst + mapLength, kOpaque);
            for (std::size_t i = 0; i < mapLength && at + (i + 1) * entryBytes <= b.size(); ++i)
                map_[mapFirst + i] = colourOf(b.data() + at + i * entryBytes, mapBits, alphaBit_);
        }
        at += mapLength * entryBytes;
        return true;
    }
    std::size_t bytes() const { return bytes_; }
    std::uint32_t operator()(const std::uint8_t* p) const {
        switch (kind_) {
        case 1: {
            const std::size_t index = bytes_ == 1 ? p[0] : p[0] | std::size_t(p[1]) << 8;
            return index < map_.size() ? map_[index] : kOpaque;
        }
        case 3: {
            const std::uint32_t grey = p[0] * 0x010101u;
            return (bytes_ == 2 ? std::uint32_t(p[1]) << 24 : kOpaque) | grey;
        }
        default: return colourOf(p, bits_, alphaBit_);
        }
    }

  private:
    std::uint32_t kind_ = 0, bits_ = 0;
    std::size_t bytes_ = 0;
    bool alphaBit_ = false;
    std::vector<std::uint32_t> map_;
};

// Pixels arrive in stored order; the descriptor says where that order starts.
class Placer {
  public:
    Placer(const ByteReader& b, DecodedImage& out)
        : out_(out), width_(std::size_t(out.width)), height_(std::size_t(out.height)),
          topDown_(b.u8(17) & 0x20), rightToLeft_(b.u8(17) & 0x10) {
        startRow();
    }
    bool done() const { return row_ == height_; }
    // pre: !done()
    void put(std::uint32_t argb) {
        rowStart_[rightToLeft_ ? width_ - 1 - x_ : x_] = argb;
        if (++x_ < width_) return;
        x_ = 0;
        if (++row_ < height_) startRow();
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

} // namespace

bool decodeTga(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out) {
    const ByteReader b(data, size);
    PixelReader pixel;
    std::size_t at = 0;
    if (!pixel.read(b, at) || at >= size) return false; // no pixel data at all
    out.width = header.width;
    out.height = header.height;
    out.pixels.assign(std::size_t(out.width) * std::size_t(out.height), 0);
    Placer placer(b, out);
    const std::size_t step = pixel.bytes();
    if (b.u8(2) < 9) {
        for (; !placer.done() && size - at >= step; at += step)
            placer.put(pixel(data + at));
        return true;
    }
    // Packets: a run of one pixel repeated, or a stretch of literal pixels.
    // A packet may cross rows; one that runs past the image is cut.
    while (!placer.done() && at < size) {
        const std::uint32_t packet = data[at++];
        std::size_t count = (packet & 0x7F) + 1;
        if (packet & 0x80) {
            if (size - at < step) break;
            const std::uint32_t argb = pixel(data + at);
            at += step;
            for (; count > 0 && !placer.done(); --count)
                placer.put(argb);
        } else {
            for (; count > 0 && !placer.done() && size - at >= step; --count, at += step)
                placer.put(pixel(data + at));
        }
    }
    return true;
}

} // namespace imaging
