#include "format/animation.h"
#include "format/compose.h"
#include "format/thumbnail.h"
#include "image/image.h"
#include "platform/file_names.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/gif_export.h"
#include "tools/tgl/output.h"
#include "tools/tgl/webp_export.h"

#include <cstdio>
#include <filesystem>
#include <map>
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

// FNV-1a over what makes frame `index`'s picture, its image and its place
// (every frame with no image is the same white picture): frames that agree
// show the same picture.
std::uint64_t digestOf(const tglformat::Animation& animation, int index) {
    const tglformat::DecodedFrame& image = animation.images[std::size_t(index)];
    if (image.status != tglformat::FrameStatus::Ok) return 0;
    const tglformat::FrameRecord& record = animation.frames[std::size_t(index)].record;
    std::uint64_t digest = 14695981039346656037ull;
    const auto add = [&digest](std::uint32_t value) {
        digest = (digest ^ value) * 1099511628211ull;
    };
    add(std::uint32_t(record.x));
    add(std::uint32_t(record.y));
    add(std::uint32_t(image.pixels.width));
    for (std::uint32_t pixel : image.pixels.pixels)
        add(pixel);
    return digest | 1; // never the white picture's
}

bool samePicture(const tglformat::Animation& animation, int a, int b) {
    const tglformat::DecodedFrame& one = animation.images[std::size_t(a)];
    const tglformat::DecodedFrame& other = animation.images[std::size_t(b)];
    const bool shows = one.status == tglformat::FrameStatus::Ok;
    if (shows != (other.status == tglformat::FrameStatus::Ok)) return false;
    if (!shows) return true;
    const tglformat::FrameRecord& x = animation.frames[std::size_t(a)].record;
    const tglformat::FrameRecord& y = animation.frames[std::size_t(b)].record;
    return x.x == y.x && x.y == y.y && one.pixels.width == other.pixels.width &&
           one.pixels.pixels == other.pixels.pixels;
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

// Frame `frame` as OUT.png.
int renderOne(const tglformat::Animation& animation, int frame, const std::string& output,
              bool overwrite) {
    const int count = static_cast<int>(animation.frames.size());
    if (frame < 0 || frame >= count)
        throw CommandError("--frame " + std::to_string(frame) + ": the animation has frames 0 to " +
                           std::to_string(count - 1));
    writePngWhole(output, renderFrame(animation, frame).data(), kWidth, kHeight, overwrite);
    return 0;
}

// One picture at a time, after every name has been checked. A picture
// already written once (a frame with no image is the same white one every
// time) is copied, not encoded again.
int renderAll(const tglformat::Animation& animation, FrameRange range, const std::string& output,
              bool overwrite) {
    std::vector<std::string> names;
    for (int i = range.first; i <= range.last; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%03d.png", i);
        names.push_back(inFolder(output, name));
    }
    refuseExisting(names, overwrite);
    fs::create_directories(filenames::pathFromUtf8(output));
    std::fprintf(stderr, "tgl: writing %zu picture(s) into %s\n", names.size(), output.c_str());
    std::map<std::uint64_t, int> written; // a picture's digest, the first frame with it
    Progress progress("rendering", names.size());
    for (int i = range.first; i <= range.last; ++i) {
        const std::string& name = names[std::size_t(i - range.first)];
        const auto [first, fresh] = written.emplace(digestOf(animation, i), i);
        if (fresh || !samePicture(animation, first->second, i))
            writePngWhole(name, renderFrame(animation, i).data(), kWidth, kHeight, overwrite);
        else
            writeWhole(name, readWhole(names[std::size_t(first->second - range.first)]), overwrite);
        progress.step(std::size_t(i - range.first + 1));
    }
    return 0;
}

// A picture at a time: the writer keeps only the one before.
int renderGif(const tglformat::Animation& animation, FrameRange range, GifLook look,
              const std::string& output, bool overwrite) {
    const tglformat::Box shown = tglformat::shownBox(animation);
    const tglformat::Box box =
        look.crop && !shown.empty() ? shown : tglformat::Box{0, 0, kWidth, kHeight};
    GifWriter gif(box.width(), box.height(), look.transparent);
    Progress progress("rendering", std::size_t(range.last - range.first + 1));
    for (int i = range.first; i <= range.last; ++i) {
        gif.add(look.transparent
                    ? tglformat::croppedFrame(animation, std::size_t(i), box).pixels
                    : tglformat::cropped(renderFrame(animation, i).data(), kWidth, box),
                animation.frames[std::size_t(i)].duration);
        progress.step(std::size_t(i - range.first + 1));
    }
    writeWhole(output, gif.finish(), overwrite);
    return 0;
}

// Every picture at once: the contact sheet, or the animated WebP.
int renderSheetOrWebP(const tglformat::Animation& animation, FrameRange range, RenderMode mode,
                      const std::string& output, bool overwrite) {
    std::vector<Picture> frames;
    std::vector<std::int32_t> durations;
    Progress progress("rendering", std::size_t(range.last - range.first + 1));
    for (int i = range.first; i <= range.last; ++i) {
        frames.push_back(renderFrame(animation, i));
        durations.push_back(animation.frames[std::size_t(i)].duration);
        progress.step(std::size_t(i - range.first + 1));
    }
    if (mode == RenderMode::Sheet) {
        int width = 0, height = 0;
        const Picture sheet = contactSheet(frames, width, height);
        writePngWhole(output, sheet.data(), width, height, overwrite);
    } else {
        writeWhole(output, animatedWebP(frames, kWidth, kHeight, durations), overwrite);
    }
    return 0;
}

} // namespace

int render(const std::string& file, const std::string& output, RenderMode mode, int frame,
           bool overwrite, FrameRange range, GifLook look) {
    if ((look.crop || look.transparent) && mode != RenderMode::Gif)
        throw CommandError("--crop and --background none are for GIF output");
    const std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(file.c_str());
    tglformat::Animation animation;
    if (!source || !tglformat::readAnimation(*source, animation))
        throw CommandError(file + ": cannot be loaded as an animation");
    const int count = static_cast<int>(animation.frames.size());
    if (count == 0) throw CommandError(file + ": has no frames to render");
    if (range.last < 0) range.last = count - 1;
    if (range.first < 0 || range.first > range.last || range.last >= count)
        throw CommandError("--range " + std::to_string(range.first) + "-" +
                           std::to_string(range.last) + ": the animation has frames 0 to " +
                           std::to_string(count - 1));
    switch (mode) {
    case RenderMode::Frame: return renderOne(animation, frame, output, overwrite);
    case RenderMode::All: return renderAll(animation, range, output, overwrite);
    case RenderMode::Gif: return renderGif(animation, range, look, output, overwrite);
    case RenderMode::Sheet:
    case RenderMode::WebP: return renderSheetOrWebP(animation, range, mode, output, overwrite);
    }
    return 2;
}

} // namespace tgltool
