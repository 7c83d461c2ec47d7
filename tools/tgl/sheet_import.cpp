#include "format/tgl_format.h"
#include "image/image.h"
#include "image/limits.h"
#include "platform/file_names.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/output.h"
#include "tools/tgl/packing.h"

#include <nlohmann/json.hpp>

namespace tgltool {

namespace {

namespace fs = std::filesystem;
// The frames in the file's own order, not sorted by name.
using json = nlohmann::ordered_json;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

int whole(const json& object, const char* name, const std::string& where) {
    if (!object.is_object() || !object.contains(name) || !object[name].is_number_integer() ||
        object[name].get<std::int64_t>() < 0 ||
        object[name].get<std::int64_t>() > InputLimits::kMaxImageSide)
        throw CommandError(where + name + " must be a whole number from 0 to " +
                           std::to_string(InputLimits::kMaxImageSide));
    return object[name].get<int>();
}

Rect rectOf(const json& object, const char* name, const std::string& where) {
    if (!object.contains(name)) throw CommandError(where + "has no " + name);
    const json& r = object[name];
    const std::string inside = where + name + ".";
    return {whole(r, "x", inside), whole(r, "y", inside), whole(r, "w", inside),
            whole(r, "h", inside)};
}

// The frames to read, by their index in the JSON: all, or a frame tag's range
// in its direction.
std::vector<std::size_t> chosenFrames(const json& meta, std::size_t count, const std::string& tag) {
    std::vector<std::size_t> order;
    if (tag.empty()) {
        for (std::size_t i = 0; i < count; ++i)
            order.push_back(i);
        return order;
    }
    const json tags = meta.is_object() ? meta.value("frameTags", json::array()) : json::array();
    for (const json& t : tags) {
        if (!t.is_object() || t.value("name", "") != tag) continue;
        const int from = whole(t, "from", "frame tag " + tag + ": ");
        const int to = whole(t, "to", "frame tag " + tag + ": ");
        if (from > to || std::size_t(to) >= count)
            throw CommandError("frame tag " + tag + ": from " + std::to_string(from) + " to " +
                               std::to_string(to) + " is not within the " + std::to_string(count) +
                               " frames");
        const std::string direction = t.value("direction", "forward");
        return tagOrder(std::size_t(from), std::size_t(to),
                        direction == "reverse"            ? TagDirection::Reverse
                        : direction == "pingpong"         ? TagDirection::PingPong
                        : direction == "pingpong_reverse" ? TagDirection::PingPongReverse
                                                          : TagDirection::Forward);
    }
    throw CommandError("no frame tag named " + tag);
}

// The sheet's picture, read from beside the JSON and held to meta.size.
imaging::DecodedImage sheetImage(const std::string& path, const json& meta, bool allowOutside) {
    const std::string image = filenames::utf8FromPath(fileInside(
        filenames::pathFromUtf8(path).parent_path(), meta["image"], allowOutside, "meta.image"));
    const std::vector<std::uint8_t> bytes = readWhole(image);
    imaging::DecodedImage pixels;
    const imaging::ImageStatus status = imaging::decodeImage(bytes.data(), bytes.size(), pixels);
    if (status != imaging::ImageStatus::Ok)
        throw CommandError(image + (status == imaging::ImageStatus::OverLimit
                                        ? ": the sheet is past the image limits"
                                        : ": not an image the viewer can show"));
    if (meta.contains("size")) {
        const int w = whole(meta["size"], "w", "meta.size."),
                  h = whole(meta["size"], "h", "meta.size.");
        if (w != pixels.width || h != pixels.height)
            throw CommandError("meta.size is " + std::to_string(w) + " x " + std::to_string(h) +
                               " but the sheet is " + std::to_string(pixels.width) + " x " +
                               std::to_string(pixels.height));
    }
    return pixels;
}

// Hash or array, the same records in the file's order, by name.
std::vector<std::pair<std::string, const json*>> frameRecords(const json& sheet) {
    std::vector<std::pair<std::string, const json*>> frames;
    const bool hash = sheet["frames"].is_object();
    for (auto item = sheet["frames"].begin(); item != sheet["frames"].end(); ++item) {
        const std::string name =
            hash ? item.key() : item->value("filename", std::to_string(frames.size()));
        frames.emplace_back(name, &*item);
    }
    if (frames.size() > std::size_t(InputLimits::kMaxFrames))
        throw CommandError("more than " + std::to_string(InputLimits::kMaxFrames) + " frames");
    return frames;
}

// Where one frame's record puts its piece of the sheet, checked.
struct Placement {
    Rect piece;   // in the sheet
    bool rotated; // lies in the sheet turned a quarter clockwise
    Rect placed;  // on the frame's canvas
    int canvasW, canvasH;
    std::int32_t duration;
};

Placement placementOf(const json& f, const std::string& where,
                      const imaging::DecodedImage& pixels) {
    if (!f.is_object()) throw CommandError(where + "must be an object");
    Placement p{rectOf(f, "frame", where), f.value("rotated", false), {}, 0, 0, 0};
    const Rect& r = p.piece;
    const int sheetW = p.rotated ? r.h : r.w, sheetH = p.rotated ? r.w : r.h;
    if (std::int64_t(r.x) + sheetW > pixels.width || std::int64_t(r.y) + sheetH > pixels.height)
        throw CommandError(where + "lies outside the " + std::to_string(pixels.width) + " x " +
                           std::to_string(pixels.height) + " sheet");
    p.placed = f.contains("spriteSourceSize") ? rectOf(f, "spriteSourceSize", where)
                                              : Rect{0, 0, r.w, r.h};
    p.canvasW = p.placed.x + r.w, p.canvasH = p.placed.y + r.h;
    if (f.contains("sourceSize")) {
        p.canvasW = whole(f["sourceSize"], "w", where + "sourceSize.");
        p.canvasH = whole(f["sourceSize"], "h", where + "sourceSize.");
    }
    if (std::int64_t(p.placed.x) + r.w > p.canvasW || std::int64_t(p.placed.y) + r.h > p.canvasH)
        throw CommandError(where + "spriteSourceSize lies outside sourceSize");
    if (std::uint64_t(p.canvasW) * std::uint64_t(p.canvasH) > InputLimits::kMaxImagePixels)
        throw CommandError(where + "sourceSize is past the image limits");
    const json duration = f.value("duration", json(tglformat::kDefaultDuration));
    if (!duration.is_number_integer() || duration.get<std::int64_t>() < 0 ||
        duration.get<std::int64_t>() > INT32_MAX)
        throw CommandError(where + "duration must be a whole number of milliseconds");
    p.duration = duration.get<std::int32_t>();
    return p;
}

// The frame's piece of the sheet on its own canvas.
SourceFrame frameOf(const Placement& p, const imaging::DecodedImage& pixels) {
    SourceFrame frame{tglformat::Picture(p.canvasW, p.canvasH, 0), p.duration};
    const Rect& r = p.piece;
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const int sx = p.rotated ? r.x + (r.h - 1 - y) : r.x + x;
            const int sy = p.rotated ? r.y + x : r.y + y;
            frame.canvas.pixels[std::size_t(p.placed.y + y) * std::size_t(p.canvasW) +
                                std::size_t(p.placed.x + x)] =
                pixels.pixels[std::size_t(sy) * std::size_t(pixels.width) + std::size_t(sx)];
        }
    return frame;
}

// Where tgl export found the frames' box, when the sheet says.
SourceInfo originOf(const json& meta) {
    SourceInfo info;
    if (meta.contains("tglOrigin") && meta["tglOrigin"].is_object()) {
        const json& o = meta["tglOrigin"];
        if (!o.value("x", json()).is_number_integer() || !o.value("y", json()).is_number_integer())
            throw CommandError("meta.tglOrigin must have whole x and y");
        info.origin = std::make_pair(o["x"].get<std::int32_t>(), o["y"].get<std::int32_t>());
    }
    return info;
}

} // namespace

SourceInfo importSheet(const std::string& path, const SheetOptions& options,
                       const FrameSink& sink) {
    json sheet;
    try {
        const std::vector<std::uint8_t> text = readWhole(path);
        sheet = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        throw CommandError(path + ": not valid JSON (at byte " + std::to_string(e.byte) + ")");
    }
    // Every frame checked, and every canvas counted, before the first is made.
    imaging::DecodedImage pixels;
    std::vector<Placement> placements;
    SourceInfo info;
    try {
        if (!sheet.is_object() || !sheet.contains("frames") ||
            !(sheet["frames"].is_object() || sheet["frames"].is_array()) ||
            !sheet.contains("meta") || !sheet["meta"].is_object() ||
            !sheet["meta"].contains("image") || !sheet["meta"]["image"].is_string())
            throw CommandError("a sprite sheet's JSON has \"frames\" and \"meta\" with \"image\"");
        const json& meta = sheet["meta"];
        pixels = sheetImage(path, meta, options.allowOutside);
        const std::vector<std::pair<std::string, const json*>> frames = frameRecords(sheet);
        for (const std::size_t index : chosenFrames(meta, frames.size(), options.tag))
            placements.push_back(
                placementOf(*frames[index].second, "frame " + frames[index].first + ": ", pixels));
        info = originOf(meta);
    } catch (const CommandError& e) {
        throw CommandError(path + ": " + e.what());
    } catch (const json::exception&) {
        throw CommandError(path + ": a value of the wrong type");
    }
    ComposeBudget budget(path);
    for (const Placement& placement : placements)
        budget.spend(std::uint64_t(placement.canvasW), std::uint64_t(placement.canvasH));
    for (const Placement& placement : placements)
        sink(frameOf(placement, pixels));
    return info;
}

} // namespace tgltool
