#include "image/bmp_header.h"
#include "image/byte_reader.h"
#include "image/image.h"
#include "image/limits.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace imaging {

namespace {

using Colour = ImageVariant::Colour;
using Coding = ImageVariant::Coding;

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

// Any size a header can state, held against the limits.
ImageProbe sized(ImageFormat format, std::int64_t width, std::int64_t height,
                 ImageVariant variant) {
    ImageProbe probe;
    if (width <= 0 || height <= 0) return probe;
    const bool over = !InputLimits::withinImageLimits(std::uint64_t(width), std::uint64_t(height));
    probe.status = over ? ImageStatus::OverLimit : ImageStatus::Ok;
    const auto clamped = [](std::int64_t side) {
        return static_cast<int>(side > INT32_MAX ? INT32_MAX : side);
    };
    probe.header = ImageHeader{format, clamped(width), clamped(height), variant};
    return probe;
}

// The signature, then IHDR as the first chunk.
ImageProbe probePng(const ByteReader& b) {
    if (!b.holds(12, "IHDR", 4) || b.size() < 24) return ImageProbe{};
    ImageVariant variant;
    switch (b.u8(25)) {
    case 0: variant.colour = Colour::Grey; break;
    case 2: variant.colour = Colour::Rgb; break;
    case 3: variant.colour = Colour::Palette; break;
    case 4: variant.colour = Colour::GreyAlpha; break;
    case 6: variant.colour = Colour::Rgba; break;
    default: break;
    }
    variant.bits = static_cast<std::uint8_t>(b.u8(24));
    variant.coding = b.u8(28) == 1 ? Coding::Interlaced : Coding::Plain;
    return sized(ImageFormat::Png, b.be32(16), b.be32(20), variant);
}

ImageProbe probeBmp(const ByteReader& b) {
    BmpHeader header;
    if (!readBmpHeader(b, header)) return ImageProbe{};
    ImageVariant variant;
    variant.bits = static_cast<std::uint8_t>(header.bits);
    if (header.compression == kBmpRle8 || header.compression == kBmpRle4)
        variant.coding = Coding::RunLength;
    if (header.compression == kBmpBitFields || header.compression == kBmpAlphaBitFields)
        variant.coding = Coding::BitFields;
    return sized(ImageFormat::Bmp, header.width, header.height < 0 ? -header.height : header.height,
                 variant);
}

bool isStartOfFrame(std::uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Components and an Adobe segment's transform name the colours.
Colour jpegColour(std::uint32_t components, int adobeTransform) {
    switch (components) {
    case 1: return Colour::Grey;
    case 3: return adobeTransform == 0 ? Colour::Rgb : Colour::YCbCr;
    case 4: return adobeTransform == 2 ? Colour::Ycck : Colour::Cmyk;
    default: return Colour::Unknown;
    }
}

// Segments up to the first start of frame; a scan before it is no image.
// Bytes between segments that start no marker are skipped, as the decoder
// skips them.
ImageProbe probeJpeg(const ByteReader& b) {
    std::size_t at = 2;
    int adobeTransform = -1;
    for (;;) {
        if (at + 4 > b.size()) return ImageProbe{};
        const std::uint32_t marker = b.u8(at + 1);
        if (b.u8(at) != 0xFF || marker == 0x00 || marker == 0xFF) { // stray or fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // no length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return ImageProbe{};
        const std::uint32_t length = b.be16(at + 2);
        if (length < 2) return ImageProbe{};
        if (marker == 0xEE && length >= 14 && b.holds(at + 4, "Adobe", 5))
            adobeTransform = static_cast<int>(b.u8(at + 15));
        if (isStartOfFrame(marker)) {
            if (length < 8 || at + 10 > b.size()) return ImageProbe{};
            ImageVariant variant;
            variant.coding = (marker & 3) == 2 ? Coding::Progressive : Coding::Baseline;
            variant.colour = jpegColour(b.u8(at + 9), adobeTransform);
            return sized(ImageFormat::Jpeg, b.be16(at + 7), b.be16(at + 5), variant);
        }
        at += 2 + length;
    }
}

// The 18-byte header with a known image type and a pixel depth that fits it.
ImageProbe probeTga(const ByteReader& b) {
    if (b.size() < 18) return ImageProbe{};
    const std::uint32_t colourMapType = b.u8(1);
    const std::uint32_t type = b.u8(2);
    const std::uint32_t depth = b.u8(16);
    ImageVariant variant;
    switch (type) {
    case 1:
    case 9:
        if (colourMapType == 1 && (depth == 8 || depth == 16)) variant.colour = Colour::Palette;
        break;
    case 2:
    case 10:
        if (colourMapType <= 1 && (depth == 15 || depth == 16 || depth == 24 || depth == 32))
            variant.colour =
                depth == 32 || (depth == 16 && (b.u8(17) & 15)) ? Colour::Rgba : Colour::Rgb;
        break;
    case 3:
    case 11:
        if (colourMapType <= 1 && (depth == 8 || depth == 16))
            variant.colour = depth == 16 ? Colour::GreyAlpha : Colour::Grey;
        break;
    default: break;
    }
    if (variant.colour == Colour::Unknown) return ImageProbe{};
    variant.bits = static_cast<std::uint8_t>(depth);
    variant.coding = type >= 9 ? Coding::RunLength : Coding::Plain;
    return sized(ImageFormat::Tga, b.le16(12), b.le16(14), variant);
}

const char* colourName(Colour colour) {
    switch (colour) {
    case Colour::Unknown: return "";
    case Colour::Grey: return "grey";
    case Colour::GreyAlpha: return "grey+alpha";
    case Colour::Palette: return "palette";
    case Colour::Rgb: return "RGB";
    case Colour::Rgba: return "RGBA";
    case Colour::YCbCr: return "YCbCr";
    case Colour::Cmyk: return "CMYK";
    case Colour::Ycck: return "YCCK";
    }
    return "";
}

const char* codingName(Coding coding) {
    switch (coding) {
    case Coding::Plain: return "";
    case Coding::RunLength: return "RLE";
    case Coding::BitFields: return "bit-fields";
    case Coding::Interlaced: return "interlaced";
    case Coding::Baseline: return "baseline";
    case Coding::Progressive: return "progressive";
    }
    return "";
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

std::string describeImage(const ImageHeader& header) {
    const ImageVariant& v = header.variant;
    std::string words = formatName(header.format);
    const auto add = [&words](const std::string& word) {
        if (!word.empty()) words += " " + word;
    };
    const std::string bits = v.bits ? std::to_string(v.bits) + "-bit" : "";
    switch (header.format) {
    case ImageFormat::Jpeg:
        add(codingName(v.coding));
        add(colourName(v.colour));
        break;
    case ImageFormat::Bmp:
        add(bits);
        add(codingName(v.coding));
        break;
    case ImageFormat::Png:
    case ImageFormat::Tga:
        add(colourName(v.colour));
        add(bits);
        add(codingName(v.coding));
        break;
    }
    add(std::to_string(header.width) + "x" + std::to_string(header.height));
    return words;
}

// Room for what a file may hold besides its pixels: metadata chunks and
// segments, colour profiles, a TGA footer, a writer's padding.
constexpr std::uint64_t kMetadataSlack = std::uint64_t{1} << 20;

std::uint64_t largestEncodedSize(const std::uint8_t* data, std::size_t size,
                                 const ImageHeader& header) {
    const ByteReader b(data, data ? size : 0);
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
    const ByteReader b(data, size);
    if (b.holds(0, kPngSignature, 8)) return probePng(b);
    if (b.holds(0, "BM", 2)) return probeBmp(b);
    if (b.holds(0, "\xFF\xD8\xFF", 3)) return probeJpeg(b);
    return probeTga(b);
}

} // namespace imaging
