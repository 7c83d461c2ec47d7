// tgl export --sheet: the frames packed into one sheet, and the JSON frame
// list that sprite editors write and 2-D engines read.

#include "format/animation.h"
#include "format/thumbnail.h"
#include "image/limits.h"
#include "platform/file_names.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/frames_json.h"
#include "tools/tgl/output.h"
#include "tools/tgl/version.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <map>

namespace tgltool {

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

// A frame's image without its transparent border, and where that lies in the
// image; on the sheet, its cell (the sprite and its extruded edges).
struct SheetSprite {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    int sheetX = 0, sheetY = 0; // the cell's corner
};

// The sprites' cells and the pixels between them.
struct Spacing {
    int padding = 1, extrude = 0;
    int cellWidth(const SheetSprite& s) const { return s.width + 2 * extrude; }
    int cellHeight(const SheetSprite& s) const { return s.height + 2 * extrude; }
};

SheetSprite trimmed(const imaging::DecodedImage& image) {
    const tglformat::Box box = tglformat::opaqueBox(image.pixels.data(), image.width, image.height);
    SheetSprite s;
    if (box.empty()) return s;
    s.left = box.left, s.top = box.top, s.width = box.width(), s.height = box.height();
    s.pixels = tglformat::cropped(image.pixels.data(), image.width, box);
    return s;
}

int powerOfTwo(int n) {
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

// Shelves of sprites, tallest first, in rows no wider than `width`; the
// sheet's height.
int shelve(std::vector<SheetSprite*>& sprites, int width, const Spacing& spacing) {
    std::stable_sort(
        sprites.begin(), sprites.end(),
        [](const SheetSprite* a, const SheetSprite* b) { return a->height > b->height; });
    int x = 0, y = 0, shelf = 0;
    for (SheetSprite* s : sprites) {
        if (x > 0 && x + spacing.cellWidth(*s) > width) {
            x = 0;
            y += shelf + spacing.padding;
            shelf = 0;
        }
        s->sheetX = x, s->sheetY = y;
        x += spacing.cellWidth(*s) + spacing.padding;
        shelf = std::max(shelf, spacing.cellHeight(*s));
    }
    return y + shelf;
}

json rect(int x, int y, int w, int h) { return {{"x", x}, {"y", y}, {"w", w}, {"h", h}}; }

// Each distinct trimmed image once, the frames that show it, and the box of
// all that shows, in window points.
struct Distinct {
    std::vector<SheetSprite> sprites;
    std::vector<int> spriteOf;                 // per frame; -1: shows nothing
    std::vector<std::pair<int, int>> offsetOf; // per frame: where its trim began
    std::int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
};

Distinct distinctSprites(const tglformat::Animation& animation) {
    Distinct d;
    d.spriteOf.assign(animation.frames.size(), -1);
    d.offsetOf.resize(animation.frames.size());
    std::map<std::vector<std::uint32_t>, int> seen; // by width, then pixels
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
        if (animation.images[i].status != tglformat::FrameStatus::Ok) continue;
        SheetSprite s = trimmed(animation.images[i].pixels);
        if (s.pixels.empty()) continue;
        const tglformat::FrameRecord& f = animation.frames[i].record;
        d.left = std::min<std::int64_t>(d.left, std::int64_t(f.x) + s.left);
        d.top = std::min<std::int64_t>(d.top, std::int64_t(f.y) + s.top);
        d.right = std::max<std::int64_t>(d.right, std::int64_t(f.x) + s.left + s.width);
        d.bottom = std::max<std::int64_t>(d.bottom, std::int64_t(f.y) + s.top + s.height);
        std::vector<std::uint32_t> key{std::uint32_t(s.width)};
        key.insert(key.end(), s.pixels.begin(), s.pixels.end());
        const auto [at, fresh] = seen.emplace(std::move(key), int(d.sprites.size()));
        if (fresh) d.sprites.push_back(s);
        d.spriteOf[i] = at->second;
        // Frames that share pixels may trim differently placed images.
        d.offsetOf[i] = {s.left, s.top};
    }
    return d;
}

// Places the sprites on shelves of a width near the square that holds them
// all, never less than the widest; the sheet's width and height.
std::pair<int, int> layOut(std::vector<SheetSprite>& sprites, bool powerOfTwoSides,
                           const Spacing& spacing) {
    std::int64_t area = 0;
    int widest = 0;
    for (const SheetSprite& s : sprites) {
        area += std::int64_t(spacing.cellWidth(s) + spacing.padding) *
                (spacing.cellHeight(s) + spacing.padding);
        widest = std::max(widest, spacing.cellWidth(s));
    }
    int width = std::max(widest, int(std::ceil(std::sqrt(double(area)))));
    if (powerOfTwoSides) width = powerOfTwo(width);
    std::vector<SheetSprite*> order;
    for (SheetSprite& s : sprites)
        order.push_back(&s);
    int height = shelve(order, width, spacing);
    if (!powerOfTwoSides) {
        width = 0;
        for (const SheetSprite& s : sprites)
            width = std::max(width, s.sheetX + spacing.cellWidth(s));
    } else {
        height = powerOfTwo(height);
    }
    return {width, height};
}

// Each cell: the sprite, and around it its nearest edge pixel, repeated.
std::vector<std::uint32_t> drawSheet(const std::vector<SheetSprite>& sprites, int width, int height,
                                     const Spacing& spacing) {
    std::vector<std::uint32_t> sheet(std::size_t(width) * std::size_t(height), 0);
    const int e = spacing.extrude;
    for (const SheetSprite& s : sprites)
        for (int y = 0; y < spacing.cellHeight(s); ++y) {
            const std::uint32_t* from =
                s.pixels.data() + std::ptrdiff_t(std::clamp(y - e, 0, s.height - 1)) * s.width;
            std::uint32_t* to = sheet.data() + std::ptrdiff_t(s.sheetY + y) * width + s.sheetX;
            std::fill_n(to, e, from[0]);
            std::copy_n(from, s.width, to + e);
            std::fill_n(to + e + s.width, e, from[s.width - 1]);
        }
    return sheet;
}

// Every sprite in N x N blocks.
void scaleSprites(Distinct& d, int scale) {
    for (SheetSprite& s : d.sprites) {
        s.pixels = tglformat::scaledUp(s.pixels.data(), s.width, s.height, scale);
        s.width *= scale;
        s.height *= scale;
    }
}

// The frames by name (`stem_00`...), a hash or an array, as sheet readers want them.
json framesJson(const tglformat::Animation& animation, const Distinct& d, const std::string& stem,
                const ExportOptions& options) {
    const bool jsonArray = options.jsonArray;
    const int scale = options.scale, e = options.extrude;
    const std::int64_t boxW = (d.right - d.left) * scale, boxH = (d.bottom - d.top) * scale;
    const std::size_t digits = std::to_string(animation.frames.size() - 1).size();
    json frames = jsonArray ? json::array() : json::object();
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
        std::string number = std::to_string(i);
        number.insert(0, digits - number.size(), '0');
        const std::string name = stem + "_" + number;
        json entry;
        if (jsonArray) entry["filename"] = name;
        if (d.spriteOf[i] < 0) { // shows nothing
            entry["frame"] = rect(0, 0, 0, 0);
            entry["rotated"] = false;
            entry["trimmed"] = true;
            entry["spriteSourceSize"] = rect(0, 0, 0, 0);
        } else {
            const SheetSprite& s = d.sprites[std::size_t(d.spriteOf[i])];
            const tglformat::FrameRecord& f = animation.frames[i].record;
            entry["frame"] = rect(s.sheetX + e, s.sheetY + e, s.width, s.height);
            entry["rotated"] = false;
            entry["trimmed"] = s.width != boxW || s.height != boxH;
            entry["spriteSourceSize"] = rect(
                int((std::int64_t(f.x) + d.offsetOf[i].first - d.left) * scale),
                int((std::int64_t(f.y) + d.offsetOf[i].second - d.top) * scale), s.width, s.height);
        }
        entry["sourceSize"] = {{"w", boxW}, {"h", boxH}};
        entry["duration"] = animation.frames[i].duration;
        if (jsonArray)
            frames.push_back(entry);
        else
            frames[name] = entry;
    }
    return frames;
}

} // namespace

int exportSheet(const std::string& file, const std::string& output, const ExportOptions& options) {
    if (options.padding < 0 || options.padding > kMaxSpriteMargin || options.extrude < 0 ||
        options.extrude > kMaxSpriteMargin)
        throw CommandError("--padding and --extrude are from 0 to " +
                           std::to_string(kMaxSpriteMargin));
    const fs::path png = filenames::pathFromUtf8(output);
    const std::string description =
        filenames::utf8FromPath(fs::path(png).replace_extension(".json"));
    refuseExisting({output, description}, options.overwrite);
    const std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(file.c_str());
    tglformat::Animation animation;
    if (!source || !tglformat::readAnimation(*source, animation))
        throw CommandError(file + ": cannot be loaded as an animation");
    if (animation.frames.empty()) throw CommandError(file + ": has no frames");

    Distinct d = distinctSprites(animation);
    if (d.sprites.empty()) throw CommandError(file + ": no frame has an image to put on a sheet");
    if (d.right - d.left > InputLimits::kMaxImageSide ||
        d.bottom - d.top > InputLimits::kMaxImageSide)
        throw CommandError(file + ": the frames span more than " +
                           std::to_string(InputLimits::kMaxImageSide) + " pixels");
    checkScale(options.scale, int(d.right - d.left), int(d.bottom - d.top));
    if (options.scale > 1) scaleSprites(d, options.scale);
    const Spacing spacing{options.padding, options.extrude};
    const auto [width, height] = layOut(d.sprites, options.powerOfTwoSides, spacing);
    if (!InputLimits::withinImageLimits(std::uint64_t(width), std::uint64_t(height)))
        throw CommandError(file + ": the frames do not fit on a sheet within the image limits");

    const std::string stem = filenames::utf8FromPath(filenames::pathFromUtf8(file).stem());
    const json sheetJson = {
        {"frames", framesJson(animation, d, stem, options)},
        {"meta",
         {{"app", "tgl"},
          {"version", kVersion},
          {"image", filenames::utf8FromPath(png.filename())},
          {"format", "RGBA8888"},
          {"size", {{"w", width}, {"h", height}}},
          {"scale", std::to_string(options.scale)},
          // Where the frames' box sat in the viewer's window: tgl pack puts it back there.
          {"tglOrigin", {{"x", d.left}, {"y", d.top}}}}}};
    const std::string text = jsonText(sheetJson, 1) + "\n";
    writePngWhole(output, drawSheet(d.sprites, width, height, spacing).data(), width, height,
                  options.overwrite);
    writeWhole(description, std::vector<std::uint8_t>(text.begin(), text.end()), options.overwrite);
    return 0;
}

} // namespace tgltool
