#include "tests/e2e/rendered_frames.h"

#include "image/image.h"
#include "tests/support/image_files.h"
#include "tools/common/tgl_writer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace e2e {

namespace fs = std::filesystem;

std::vector<Picture> renderedFrames(const std::string& tool, const std::string& animation,
                                    const std::string& folder) {
    const std::string command =
        "'" + tool + "' render '" + animation + "' --all -o '" + folder + "' > /dev/null";
    std::vector<Picture> frames;
    if (std::system(command.c_str()) != 0) return frames;
    std::vector<fs::path> files{fs::directory_iterator(folder), fs::directory_iterator()};
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        imaging::DecodedImage image;
        if (imaging::decodeImage(bytes.data(), bytes.size(), image) != imaging::ImageStatus::Ok)
            continue;
        Picture picture;
        for (std::uint32_t pixel : image.pixels)
            picture.push_back(pixel & 0xFFFFFF);
        frames.push_back(std::move(picture));
    }
    return frames;
}

std::vector<std::uint8_t> formatVariantsAnimation(int duration) {
    const testimg::Image alpha = testimg::pattern(60, 40, true);
    const testimg::Image opaque = testimg::pattern(60, 40, false);
    return tgltools::TglWriter()
        .frame({100, 80, duration})
        .frame({300, 200, duration})
        .frame({500, 120, duration})
        .frame({200, 400, duration})
        .image(testimg::png(alpha))
        .image(testimg::bmp32(alpha))
        .image(testimg::tga(alpha, true))
        .image(testimg::jpeg(opaque, 90))
        .build();
}

} // namespace e2e
