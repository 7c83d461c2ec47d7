// Writes the seed inputs of the fuzz targets, made by the project's own
// writers: make_fuzz_seeds CORPUS_FOLDER

#include "tests/image/variant_writers.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using tgltools::Bytes;
using tgltools::TglWriter;

Bytes tinyImage(std::uint32_t argb) {
    return tgltools::encodeTga(2, 2, std::vector<std::uint32_t>(4, argb), true);
}

void put(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(folder);
    tgltools::writeFile((folder / name).string(), bytes);
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One small image of each variant the decoders take.
std::vector<std::pair<std::string, Bytes>> imageVariants() {
    std::vector<std::pair<std::string, Bytes>> seeds;
    const std::vector<std::uint16_t> samples(4 * 4 * 4, 1);
    for (int type : {0, 2, 3, 4, 6})
        for (int depth : {type == 3 ? 4 : 8, 16})
            if (!(type == 3 && depth == 16))
                seeds.push_back({"seed-png-" + std::to_string(type) + "-" + std::to_string(depth),
                                 variants::png(4, 4,
                                               {type, depth, type == 2, Bytes(48, 7),
                                                type == 3 ? Bytes{0, 9} : Bytes{}},
                                               samples)});
    const Bytes palette(16 * 4, 0x40);
    const std::vector<std::uint32_t> values(16, 3), colours(16, 0x123456);
    for (int bits : {1, 4, 8, 16, 24, 32})
        seeds.push_back(
            {"seed-bmp-" + std::to_string(bits),
             variants::bmp(4, 4,
                           {bits <= 8 ? 40u : 108u, bits, bits >= 16 && bits != 24 ? 3u : 0u,
                            bits == 16
                                ? std::vector<std::uint32_t>{0xF800, 0x7E0, 0x1F, 0}
                                : std::vector<std::uint32_t>{0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                            bits <= 8 ? colours : std::vector<std::uint32_t>{}, 0, bits == 8},
                           variants::packRows(4, 4, bits, values, bits == 8))});
    seeds.push_back({"seed-bmp-os2", variants::bmp(4, 4, {12, 8, 0, {}, colours, 0, false},
                                                   variants::packRows(4, 4, 8, values, false))});
    seeds.push_back(
        {"seed-bmp-rle8", variants::bmp(4, 4, {40, 8, 1, {}, colours, 0, false},
                                        {2, 1, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 5, 0, 1})});
    seeds.push_back({"seed-bmp-rle4",
                     variants::bmp(4, 4, {40, 4, 2, {}, colours, 0, false},
                                   {2, 0x12, 0, 3, 0x12, 0x30, 0, 0, 0, 2, 1, 1, 2, 0x55, 0, 1})});
    for (int type : {1, 2, 3, 9, 10, 11}) {
        const int depth = type % 8 == 2 ? 32 : type % 8 == 3 ? 16 : 8;
        variants::TgaVariant variant{
            type, depth, 0x20, {'x'}, 0, 24, type % 8 == 1 ? palette : Bytes{}};
        seeds.push_back({"seed-tga-" + std::to_string(type),
                         variants::tga(4, 4, variant, Bytes(std::size_t(16 * depth / 8), 1))});
    }
    const struct {
        const char* name;
        variants::JpegVariant variant;
    } jpegs[] = {{"grey", {1, false, -1, 0}},       {"ycbcr", {3, false, -1, 0}},
                 {"cmyk", {4, false, 0, 0}},        {"ycck", {4, false, 2, 0}},
                 {"progressive", {3, true, -1, 0}}, {"restart", {3, false, -1, 1}}};
    for (const auto& j : jpegs)
        seeds.push_back({std::string("seed-jpg-") + j.name,
                         variants::jpeg(2, j.variant, std::vector<std::uint8_t>(8, 100))});
    return seeds;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::filesystem::path root = argv[1];
    std::vector<std::pair<std::string, Bytes>> animations = {
        {"seed-empty", text(std::string("DFX\0", 4))},
        {"seed-one-frame", TglWriter().frame({10, 20, 50}).image(tinyImage(0xFFFF0000)).build()},
        {"seed-durations", TglWriter()
                               .perFrameDurations(1)
                               .frame({0, 0, 30})
                               .frame({5, 5, 0})
                               .image(tinyImage(0x80FFFFFF))
                               .zeroWord()
                               .image(tinyImage(0xFF00FF00))
                               .build()},
        {"seed-surplus", TglWriter().frame({}).image(tinyImage(1)).image(tinyImage(2)).build()},
        {"seed-bad-length",
         TglWriter().frame({}).frame({}).image(tinyImage(3)).rawBlock({1, 2}, 1, 0, -9).build()},
        {"seed-not-zlib", TglWriter().frame({}).rawBlock({7, 7, 7, 7}).build()},
        {"seed-huge-count", TglWriter().frameCount(0x7FFFFFFF).frame({1, 2}).build()},
        // Once read nothing into no buffer, which the sanitizers caught.
        {"crash-empty-payload", TglWriter().frame({}).rawBlock({}).build()},
        // Hostile files: a zero bomb, an image with bytes past what it needs,
        // a PNG chunk running past its data, durations below zero.
        {"seed-zero-bomb", TglWriter().frame({}).image(Bytes(8u << 20, 0)).build()},
        {"seed-image-and-more", TglWriter()
                                    .frame({})
                                    .image([] {
                                        Bytes padded = tinyImage(4);
                                        padded.resize(padded.size() + (2u << 20));
                                        return padded;
                                    }())
                                    .build()},
        {"seed-png-overlong-chunk",
         TglWriter()
             .frame({})
             .image(text(std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x02\x08\x06"
                                     "\0\0\0\0\0\0\0\x7f\xff\xff\xf0IDAT",
                                     41)))
             .build()},
        {"seed-negative-durations",
         TglWriter().perFrameDurations(1).frame({0, 0, -100}).frame({0, 0, INT32_MIN}).build()},
        // Headers that claim the whole decoded budget, then an image that
        // fits no more: the budget is shared out in frame order however the
        // loader's threads interleave.
        {"seed-budget-order",
         [] {
             const Bytes claim = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0,
                                  13,   'I', 'H', 'D', 'R',  0,    0,    0x20, 0, 0, 0,
                                  0x20, 0,   8,   6,   0,    0,    0,    0,    0, 0, 0};
             return TglWriter()
                 .frame({})
                 .frame({})
                 .frame({})
                 .image(tinyImage(5))
                 .image(claim)
                 .image(tinyImage(6))
                 .build();
         }()},
    };
    for (const auto& [name, bytes] : animations) {
        put(root / "tgl_parser", name, bytes);
        put(root / "tgl_load", name, bytes);
    }
    for (const auto& [name, bytes] : imageVariants())
        put(root / "image", name, bytes);
    put(root / "font", "seed-font",
        text("[QUBFONT]\r\nBitmap = glyphs.tga\r\nChar = \"A\", 0, 0, 8, 10, 1, 2\r\n"
             "Char = 20, 8, 0, 4, 10, 0, 0\r\nChar = 3F, 12, 0, 6, 10, 0, 1\r\n"));
    put(root / "font", "seed-odd",
        text("[QUBFONT]\nChar =, 1, 1, 1, 1, 1, 1\nBitmap\nChar = \"\"\", 2, 2, 2, 2, 2, 2\n"));
    put(root / "string", "seed-ops",
        text(std::string("\x28hello\x2A"
                         "ab\x13xyz\x04\x06\x07\x05",
                         17)));
    Bytes zlib = tgltools::zlibCompress(text("some bytes to inflate"));
    Bytes inflateSeed = {static_cast<std::uint8_t>((zlib.size() << 3) | 0)};
    inflateSeed.insert(inflateSeed.end(), zlib.begin(), zlib.end());
    inflateSeed.push_back(6);
    put(root / "string", "seed-inflate", inflateSeed);
    put(root / "memory", "seed-ops",
        Bytes{0, 10, 0, 1, 200, 3, 2, 50, 1, 0, 255, 9, 3, 0, 0, 5, 3, 1, 4, 0, 0});
    put(root / "memory", "seed-large", Bytes{0, 255, 12, 2, 255, 13, 2, 1, 0, 3, 0, 0});
    return 0;
}
