// Writes the seed inputs of the fuzz targets, made by the project's own
// writers: make_fuzz_seeds CORPUS_FOLDER

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
