#include "image/image.h"
#include "image/limits.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace imaging {

namespace {

// Reads fields at offsets the caller has checked against size().
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t size() const { return size_; }
    bool holds(std::size_t at, const char* text, std::size_t length) const {
        return size_ >= at + length && std::memcmp(data_ + at, text, length) == 0;
    }
    std::uint32_t u8(std::size_t at) const { return data_[at]; }
    std::uint32_t le16(std::size_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::uint32_t be16(std::size_t at) const { return u8(at) << 8 | u8(at + 1); }
    std::uint32_t le32(std::size_t at) const { return le16(at) | le16(at + 2) << 16; }
    std::uint32_t be32(std::size_t at) const { return be16(at) << 16 | be16(at + 2); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

// Any size a header can state, held against the limits.
ImageProbe sized(ImageFormat format, std::int64_t width, std::int64_t height) {
    ImageProbe probe;
    if (width <= 0 || height <= 0) return probe;
    const bool over = width > InputLimits::kMaxImageSide || height > InputLimits::kMaxImageSide ||
                      std::uint64_t(width) * std::uint64_t(height) > InputLimits::kMaxImagePixels;
    probe.status = over ? ImageStatus::OverLimit : ImageStatus::Ok;
    const auto clamped = [](std::int64_t side) {
        return static_cast<int>(side > INT32_MAX ? INT32_MAX : side);
    };
    probe.header = ImageHeader{format, clamped(width), clamped(height)};
    return probe;
}

// The signature, then IHDR as the first chunk.
ImageProbe probePng(const Bytes& b) {
    if (!b.holds(12, "IHDR", 4) || b.size() < 24) return ImageProbe{};
    return sized(ImageFormat::Png, b.be32(16), b.be32(20));
}

// The file header, then the size of an OS/2 (12-byte) or Windows (40 bytes or
// more) info header. A negative height means rows top to bottom.
ImageProbe probeBmp(const Bytes& b) {
    if (b.size() < 26) return ImageProbe{};
    const std::uint32_t infoSize = b.le32(14);
    if (infoSize == 12) return sized(ImageFormat::Bmp, b.le16(18), b.le16(20));
    if (infoSize < 40) return ImageProbe{};
    const std::int64_t width = static_cast<std::int32_t>(b.le32(18));
    const std::int64_t height = static_cast<std::int32_t>(b.le32(22));
    return sized(ImageFormat::Bmp, width, height < 0 ? -height : height);
}

bool isStartOfFrame(std::uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Segments up to the first start of frame; a scan before it is no image.
ImageProbe probeJpeg(const Bytes& b) {
    std::size_t at = 2;
    for (;;) {
        if (at + 4 > b.size() || b.u8(at) != 0xFF) return ImageProbe{};
        const std::uint32_t marker = b.u8(at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return ImageProbe{};
        const std::uint32_t length = b.be16(at + 2);
        if (length < 2) return ImageProbe{};
        if (isStartOfFrame(marker)) {
            if (length < 7 || at + 9 > b.size()) return ImageProbe{};
            return sized(ImageFormat::Jpeg, b.be16(at + 7), b.be16(at + 5));
        }
        at += 2 + length;
    }
}

// The 18-byte header with a known image type and a pixel depth that fits it.
ImageProbe probeTga(const Bytes& b) {
    if (b.size() < 18) return ImageProbe{};
    const std::uint32_t colourMapType = b.u8(1);
    const std::uint32_t type = b.u8(2);
    const std::uint32_t depth = b.u8(16);
    bool known = false;
    switch (type) {
    case 1:
    case 9: known = colourMapType == 1 && (depth == 8 || depth == 16); break;
    case 2:
    case 10:
        known = colourMapType <= 1 && (depth == 15 || depth == 16 || depth == 24 || depth == 32);
        break;
    case 3:
    case 11: known = colourMapType <= 1 && depth == 8; break;
    default: break;
    }
    if (!known) return ImageProbe{};
    return sized(ImageFormat::Tga, b.le16(12), b.le16(14));
}

} // namespace

const char* formatName(ImageFormat format) {
    switch (format) {
    case ImageFormat::Png: return "PNG";
    case ImageFormat::Bmp: return "BMP";
    case ImageFormat::Jpeg: return "JPG";
    case ImageFormat::Tga: return "TGA";
    }
    return "";
}

// Room for what a file may hold besides its pixels: metadata chunks and
// segments, colour profiles, a TGA footer, a writer's padding.
constexpr std::uint64_t kMetadataSlack = std::uint64_t{1} << 20;

std::uint64_t largestEncodedSize(const std::uint8_t* data, std::size_t size,
                                 const ImageHeader& header) {
    const Bytes b(data, data ? size : 0);
    const std::uint64_t pixels = std::uint64_t(header.width) * std::uint64_t(header.height);
    switch (header.format) {
    case ImageFormat::Bmp: {
        // Rows of 4-byte multiples at the stated depth; run-length data at worst
        // two bytes a pixel and an end of line a row.
        const std::uint64_t depth = b.size() >= 30 && b.le32(14) >= 40 ? b.le16(28) : 24;
        const std::uint64_t rows =
            (std::uint64_t(header.width) * depth + 31) / 32 * 4 * header.height;
        const std::uint64_t runs = (pixels + header.height) * 2 + 2;
        return (b.size() >= 14 ? b.le32(10) : 0) + std::max(rows, runs) + kMetadataSlack;
    }
    case ImageFormat::Tga: {
        if (b.size() < 18) return pixels * 5 + kMetadataSlack;
        const std::uint64_t bytesPerPixel = (b.u8(16) + 7) / 8;
        const std::uint64_t colourMap =
            b.u8(1) ? std::uint64_t(b.le16(5)) * ((b.u8(7) + 7) / 8) : 0;
        const bool runLength = b.u8(2) >= 9;
        // A run-length packet holds one pixel at the least.
        const std::uint64_t pixelBytes = pixels * (bytesPerPixel + (runLength ? 1 : 0));
        return 18 + b.u8(0) + colourMap + pixelBytes + kMetadataSlack;
    }
    case ImageFormat::Png:
        // Stored without compression: a filter byte a row, 8 bytes a pixel at
        // 16-bit RGBA, twice over for interlacing and the deflate framing.
        return 2 * (std::uint64_t(header.height) + pixels * 8) + kMetadataSlack;
    case ImageFormat::Jpeg:
        // Four components, each coded at worst about twice its size, over
        // several progressive scans.
        return 4 * 4 * pixels + kMetadataSlack;
    }
    return kMetadataSlack;
}

// A signature decides the format; without one, only TGA is left to try.
ImageProbe probeImage(const std::uint8_t* data, std::size_t size) {
    if (!data) return ImageProbe{};
    const Bytes b(data, size);
    if (b.holds(0, kPngSignature, 8)) return probePng(b);
    if (b.holds(0, "BM", 2)) return probeBmp(b);
    if (b.holds(0, "\xFF\xD8\xFF", 3)) return probeJpeg(b);
    return probeTga(b);
}

} // namespace imaging
