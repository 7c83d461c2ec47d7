#include "image/bmp_header.h"
#include "image/byte_reader.h"
#include "image/decoders.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace imaging {

namespace {

constexpr std::size_t kFileHeader = BmpHeader::kFileHeaderBytes;
constexpr std::uint32_t kWindowsInfo = BmpHeader::kWindowsInfo;
constexpr std::uint32_t kOpaque = 0xFF000000;

// One channel's mask, widened to 8 bits with rounding whatever its width.
class Channel {
  public:
    Channel() = default;
    explicit Channel(std::uint32_t mask) : mask_(mask) {
        if (!mask) return;
        while (!(mask >> shift_ & 1))
            ++shift_;
        largest_ = mask >> shift_;
        if (largest_ <= 0xFF)
            for (std::uint32_t v = 0; v <= largest_; ++v)
                table_[v] = static_cast<std::uint8_t>(widenChannel(v, largest_));
    }
    bool present() const { return mask_ != 0; }
    // A whole byte of the pixel: read by a shift alone.
    bool wholeByte() const { return largest_ == 0xFF && shift_ % 8 == 0; }
    int shift() const { return shift_; }
    std::uint32_t operator()(std::uint32_t pixel) const {
        const std::uint32_t v = (pixel & mask_) >> shift_;
        return largest_ <= 0xFF ? table_[v] : widenChannel(v, largest_);
    }

  private:
    std::uint32_t mask_ = 0;
    int shift_ = 0;
    std::uint32_t largest_ = 0;
    std::array<std::uint8_t, 256> table_{};
};

struct Layout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::uint32_t bits = 0;
    std::uint32_t compression = kBmpRgb;
    std::size_t pixelOffset = 0;
    std::array<std::uint32_t, 256> palette{}; // entries the file leaves out are opaque black
    Channel red, green, blue, alpha;
};

bool readMasks(const ByteReader& b, std::uint32_t infoSize, Layout& layout, std::size_t& after) {
    if (layout.compression != kBmpBitFields && layout.compression != kBmpAlphaBitFields) {
        if (layout.bits == 16) {
            layout.red = Channel(0x7C00);
            layout.green = Channel(0x03E0);
            layout.blue = Channel(0x001F);
        } else {
            layout.red = Channel(0xFF0000);
            layout.green = Channel(0xFF00);
            layout.blue = Channel(0xFF);
        }
        return true;
    }
    if (layout.bits != 16 && layout.bits != 32) return false;
    // The masks lie inside the larger headers, else right after the 40 bytes.
    const std::size_t at = kFileHeader + kWindowsInfo;
    const bool alphaStored = infoSize >= 56 || layout.compression == kBmpAlphaBitFields;
    if (infoSize == kWindowsInfo) after += layout.compression == kBmpAlphaBitFields ? 16 : 12;
    layout.red = Channel(b.le32(at));
    layout.green = Channel(b.le32(at + 4));
    layout.blue = Channel(b.le32(at + 8));
    if (alphaStored) layout.alpha = Channel(b.le32(at + 12));
    return true;
}

bool readLayout(const ByteReader& b, const ImageHeader& header, Layout& layout) {
    BmpHeader file;
    if (!readBmpHeader(b, file)) return false;
    const std::uint32_t infoSize = file.infoSize;
    const bool core = file.core();
    layout.width = header.width;
    layout.height = header.height;
    layout.topDown = file.height < 0;
    layout.bits = file.bits;
    layout.compression = file.compression;
    if (infoSize == BmpHeader::kOs2Info && layout.compression > kBmpRle4) return false;

    switch (layout.bits) {
    case 1:
    case 2:
    case 4:
        if (layout.compression != kBmpRgb && !(layout.bits == 4 && layout.compression == kBmpRle4))
            return false;
        break;
    case 8:
        if (layout.compression != kBmpRgb && layout.compression != kBmpRle8) return false;
        break;
    case 16:
    case 24:
    case 32:
        if (layout.compression != kBmpRgb && layout.compression != kBmpBitFields &&
            layout.compression != kBmpAlphaBitFields)
            return false;
        if (layout.bits == 24 && layout.compression != kBmpRgb) return false;
        break;
    default: return false;
    }

    std::size_t after = kFileHeader + infoSize;
    if (!readMasks(b, infoSize, layout, after)) return false;
    const std::size_t stated = file.pixelOffset;
    if (layout.bits <= 8) {
        // As many entries as the header says, no more than the depth can use,
        // and only those before the pixels when the pixels start early.
        const std::size_t entryBytes = core ? 3 : 4;
        const std::uint32_t used = file.paletteUsed;
        std::size_t entries = std::size_t{1} << layout.bits;
        if (used && used < entries) entries = used;
        if (stated > after) entries = std::min(entries, (stated - after) / entryBytes);
        for (std::size_t i = 0; i < entries; ++i) {
            const std::size_t at = after + i * entryBytes;
            layout.palette[i] = kOpaque | b.u8(at + 2) << 16 | b.u8(at + 1) << 8 | b.u8(at);
        }
        for (std::size_t i = entries; i < layout.palette.size(); ++i)
            layout.palette[i] = kOpaque;
        after += entries * entryBytes;
    }
    // The offset the file states, unless it points back into the headers.
    layout.pixelOffset = stated >= after ? stated : after;
    return layout.pixelOffset < b.size();
}

void decodeMasked(const std::uint8_t* p, std::size_t count, const Layout& layout,
                  std::uint32_t* to) {
    const std::size_t step = layout.bits / 8;
    for (std::size_t x = 0; x < count; ++x, p += step) {
        std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
        if (step == 4) v |= std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        const std::uint32_t a = layout.alpha.present() ? layout.alpha(v) : 0xFF;
        to[x] = a << 24 | layout.red(v) << 16 | layout.green(v) << 8 | layout.blue(v);
    }
}

// 32-bit pixels whose channels are whole bytes, the usual layouts.
void decodeWholeBytes(const std::uint8_t* p, std::size_t count, const Layout& layout,
                      std::uint32_t* to) {
    const int r = layout.red.shift(), g = layout.green.shift(), b = layout.blue.shift();
    const bool alpha = layout.alpha.present();
    const int a = alpha ? layout.alpha.shift() : 0;
    const std::uint32_t opaque = alpha ? 0 : 0xFF000000;
    if (r == 16 && g == 8 && b == 0 && (!alpha || a == 24)) { // stored as we keep them
        for (std::size_t x = 0; x < count; ++x, p += 4) {
            std::uint32_t v;
            std::memcpy(&v, p, 4); // little-endian, as every host we build for
            to[x] = v | opaque;
        }
        return;
    }
    for (std::size_t x = 0; x < count; ++x, p += 4) {
        const std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
        const std::uint32_t alphaByte = alpha ? (v >> a & 0xFF) << 24 : opaque;
        to[x] = alphaByte | (v >> r & 0xFF) << 16 | (v >> g & 0xFF) << 8 | (v >> b & 0xFF);
    }
}

class Target {
  public:
    Target(const Layout& layout, DecodedImage& out) : layout_(layout), out_(out) {}
    std::uint32_t* row(std::size_t fileRow) const {
        const std::size_t y = layout_.topDown ? fileRow : std::size_t(layout_.height) - 1 - fileRow;
        return out_.pixels.data() + y * std::size_t(layout_.width);
    }

  private:
    const Layout& layout_;
    DecodedImage& out_;
};

void decodeRows(const ByteReader& b, const Layout& layout, DecodedImage& out) {
    const Target target(layout, out);
    const std::size_t width = std::size_t(layout.width);
    const std::size_t stride = (width * layout.bits + 31) / 32 * 4;
    const std::size_t available = b.size() - layout.pixelOffset;
    const std::uint8_t* data = b.data() + layout.pixelOffset;
    for (std::size_t row = 0; row < std::size_t(layout.height); ++row) {
        const std::uint8_t* p = data + row * stride;
        const std::size_t have = row * stride < available ? available - row * stride : 0;
        // Only the pixels whose bytes are all there.
        const std::size_t count = std::min(width, have * 8 / layout.bits);
        if (count == 0) break;
        std::uint32_t* to = target.row(row);
        switch (layout.bits) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const std::uint32_t mask = (1u << layout.bits) - 1;
            for (std::size_t x = 0; x < count; ++x) {
                const std::size_t bit = x * layout.bits;
                const std::uint32_t shift = 8 - layout.bits - bit % 8;
                to[x] = layout.palette[p[bit / 8] >> shift & mask];
            }
            break;
        }
        case 24:
            for (std::size_t x = 0; x < count; ++x, p += 3)
                to[x] = kOpaque | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            break;
        default: // 16 and 32 bits through the masks
            if (layout.bits == 32 && layout.red.wholeByte() && layout.green.wholeByte() &&
                layout.blue.wholeByte() && (!layout.alpha.present() || layout.alpha.wholeByte())) {
                decodeWholeBytes(p, count, layout, to);
                break;
            }
            decodeMasked(p, count, layout, to);
            break;
        }
        if (count < width) break;
    }
}

// Run-length data: runs, end of line, end of bitmap, a move, and literal
// stretches padded to 16 bits. Pixels it never reaches stay transparent.
void decodeRunLength(const ByteReader& b, const Layout& layout, DecodedImage& out) {
    const Target target(layout, out);
    const bool nibbles = layout.compression == kBmpRle4;
    const std::size_t width = std::size_t(layout.width);
    const std::size_t height = std::size_t(layout.height);
    const std::uint8_t* data = b.data();
    std::size_t at = layout.pixelOffset;
    std::size_t x = 0, row = 0;
    const auto put = [&](std::uint32_t index) {
        if (x < width) target.row(row)[x] = layout.palette[index];
        ++x;
    };
    while (row < height && b.size() - at >= 2) {
        const std::uint32_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (std::uint32_t i = 0; i < count && x < width; ++i)
                put(nibbles ? (i % 2 ? value & 0xF : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (b.size() - at < 2) break;
            x += data[at];
            row += data[at + 1];
            at += 2;
        } else {
            const std::size_t bytes = nibbles ? (value + 1) / 2 : value;
            const std::size_t have = std::min(bytes, b.size() - at);
            for (std::uint32_t i = 0; i < value && x < width; ++i) {
                const std::size_t byte = nibbles ? i / 2 : i;
                if (byte >= have) break;
                put(nibbles ? (i % 2 ? data[at + byte] & 0xF : data[at + byte] >> 4)
                            : data[at + byte]);
            }
            if (have < bytes) break;
            at += (bytes + 1) & ~std::size_t{1};
            if (at > b.size()) break;
        }
    }
}

} // namespace

bool decodeBmp(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out) {
    const ByteReader b(data, size);
    Layout layout;
    if (!readLayout(b, header, layout)) return false;
    out.width = header.width;
    out.height = header.height;
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height)); // transparent
    if (layout.compression == kBmpRle8 || layout.compression == kBmpRle4)
        decodeRunLength(b, layout, out);
    else
        decodeRows(b, layout, out);
    return true;
}

} // namespace imaging
