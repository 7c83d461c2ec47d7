#include "image/image.h"
#include "image/png_chunks.h"
#include "tests/image/variant_writers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

// One table of format variants, decoded the same way by the Linux and the
// Windows builds (this suite runs under Wine too): lossless ones must give
// exactly the pixels their stored values mean.
namespace {

using testimg::Bytes;
using Pixels = std::vector<std::uint32_t>;

constexpr int kW = 7, kH = 5; // odd sides: partial bytes, Adam7's short passes

std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}
std::uint32_t widen(std::uint32_t v, std::uint32_t largest) {
    return (v * 255 + largest / 2) / largest;
}

class Random {
  public:
    std::uint32_t below(std::uint32_t n) {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 8) % n;
    }

  private:
    std::uint32_t state_ = 7;
};

struct Case {
    std::string name;
    Bytes bytes;
    Pixels expected;
    int width = kW, height = kH;
    int tolerance = 0; // per channel; JPEG's colour transforms round their own way
};

Pixels decoded(const Case& c) {
    imaging::DecodedImage out;
    const imaging::ImageStatus status = imaging::decodeImage(c.bytes.data(), c.bytes.size(), out);
    EXPECT_EQ(status, imaging::ImageStatus::Ok) << c.name;
    EXPECT_EQ(out.width, c.width) << c.name;
    EXPECT_EQ(out.height, c.height) << c.name;
    return out.pixels;
}

void expectClose(const Case& c) {
    const Pixels got = decoded(c);
    ASSERT_EQ(got.size(), c.expected.size()) << c.name;
    for (std::size_t i = 0; i < got.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = int(got[i] >> shift & 0xFF), b = int(c.expected[i] >> shift & 0xFF);
            ASSERT_LE(std::abs(a - b), c.tolerance) << c.name << " pixel " << i << ": " << std::hex
                                                    << got[i] << " not " << c.expected[i];
        }
}

std::vector<Case> pngCases() {
    const struct {
        int type;
        std::vector<int> depths;
    } types[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    std::vector<Case> cases;
    Random random;
    // Small ones in every layout, and wide ones, whose rows are longer than
    // any stride a decoder takes at once, in the common layout.
    struct Size {
        int width, height;
        bool interlaced;
    };
    const Size sizes[] = {{kW, kH, false}, {kW, kH, true}, {37, 10, false}};
    for (const auto& t : types)
        for (int depth : t.depths)
            for (const auto [width, height, interlaced] : sizes) {
                variants::PngVariant variant{t.type, depth, interlaced,
                                             {},     {},    int(cases.size() % 5)};
                const int n = channels[t.type];
                const std::uint32_t top = t.type == 3 ? std::min(1u << depth, 6u) : 1u << depth;
                std::vector<std::uint16_t> samples(std::size_t(width * height * n));
                for (auto& s : samples)
                    s = std::uint16_t(random.below(top));
                const auto at = [&](int pixel, int c) {
                    return samples[std::size_t(pixel * n + c)];
                };
                const auto eight = [&](std::uint32_t v) {
                    return depth == 16 ? (v + 128) / 257 : widen(v, (1u << depth) - 1);
                };
                Bytes palette;
                if (t.type == 3) {
                    for (std::uint32_t i = 0; i < top * 3; ++i)
                        palette.push_back(std::uint8_t(random.below(256)));
                    variant.palette = palette;
                    variant.transparency = {0, 128, 255}; // shorter than the palette
                    variant.transparency.resize(std::min<std::size_t>(3, top - 1));
                } else if (t.type == 0 || t.type == 2) {
                    for (int c = 0; c < n; ++c) // the first pixel's colour is the transparent one
                        variant.transparency.insert(
                            variant.transparency.end(),
                            {std::uint8_t(at(0, c) >> 8), std::uint8_t(at(0, c))});
                }
                Pixels expected;
                for (int p = 0; p < width * height; ++p) {
                    switch (t.type) {
                    case 0:
                        expected.push_back(argb(at(p, 0) == at(0, 0) ? 0 : 255, eight(at(p, 0)),
                                                eight(at(p, 0)), eight(at(p, 0))));
                        break;
                    case 2: {
                        const bool key =
                            at(p, 0) == at(0, 0) && at(p, 1) == at(0, 1) && at(p, 2) == at(0, 2);
                        expected.push_back(
                            argb(key ? 0 : 255, eight(at(p, 0)), eight(at(p, 1)), eight(at(p, 2))));
                        break;
                    }
                    case 3: {
                        const std::size_t i = at(p, 0);
                        expected.push_back(
                            argb(i < variant.transparency.size() ? variant.transparency[i] : 255,
                                 palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]));
                        break;
                    }
                    case 4:
                        expected.push_back(argb(eight(at(p, 1)), eight(at(p, 0)), eight(at(p, 0)),
                                                eight(at(p, 0))));
                        break;
                    default:
                        expected.push_back(argb(eight(at(p, 3)), eight(at(p, 0)), eight(at(p, 1)),
                                                eight(at(p, 2))));
                        break;
                    }
                }
                cases.push_back(
                    {"PNG type " + std::to_string(t.type) + " " + std::to_string(depth) + "-bit" +
                         (interlaced ? " interlaced" : "") +
                         (width == kW ? "" : " " + std::to_string(width) + " wide"),
                     variants::png(width, height, variant, samples), expected, width, height});
            }
    return cases;
}

std::vector<Case> bmpCases() {
    std::vector<Case> cases;
    Random random;
    std::vector<std::uint32_t> palette(16);
    for (auto& c : palette)
        c = random.below(1u << 24);
    const auto indexed = [&](const char* name, variants::BmpVariant variant, std::uint32_t top) {
        std::vector<std::uint32_t> values(kW * kH);
        Pixels expected;
        for (auto& v : values) {
            v = random.below(top);
            expected.push_back(v < variant.palette.size() ? 0xFF000000 | variant.palette[v]
                                                          : 0xFF000000);
        }
        cases.push_back(
            {name,
             variants::bmp(kW, kH, variant,
                           variants::packRows(kW, kH, variant.bits, values, variant.topDown)),
             expected});
    };
    indexed("BMP 1-bit top-down, pixels after a gap",
            {40, 1, 0, {}, {palette[0], palette[1]}, 6, true}, 2);
    indexed("BMP 4-bit OS/2 2.x", {64, 4, 0, {}, palette, 0, false}, 16);
    indexed("BMP 8-bit short palette",
            {40, 8, 0, {}, {palette.begin(), palette.begin() + 5}, 0, false}, 8);
    indexed("BMP 8-bit OS/2 core, short palette",
            {12, 8, 0, {}, {palette.begin(), palette.begin() + 9}, 0, false}, 12);

    const auto masked = [&](const char* name, variants::BmpVariant variant,
                            std::vector<std::uint32_t> masks) {
        std::vector<std::uint32_t> values(kW * kH);
        Pixels expected;
        for (auto& v : values) {
            v = random.below(0xFFFFFFFF) ^ random.below(0xFFFF) << 16;
            if (variant.bits < 32) v &= (1u << variant.bits) - 1;
            std::uint32_t pixel = masks.size() < 4 || !masks[3] ? 0xFF000000 : 0;
            for (std::size_t c = 0; c < masks.size(); ++c) {
                if (!masks[c]) continue;
                int shift = 0;
                while (!(masks[c] >> shift & 1))
                    ++shift;
                pixel |= widen((v & masks[c]) >> shift, masks[c] >> shift)
                         << (c == 3 ? 24 : 16 - 8 * c);
            }
            expected.push_back(pixel);
        }
        cases.push_back(
            {name,
             variants::bmp(kW, kH, variant,
                           variants::packRows(kW, kH, variant.bits, values, variant.topDown)),
             expected});
    };
    masked("BMP 16-bit 5-5-5", {40, 16, 0, {}, {}, 0, false}, {0x7C00, 0x3E0, 0x1F});
    masked("BMP 16-bit bit-fields 5-6-5", {40, 16, 3, {0xF800, 0x7E0, 0x1F}, {}, 0, false},
           {0xF800, 0x7E0, 0x1F});
    masked("BMP 24-bit", {40, 24, 0, {}, {}, 0, true}, {0xFF0000, 0xFF00, 0xFF});
    masked("BMP 32-bit, fourth byte padding", {40, 32, 0, {}, {}, 0, false},
           {0xFF0000, 0xFF00, 0xFF});
    masked("BMP 32-bit alpha bit-fields 10-10-10-2",
           {40, 32, 6, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, {}, 0, false},
           {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000});
    masked("BMP 32-bit V5 bit-fields with alpha",
           {124, 32, 3, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, {}, 0, false},
           {0xFF, 0xFF00, 0xFF0000, 0xFF000000});

    // Run-length data, bottom row first: a run, a literal stretch, an end of
    // line, a move; pixels never reached stay transparent.
    const std::uint32_t p1 = 0xFF000000 | palette[1], p2 = 0xFF000000 | palette[2],
                        p3 = 0xFF000000 | palette[3];
    Pixels rle(8 * 3, 0);
    rle[16] = rle[17] = rle[18] = p1;         // bottom row: run of 3
    rle[19] = p2, rle[20] = p3, rle[21] = p2; // literal 2 3 2
    rle[2 * 1 + 0 * 8 + 0] = rle[3] = p3;     // top row after a move of (2, 2)
    const Bytes rle8 = {3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 1};
    const Bytes rle4 = {3, 0x11, 0, 3, 0x23, 0x20, 0, 0, 0, 2, 2, 1, 2, 0x33, 0, 1};
    cases.push_back(
        {"BMP 8-bit RLE", variants::bmp(8, 3, {40, 8, 1, {}, palette, 0, false}, rle8), rle, 8, 3});
    cases.push_back(
        {"BMP 4-bit RLE", variants::bmp(8, 3, {40, 4, 2, {}, palette, 0, false}, rle4), rle, 8, 3});
    return cases;
}

std::vector<Case> tgaCases() {
    std::vector<Case> cases;
    Random random;
    const struct {
        int type, depth;
        std::uint8_t descriptor;
    } kinds[] = {{1, 8, 0x20},  {2, 15, 0x00}, {2, 16, 0x21}, {2, 24, 0x00},
                 {2, 32, 0x28}, {3, 8, 0x00},  {3, 16, 0x28}};
    Bytes map;
    for (int i = 0; i < 8 * 3; ++i)
        map.push_back(std::uint8_t(random.below(256)));
    for (const auto& k : kinds)
        for (int runLength : {0, 8}) {
            variants::TgaVariant variant{
                k.type + runLength, k.depth, k.descriptor, {'i', 'd'}, 2, 24, {}};
            if (k.type == 1) variant.map = map;
            const std::size_t step = std::size_t(k.depth + 7) / 8;
            Pixels expected(kW * kH);
            Bytes stored;
            for (int i = 0; i < kW * kH; ++i) {
                // Few distinct values, so that the run-length coder makes runs.
                const std::uint32_t v = random.below(3) * 0x01234567u ^ 0x89ABCDEFu;
                const int y = k.descriptor & 0x20 ? i / kW : kH - 1 - i / kW;
                const int x = k.descriptor & 0x10 ? kW - 1 - i % kW : i % kW; // right to left
                std::uint32_t& pixel = expected[std::size_t(y * kW + x)];
                for (std::size_t b = 0; b < step; ++b)
                    stored.push_back(std::uint8_t(v >> (8 * b)));
                if (k.type == 1) {
                    const std::uint32_t index = v & 7; // 0 and 1 lie below the map's first entry
                    stored.back() = std::uint8_t(index);
                    pixel = index < 2 ? 0xFF000000
                                      : argb(255, map[(index - 2) * 3 + 2],
                                             map[(index - 2) * 3 + 1], map[(index - 2) * 3]);
                } else if (k.depth <= 16 && k.type == 2) {
                    const bool alpha = k.depth == 16 && !(v & 0x8000);
                    pixel = argb(alpha ? 0 : 255, widen(v >> 10 & 31, 31), widen(v >> 5 & 31, 31),
                                 widen(v & 31, 31));
                } else if (k.type == 3) {
                    pixel = argb(k.depth == 16 ? v >> 8 & 0xFF : 255, v & 0xFF, v & 0xFF, v & 0xFF);
                } else {
                    pixel = argb(k.depth == 32 ? v >> 24 : 255, v >> 16 & 0xFF, v >> 8 & 0xFF,
                                 v & 0xFF);
                }
            }
            cases.push_back({"TGA type " + std::to_string(variant.type) + " " +
                                 std::to_string(k.depth) + "-bit",
                             variants::tga(kW, kH, variant, stored), expected});
        }
    return cases;
}

// Two or three flat 8x8 blocks side by side.
std::vector<Case> jpegCases() {
    const auto ycc = [](double y, double cb, double cr) {
        const auto clamp = [](double v) {
            return std::uint32_t(std::lround(std::min(255.0, std::max(0.0, v))));
        };
        return std::array<std::uint32_t, 3>{
            clamp(y + 1.402 * (cr - 128)), clamp(y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128)),
            clamp(y + 1.772 * (cb - 128))};
    };
    const auto times = [](std::uint32_t a, std::uint32_t k) { return (a * k + 127) / 255; };
    const auto flat = [](std::vector<std::uint32_t> colours) {
        Pixels p;
        for (int y = 0; y < 8; ++y)
            for (std::uint32_t c : colours)
                p.insert(p.end(), 8, c);
        return p;
    };
    const auto fromYcc = [&](int y, int cb, int cr) {
        const auto c = ycc(y, cb, cr);
        return argb(255, c[0], c[1], c[2]);
    };
    const auto fromYcck = [&](int y, int cb, int cr, std::uint32_t k) {
        const auto c = ycc(y, cb, cr);
        return argb(255, times(255 - c[0], k), times(255 - c[1], k), times(255 - c[2], k));
    };
    std::vector<Case> cases = {
        {"JPG baseline grey", variants::jpeg(2, {1, false, -1, 0}, {40, 200}),
         flat({argb(255, 40, 40, 40), argb(255, 200, 200, 200)}), 16, 8, 1},
        {"JPG baseline YCbCr", variants::jpeg(2, {3, false, -1, 0}, {100, 128, 128, 150, 90, 200}),
         flat({fromYcc(100, 128, 128), fromYcc(150, 90, 200)}), 16, 8, 1},
        {"JPG Adobe RGB", variants::jpeg(2, {3, false, 0, 0}, {10, 20, 30, 200, 100, 50}),
         flat({argb(255, 10, 20, 30), argb(255, 200, 100, 50)}), 16, 8, 1},
        {"JPG Adobe CMYK", variants::jpeg(2, {4, false, 0, 0}, {255, 128, 0, 200, 30, 60, 90, 255}),
         flat({argb(255, 200, times(128, 200), 0), argb(255, 30, 60, 90)}), 16, 8, 1},
        {"JPG Adobe YCCK",
         variants::jpeg(2, {4, false, 2, 0}, {100, 128, 128, 200, 150, 90, 200, 255}),
         flat({fromYcck(100, 128, 128, 200), fromYcck(150, 90, 200, 255)}), 16, 8, 1},
        {"JPG progressive YCbCr",
         variants::jpeg(2, {3, true, -1, 0}, {100, 128, 128, 150, 90, 200}),
         flat({fromYcc(100, 128, 128), fromYcc(150, 90, 200)}), 16, 8, 1},
        {"JPG restart markers", variants::jpeg(3, {1, false, -1, 1}, {40, 200, 90}),
         flat({argb(255, 40, 40, 40), argb(255, 200, 200, 200), argb(255, 90, 90, 90)}), 24, 8, 1},
    };
    Case stray = cases[1];
    stray.name = "JPG with FF 00 and a stray byte between segments";
    stray.bytes.insert(stray.bytes.begin() + 2 + 69,
                       {0xFF, 0x00, 0x17}); // after the quantisation table
    cases.push_back(stray);
    return cases;
}

TEST(DecoderVariants, EveryVariantGivesThePixelsItsValuesMean) {
    for (auto make : {pngCases, bmpCases, tgaCases, jpegCases})
        for (const Case& c : make())
            expectClose(c);
}

TEST(DecoderVariants, JpegDecodesAreTheSameOnEveryPlatform) {
    std::uint32_t digest = 2166136261u; // FNV-1a over every JPEG fixture's pixels
    for (const Case& c : jpegCases())
        for (std::uint32_t pixel : decoded(c))
            digest = (digest ^ pixel) * 16777619u;
    EXPECT_EQ(digest, 0x85baa305u);
}

TEST(DecoderVariants, InfoNamesTheVariant) {
    const std::string expected[][2] = {
        {"PNG type 4 16-bit", "PNG grey+alpha 16-bit 7x5"},
        {"PNG type 3 2-bit interlaced", "PNG palette 2-bit interlaced 7x5"},
        {"BMP 8-bit RLE", "BMP 8-bit RLE 8x3"},
        {"BMP 32-bit alpha bit-fields 10-10-10-2", "BMP 32-bit bit-fields 7x5"},
        {"TGA type 11 16-bit", "TGA grey+alpha 16-bit RLE 7x5"},
        {"TGA type 1 8-bit", "TGA palette 8-bit 7x5"},
        {"JPG Adobe YCCK", "JPG baseline YCCK 16x8"},
        {"JPG progressive YCbCr", "JPG progressive YCbCr 16x8"},
    };
    std::vector<Case> all;
    for (auto make : {pngCases, bmpCases, tgaCases, jpegCases})
        for (const Case& c : make())
            all.push_back(c);
    for (const auto& [name, text] : expected) {
        const auto c =
            std::find_if(all.begin(), all.end(), [&](const Case& k) { return k.name == name; });
        ASSERT_NE(c, all.end()) << name;
        EXPECT_EQ(
            imaging::describeImage(imaging::probeImage(c->bytes.data(), c->bytes.size()).header),
            text);
    }
}

// Whether the row decoder (8-bit, not interlaced) or stb_image decodes it.
TEST(DecoderVariants, PaletteIndexesPastThePaletteShowOpaqueBlack) {
    for (int depth : {2, 4, 8})
        for (bool interlaced : {false, true}) {
            std::vector<std::uint16_t> samples;
            for (int i = 0; i < kW * kH; ++i)
                samples.push_back(std::uint16_t(i % (1 << depth)));
            const Bytes png =
                variants::png(kW, kH, {3, depth, interlaced, {200, 10, 20}, {}}, samples);
            imaging::DecodedImage out;
            ASSERT_EQ(imaging::decodeImage(png.data(), png.size(), out), imaging::ImageStatus::Ok);
            for (std::size_t i = 0; i < samples.size(); ++i)
                EXPECT_EQ(out.pixels[i], samples[i] == 0 ? 0xFFC80A14u : 0xFF000000u)
                    << depth << "-bit " << interlaced << " pixel " << i;
        }
}

TEST(DecoderVariants, DamagedPngsAreRefused) {
    const Bytes good =
        variants::png(2, 2, {6, 8, false, {}, {}}, std::vector<std::uint16_t>(16, 9));
    Bytes crc = good;
    crc[crc.size() - 20] ^= 1; // inside IDAT
    const Bytes noEnd(good.begin(), good.end() - 12);
    imaging::DecodedImage out;
    EXPECT_EQ(imaging::decodeImage(good.data(), good.size(), out), imaging::ImageStatus::Ok);
    EXPECT_EQ(imaging::decodeImage(crc.data(), crc.size(), out), imaging::ImageStatus::NotAnImage);
    EXPECT_EQ(imaging::decodeImage(noEnd.data(), noEnd.size(), out),
              imaging::ImageStatus::NotAnImage);
}

TEST(DecoderVariants, JpegScansWithHuffmanTablesNeverDefinedAreRefused) {
    for (const Case& c : jpegCases()) {
        if (c.name != "JPG baseline grey" && c.name != "JPG progressive YCbCr") continue;
        Bytes undefined = c.bytes;
        const Bytes scan = {0xFF, 0xDA};
        const auto at = std::search(undefined.begin(), undefined.end(), scan.begin(), scan.end());
        ASSERT_NE(at, undefined.end()) << c.name;
        at[6] = 0x33; // the first component's DC and AC tables: slots no segment defines
        imaging::DecodedImage out;
        EXPECT_EQ(imaging::decodeImage(c.bytes.data(), c.bytes.size(), out),
                  imaging::ImageStatus::Ok);
        EXPECT_EQ(imaging::decodeImage(undefined.data(), undefined.size(), out),
                  imaging::ImageStatus::NotAnImage)
            << c.name;
    }
}

// The PNG with its image data changed by `edit`, which gives the IDAT chunks' data.
Bytes withImageData(const Bytes& png, const std::function<std::vector<Bytes>(Bytes)>& edit) {
    Bytes out(std::begin(imaging::kPngSignature), std::end(imaging::kPngSignature));
    imaging::walkPngChunks(png.data(), png.size(), [&](const imaging::PngChunk& chunk) {
        if (chunk.type != "IDAT") {
            imaging::appendPngChunk(out, chunk.type.c_str(), chunk.data, chunk.length);
            return true;
        }
        for (const Bytes& data : edit(Bytes(chunk.data, chunk.data + chunk.length)))
            imaging::appendPngChunk(out, "IDAT", data.data(), data.size());
        return true;
    });
    return out;
}

// zlib inflates the image data, and where it refuses what stb_image reads (a
// wrong Adler-32) stb reads the file as before: the same pixels either way,
// for data split over several chunks and for interlaced images too.
TEST(DecoderVariants, PngDataInflatedByZlibOrByStbGivesTheSamePixels) {
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < 7 * 5 * 4; ++i)
        samples.push_back(std::uint16_t(i * 37 % 256));
    for (bool interlaced : {false, true}) {
        const Bytes good = variants::png(7, 5, {6, 8, interlaced, {}, {}}, samples);
        const Bytes split = withImageData(good, [](Bytes data) {
            const auto half = data.begin() + std::ptrdiff_t(data.size() / 2);
            return std::vector<Bytes>{Bytes(data.begin(), half), Bytes(half, data.end())};
        });
        const Bytes badAdler = withImageData(good, [](Bytes data) {
            data.back() ^= 1;
            return std::vector<Bytes>{data};
        });
        imaging::DecodedImage want, got;
        ASSERT_EQ(imaging::decodeImage(good.data(), good.size(), want), imaging::ImageStatus::Ok);
        for (const Bytes* png : {&split, &badAdler}) {
            ASSERT_EQ(imaging::decodeImage(png->data(), png->size(), got), imaging::ImageStatus::Ok)
                << interlaced;
            EXPECT_EQ(got.pixels, want.pixels) << interlaced;
        }
    }
}

} // namespace
