#include "format/animation.h"
#include "format/compose.h"
#include "format/thumbnail.h"
#include "image/image.h"
#include "image/limits.h"
#include "platform/file_names.h"
#include "tools/tgl/apng_export.h"
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

// The viewer's window for frame `index`, each pixel a block of `scale`.
Picture renderScaled(const tglformat::Animation& animation, int index, int scale) {
    const Picture picture = renderFrame(animation, index);
    return scale == 1 ? picture : tglformat::scaledUp(picture.data(), kWidth, kHeight, scale);
}

// Frame `frame` as OUT.png.
int renderOne(const tglformat::Animation& animation, const RenderOptions& options,
              const std::string& output) {
    const int count = static_cast<int>(animation.frames.size());
    if (options.frame < 0 || options.frame >= count)
        throw CommandError("--frame " + std::to_string(options.frame) +
                           ": the animation has frames 0 to " + std::to_string(count - 1));
    writePngWhole(output, renderScaled(animation, options.frame, options.scale).data(),
                  kWidth * options.scale, kHeight * options.scale, options.overwrite);
    return 0;
}

// One picture at a time, after every name has been checked. A picture
// already written once (a frame with no image is the same white one every
// time) is copied, not encoded again.
int renderAll(const tglformat::Animation& animation, const RenderOptions& options,
              const std::string& output) {
    const FrameRange range = options.range;
    const bool overwrite = options.overwrite;
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
            writePngWhole(name, renderScaled(animation, i, options.scale).data(),
                          kWidth * options.scale, kHeight * options.scale, overwrite);
        else
            writeWhole(name, readWhole(names[std::size_t(first->second - range.first)]), overwrite);
        progress.step(std::size_t(i - range.first + 1));
    }
    return 0;
}

// A picture at a time: the writer keeps only the one before.
int renderGif(const tglformat::Animation& animation, const RenderOptions& options,
              const std::string& output) {
    const tglformat::Box shown = tglformat::shownBox(animation);
    const tglformat::Box box =
        options.look.crop && !shown.empty() ? shown : tglformat::Box{0, 0, kWidth, kHeight};
    const int scale = options.scale;
    checkScale(scale, box.width(), box.height());
    GifWriter gif(box.width() * scale, box.height() * scale, options.look.transparent);
    const FrameRange range = options.range;
    Progress progress("rendering", std::size_t(range.last - range.first + 1));
    for (int i = range.first; i <= range.last; ++i) {
        const Picture picture =
            options.look.transparent
                ? tglformat::croppedFrame(animation, std::size_t(i), box).pixels
                : tglformat::cropped(renderFrame(animation, i).data(), kWidth, box);
        gif.add(scale == 1 ? picture
                           : tglformat::scaledUp(picture.data(), box.width(), box.height(), scale),
                animation.frames[std::size_t(i)].duration);
        progress.step(std::size_t(i - range.first + 1));
    }
    writeWhole(output, gif.finish(), options.overwrite);
    return 0;
}

// An animated WebP or PNG, a picture at a time.
template <typename Writer>
int renderAnimated(const tglformat::Animation& animation, const RenderOptions& options,
                   const std::string& output) {
    Writer writer(kWidth * options.scale, kHeight * options.scale);
    const FrameRange range = options.range;
    Progress progress("rendering", std::size_t(range.last - range.first + 1));
    for (int i = range.first; i <= range.last; ++i) {
        writer.add(renderScaled(animation, i, options.scale),
                   animation.frames[std::size_t(i)].duration);
        progress.step(std::size_t(i - range.first + 1));
    }
    writeWhole(output, writer.finish(), options.overwrite);
    return 0;
}

int renderContactSheet(const tglformat::Animation& animation, const RenderOptions& options,
                       const std::string& output) {
    std::vector<Picture> frames;
    for (int i = options.range.first; i <= options.range.last; ++i)
        frames.push_back(renderFrame(animation, i));
    int width = 0, height = 0;
    Picture sheet = contactSheet(frames, width, height);
    checkScale(options.scale, width, height);
    if (options.scale > 1) sheet = tglformat::scaledUp(sheet.data(), width, height, options.scale);
    writePngWhole(output, sheet.data(), width * options.scale, height * options.scale,
                  options.overwrite);
    return 0;
}

} // namespace

void checkScale(int scale, int width, int height) {
    if (scale < 1 || scale > kMaxScale)
        throw CommandError("--scale is a whole number from 1 to " + std::to_string(kMaxScale) +
                           ": " + std::to_string(scale));
    const std::uint64_t w = std::uint64_t(width) * std::uint64_t(scale);
    const std::uint64_t h = std::uint64_t(height) * std::uint64_t(scale);
    if (!InputLimits::withinImageLimits(w, h))
        throw CommandError("--scale " + std::to_string(scale) + " makes pictures of " +
                           std::to_string(w) + " x " + std::to_string(h) +
                           ", past the image limits");
}

int render(const std::string& file, const std::string& output, const RenderOptions& options) {
    if ((options.look.crop || options.look.transparent) && options.mode != RenderMode::Gif)
        throw CommandError("--crop and --background none are for GIF output");
    if (options.mode != RenderMode::Gif && options.mode != RenderMode::Sheet)
        checkScale(options.scale, kWidth, kHeight);
    const std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(file.c_str());
    tglformat::Animation animation;
    if (!source || !tglformat::readAnimation(*source, animation))
        throw CommandError(file + ": cannot be loaded as an animation");
    const int count = static_cast<int>(animation.frames.size());
    if (count == 0) throw CommandError(file + ": has no frames to render");
    RenderOptions chosen = options;
    FrameRange& range = chosen.range;
    if (range.last < 0) range.last = count - 1;
    if (range.first < 0 || range.first > range.last || range.last >= count)
        throw CommandError("--range " + std::to_string(range.first) + "-" +
                           std::to_string(range.last) + ": the animation has frames 0 to " +
                           std::to_string(count - 1));
    switch (chosen.mode) {
    case RenderMode::Frame: return renderOne(animation, chosen, output);
    case RenderMode::All: return renderAll(animation, chosen, output);
    case RenderMode::Gif: return renderGif(animation, chosen, output);
    case RenderMode::Sheet: return renderContactSheet(animation, chosen, output);
    case RenderMode::WebP: return renderAnimated<WebPWriter>(animation, chosen, output);
    case RenderMode::Apng: return renderAnimated<ApngWriter>(animation, chosen, output);
    }
    return 2;
}

} // namespace tgltool
