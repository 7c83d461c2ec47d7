#include "image/image.h"
#include "image/limits.h"
#include "tests/support/image_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using imaging::ImageFormat;
using imaging::ImageStatus;
using testimg::Bytes;

void put16(Bytes& b, std::size_t at, std::uint32_t v, bool big) {
    b[at + (big ? 1 : 0)] = static_cast<std::uint8_t>(v);
    b[at + (big ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v, bool big) {
    put16(b, at + (big ? 2 : 0), v & 0xFFFF, big);
    put16(b, at + (big ? 0 : 2), v >> 16, big);
}

// Headers alone, with no pixel data behind them: what a hostile file sends.
Bytes pngHeader(std::uint32_t width, std::uint32_t height) {
    Bytes b(33, 0);
    const char start[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR";
    std::copy(start, start + sizeof start - 1, b.begin());
    put32(b, 16, width, true);
    put32(b, 20, height, true);
    return b;
}
Bytes bmpHeader(std::int32_t width, std::int32_t height) {
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 14, 40, false);
    put32(b, 18, static_cast<std::uint32_t>(width), false);
    put32(b, 22, static_cast<std::uint32_t>(height), false);
    return b;
}
Bytes jpegHeader(std::uint32_t width, std::uint32_t height) {
    // SOI, an APP0 segment to skip, then a baseline start of frame.
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC0, 0, 11, 8, 0, 0, 0, 0, 1, 1, 0x11, 0};
    put16(b, 13, height, true);
    put16(b, 15, width, true);
    return b;
}
Bytes tgaHeader(std::uint32_t width, std::uint32_t height) {
    Bytes b(18, 0);
    b[2] = 2; // true colour
    b[16] = 32;
    put16(b, 12, width, false);
    put16(b, 14, height, false);
    return b;
}

ImageStatus probed(const Bytes& b) { return imaging::probeImage(b.data(), b.size()).status; }

TEST(ImageBoundary, EachFormatIsKnownFromItsHeaderAlone) {
    const struct {
        Bytes header;
        ImageFormat format;
    } cases[] = {{pngHeader(7, 5), ImageFormat::Png},
                 {bmpHeader(7, -5), ImageFormat::Bmp},
                 {jpegHeader(7, 5), ImageFormat::Jpeg},
                 {tgaHeader(7, 5), ImageFormat::Tga}};
    for (const auto& c : cases) {
        const imaging::ImageProbe probe = imaging::probeImage(c.header.data(), c.header.size());
        EXPECT_EQ(probe.status, ImageStatus::Ok) << imaging::formatName(c.format);
        EXPECT_EQ(probe.header.format, c.format);
        EXPECT_EQ(probe.header.width, 7);
        EXPECT_EQ(probe.header.height, 5) << imaging::formatName(c.format);
    }
}

TEST(ImageBoundary, SidesAndPixelCountAreHeldToTheLimitsJustUnderAndJustOver) {
    constexpr int side = InputLimits::kMaxImageSide;
    static_assert(std::uint64_t(8192) * 8192 == InputLimits::kMaxImagePixels);
    EXPECT_EQ(probed(pngHeader(side, 1)), ImageStatus::Ok);
    EXPECT_EQ(probed(pngHeader(side + 1, 1)), ImageStatus::OverLimit);
    EXPECT_EQ(probed(bmpHeader(1, side)), ImageStatus::Ok);
    EXPECT_EQ(probed(bmpHeader(1, -(side + 1))), ImageStatus::OverLimit);
    EXPECT_EQ(probed(jpegHeader(8192, 8192)), ImageStatus::Ok);
    EXPECT_EQ(probed(jpegHeader(8192, 8193)), ImageStatus::OverLimit);
    EXPECT_EQ(probed(tgaHeader(8192, 8192)), ImageStatus::Ok);
    EXPECT_EQ(probed(tgaHeader(8193, 8192)), ImageStatus::OverLimit);
    EXPECT_EQ(probed(pngHeader(0x7FFFFFFF, 0x7FFFFFFF)), ImageStatus::OverLimit);

    // Refused before any decoder: a header with no pixels behind it does not
    // turn into a 2 GiB allocation.
    imaging::DecodedImage out;
    const Bytes bomb = pngHeader(30000, 30000);
    EXPECT_EQ(imaging::decodeImage(bomb.data(), bomb.size(), out), ImageStatus::OverLimit);
    EXPECT_TRUE(out.pixels.empty());
}

TEST(ImageBoundary, EveryAcceptedFormatDecodesToItsPixels) {
    const testimg::Image image = testimg::pattern(9, 4, true);
    const testimg::Image opaque = testimg::pattern(9, 4, false);
    const struct {
        const char* name;
        Bytes bytes;
        const testimg::Image& expected;
    } cases[] = {{"PNG", testimg::png(image), image},
                 {"BMP", testimg::bmp24(opaque), opaque},
                 {"TGA", testimg::tga(image, true), image}};
    for (const auto& c : cases) {
        imaging::DecodedImage out;
        ASSERT_EQ(imaging::decodeImage(c.bytes.data(), c.bytes.size(), out), ImageStatus::Ok)
            << c.name;
        ASSERT_EQ(out.width, 9);
        ASSERT_EQ(out.height, 4);
        EXPECT_EQ(out.pixels, c.expected.pixels) << c.name;
    }
    const Bytes jpeg = testimg::jpeg(testimg::solid(16, 8, 0xFF3080C0), 95);
    imaging::DecodedImage out;
    ASSERT_EQ(imaging::decodeImage(jpeg.data(), jpeg.size(), out), ImageStatus::Ok);
    EXPECT_EQ(out.width, 16);
    EXPECT_EQ(out.height, 8);
}

TEST(ImageBoundary, OtherFormatsAndBrokenHeadersAreNoImage) {
    const std::string others[] = {
        "GIF89a\x02\0\x02\0\x80\0\0\0\0\0\xff\xff\xff!\xf9\x04\0\0\0\0\0,\0\0\0\0\x02\0\x02\0\0"
        "\x02\x02\x44\x01\0;",
        "P6 2 2 255\n............",
        "/* XPM */\nstatic char* x[] = {\"1 1 1 1\", \"a c #000\", \"a\"};"};
    for (const std::string& text : others) {
        imaging::DecodedImage out;
        const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
        EXPECT_EQ(imaging::decodeImage(data, text.size(), out), ImageStatus::NotAnImage) << text;
    }
    Bytes cut = testimg::png(testimg::pattern(16, 16, true));
    EXPECT_EQ(probed(Bytes(cut.begin(), cut.begin() + 20)), ImageStatus::NotAnImage);
    cut.resize(cut.size() / 2);
    imaging::DecodedImage out;
    EXPECT_EQ(imaging::decodeImage(cut.data(), cut.size(), out), ImageStatus::NotAnImage)
        << "a header that probes, with pixels that do not decode";
    EXPECT_TRUE(out.pixels.empty());
    EXPECT_EQ(probed(pngHeader(0, 5)), ImageStatus::NotAnImage);
    EXPECT_EQ(probed(Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0, 2}), ImageStatus::NotAnImage)
        << "a scan before any frame";
}

// A chunk length that runs past the data once made the decoder read the same
// chunk for ever; the layout is checked before any decoder sees it.
TEST(ImageBoundary, PngChunksMustLieInsideTheDataWithTheHeaderFirst) {
    const Bytes good = testimg::png(testimg::pattern(8, 8, false));
    imaging::DecodedImage out;
    ASSERT_EQ(imaging::decodeImage(good.data(), good.size(), out), ImageStatus::Ok);

    Bytes overlong = good;
    put32(overlong, 33, 0x7FFFFFF0, true); // the chunk after IHDR
    EXPECT_EQ(imaging::decodeImage(overlong.data(), overlong.size(), out), ImageStatus::NotAnImage);
    Bytes headerSecond = good;
    headerSecond[12] = 'J'; // the first chunk is no longer IHDR
    EXPECT_EQ(imaging::decodeImage(headerSecond.data(), headerSecond.size(), out),
              ImageStatus::NotAnImage);
}

} // namespace
