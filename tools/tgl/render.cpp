#include "format/animation.h"
#include "format/compose.h"
#include "image/image.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"
#include "tools/tgl/webp_export.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace tgltool {

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = tglformat::kViewWidth;
constexpr int kHeight = tglformat::kViewHeight;
using Picture = std::vector<std::uint32_t>; // 0xAARRGGBB, kWidth x kHeight

// What the viewer shows for one frame: white, and the frame's image at its place.
Picture renderFrame(const tglformat::Animation& animation, int index) {
    const auto i = static_cast<std::size_t>(index);
    return tglformat::composeFrame(animation.frames[i], animation.images[i]).pixels;
}

// Frames at a quarter of their size, four to a row, on grey.
Picture contactSheet(const std::vector<Picture>& frames, int& width, int& height) {
    constexpr int kScale = 4, kColumns = 4, kGap = 2;
    const int cellW = kWidth / kScale, cellH = kHeight / kScale;
    const int rows = (static_cast<int>(frames.size()) + kColumns - 1) / kColumns;
    width = kColumns * cellW + (kColumns + 1) * kGap;
    height = rows * cellH + (rows + 1) * kGap;
    Picture sheet(std::size_t(width) * std::size_t(height), 0xFF808080);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int x0 = kGap + static_cast<int>(i % kColumns) * (cellW + kGap);
        const int y0 = kGap + static_cast<int>(i / kColumns) * (cellH + kGap);
        for (int y = 0; y < cellH; ++y)
            for (int x = 0; x < cellW; ++x) {
                std::uint32_t sum[4] = {};
                for (int dy = 0; dy < kScale; ++dy)
                    for (int dx = 0; dx < kScale; ++dx) {
                        const std::uint32_t p =
                            frames[i][std::size_t((y * kScale + dy) * kWidth + x * kScale + dx)];
                        for (int c = 0; c < 4; ++c)
                            sum[c] += (p >> (8 * c)) & 0xFF;
                    }
                std::uint32_t out = 0;
                for (int c = 0; c < 4; ++c)
                    out |= (sum[c] / (kScale * kScale)) << (8 * c);
                sheet[std::size_t((y0 + y) * width + x0 + x)] = out;
            }
    }
    return sheet;
}

} // namespace

int render(const std::string& file, const std::string& output, RenderMode mode, int frame,
           bool overwrite) {
    const std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(file.c_str());
    tglformat::Animation animation;
    if (!source || !tglformat::readAnimation(*source, animation))
        throw CommandError(file + ": cannot be loaded as an animation");
    const int count = static_cast<int>(animation.frames.size());
    if (count == 0) throw CommandError(file + ": has no frames to render");

    if (mode == RenderMode::Frame) {
        if (frame < 0 || frame >= count)
            throw CommandError("--frame " + std::to_string(frame) +
                               ": the animation has frames 0 to " + std::to_string(count - 1));
        Picture picture = renderFrame(animation, frame);
        writePngWhole(output, picture.data(), kWidth, kHeight, overwrite);
        return 0;
    }

    if (mode == RenderMode::All) {
        // One picture at a time, after every name has been checked.
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%03d.png", i);
            names.push_back((fs::path(output) / name).string());
        }
        refuseExisting(names, overwrite);
        fs::create_directories(output);
        Progress progress("rendering", static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            Picture picture = renderFrame(animation, i);
            writePngWhole(names[std::size_t(i)], picture.data(), kWidth, kHeight, overwrite);
            progress.step(static_cast<std::size_t>(i + 1));
        }
        return 0;
    }

    std::vector<Picture> frames;
    std::vector<std::int32_t> durations;
    Progress progress("rendering", static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        frames.push_back(renderFrame(animation, i));
        durations.push_back(animation.frames[std::size_t(i)].duration);
        progress.step(static_cast<std::size_t>(i + 1));
    }
    if (mode == RenderMode::Sheet) {
        int width = 0, height = 0;
        Picture sheet = contactSheet(frames, width, height);
        writePngWhole(output, sheet.data(), width, height, overwrite);
    } else {
        writeWhole(output, animatedWebP(frames, kWidth, kHeight, durations), overwrite);
    }
    return 0;
}

} // namespace tgltool
