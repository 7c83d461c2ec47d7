#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The one way from encoded image bytes to pixels. Every decode, in the engine
// and in the tool, first probes the header without decoding, applies the
// limits of limits.h, and only then hands the bytes to a decoder, so that a
// hostile header never reaches one. Formats: PNG, BMP, JPEG, and TGA, tried
// last because it has no signature; nothing else.
namespace imaging {

enum class ImageFormat { Png, Bmp, Jpeg, Tga };
const char* formatName(ImageFormat format); // "PNG", "BMP", "JPG", "TGA"

// What the header says the stored pixels are, for people to read.
struct ImageVariant {
    enum class Colour : std::uint8_t {
        Unknown,
        Grey,
        GreyAlpha,
        Palette,
        Rgb,
        Rgba,
        YCbCr,
        Cmyk,
        Ycck
    };
    enum class Coding : std::uint8_t {
        Plain,
        RunLength,
        BitFields,
        Interlaced,
        Baseline,
        Progressive
    };
    Colour colour = Colour::Unknown;
    Coding coding = Coding::Plain;
    std::uint8_t bits = 0; // a sample's for PNG, a pixel's for BMP and TGA, 0 for JPEG
};

struct ImageHeader {
    ImageFormat format = ImageFormat::Png;
    int width = 0;
    int height = 0;
    ImageVariant variant;
};

// The format, its variant and the size: "BMP 8-bit RLE 32x32",
// "PNG grey+alpha 16-bit 7x5", "JPG progressive CMYK 640x480".
std::string describeImage(const ImageHeader& header);

enum class ImageStatus {
    Ok,
    NotAnImage, // no accepted format, a broken header, or data the decoder refused
    OverLimit,  // a side or the pixel count is past the limits
};

struct ImageProbe {
    ImageStatus status = ImageStatus::NotAnImage;
    ImageHeader header; // filled for Ok and OverLimit
};

// Reads only the header.
ImageProbe probeImage(const std::uint8_t* data, std::size_t size);

// The largest a file with this probed header can be, from the header's first
// bytes: its pixels stored as plainly as the format allows (exactly for BMP
// and uncompressed TGA), plus a fixed room for metadata. Data past it is not
// that image, so nobody needs to inflate or read further.
std::uint64_t largestEncodedSize(const std::uint8_t* data, std::size_t size,
                                 const ImageHeader& header);

// Decoded pixels, 0xAARRGGBB, rows top to bottom, width * height of them.
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Probes, applies the limits, decodes. `out` is left empty unless Ok.
ImageStatus decodeImage(const std::uint8_t* data, std::size_t size, DecodedImage& out);

// 0xAARRGGBB pixels, rows top to bottom, as the bytes of a PNG file; empty
// when it cannot be made.
std::vector<std::uint8_t> encodePng(const std::uint32_t* argb, int width, int height);
// The same, written to a file.
bool writePngFile(const char* path, const std::uint32_t* argb, int width, int height);

} // namespace imaging
