// Writes the start benchmark's workloads, each a folder with its "stand_1.tgl"
// made by `tgl pack` from pictures drawn here: W1 the sample, W2 60 frames of
// 256 x 256 photograph-like content at 40 ms, W3 10 frames of 800 x 600 at
// 100 ms.
//     build/bin/make_workloads build/bin/tgl build/sample OUT

#include "image/image.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Soft shapes that move from frame to frame, with grain.
std::vector<std::uint32_t> picture(int width, int height, int frame) {
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    std::uint32_t seed = 12345u + std::uint32_t(frame);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const double grain = double(seed >> 24) / 16;
            const double phase = frame * 0.3;
            const auto channel = [&](double v) {
                return std::uint32_t(std::fmin(255, std::fmax(0, v + grain)));
            };
            const std::uint32_t r = channel(128 + 90 * std::sin(x * 0.03 + phase));
            const std::uint32_t g = channel(128 + 90 * std::cos(y * 0.025 - phase));
            const std::uint32_t b = channel(100 + 80 * std::sin((x + y) * 0.02 + 2 * phase));
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                0xFF000000u | r << 16 | g << 8 | b;
        }
    return pixels;
}

bool pack(const std::string& tool, const fs::path& folder, int frames, int width, int height,
          int duration) {
    fs::create_directories(folder / "frames");
    std::string inputs;
    for (int i = 0; i < frames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.png", i);
        const fs::path file = folder / "frames" / name;
        if (!imaging::writePngFile(file.string().c_str(), picture(width, height, i).data(), width,
                                   height))
            return false;
        inputs += " '" + file.string() + "'";
    }
    const std::string command = "'" + tool + "' pack" + inputs + " --duration " +
                                std::to_string(duration) + " --force -o '" +
                                (folder / "stand_1.tgl").string() + "' > /dev/null";
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_workloads TGL SAMPLE_FOLDER OUT\n");
        return 2;
    }
    const fs::path out = argv[3];
    fs::create_directories(out / "w1");
    fs::copy_file(fs::path(argv[2]) / "stand_1.tgl", out / "w1" / "stand_1.tgl",
                  fs::copy_options::overwrite_existing);
    if (!pack(argv[1], out / "w2", 60, 256, 256, 40) ||
        !pack(argv[1], out / "w3", 10, 800, 600, 100))
        return 1;
    for (const char* w : {"w1", "w2", "w3"})
        for (const char* font : {"font1.fnt", "font1.tga"})
            fs::copy_file(fs::path(argv[2]) / font, out / w / font,
                          fs::copy_options::overwrite_existing);
    return 0;
}
