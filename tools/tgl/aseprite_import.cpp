#include "image/blend.h"
#include "image/limits.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/aseprite_file.h"
#include "tools/tgl/output.h"
#include "tools/tgl/packing.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace tgltool {

namespace {

using aseprite::Cel;
using aseprite::ColourMode;
using aseprite::File;
using aseprite::Layer;

// The layers that are drawn: visible, in no hidden group, and among those asked for.
std::vector<bool> drawnLayers(const File& file, const std::vector<std::string>& names) {
    std::vector<bool> drawn(file.layers.size());
    for (std::size_t i = 0; i < file.layers.size(); ++i) {
        bool visible = true, asked = names.empty();
        for (int at = int(i); at >= 0; at = file.layers[std::size_t(at)].parent) {
            const Layer& layer = file.layers[std::size_t(at)];
            visible = visible && layer.visible;
            asked = asked || std::count(names.begin(), names.end(), layer.name) > 0;
        }
        drawn[i] = visible && asked && !file.layers[i].group && !file.layers[i].tilemap;
    }
    for (const std::string& name : names)
        if (std::none_of(file.layers.begin(), file.layers.end(),
                         [&](const Layer& layer) { return layer.name == name; }))
            throw CommandError("--layer " + name + ": the file has no layer of that name");
    return drawn;
}

// A layer's opacity with its groups' (a group's opacity fades all it holds).
int opacityOf(const File& file, int index) {
    int opacity = 255;
    for (int at = index; at >= 0; at = file.layers[std::size_t(at)].parent)
        opacity = (opacity * file.layers[std::size_t(at)].opacity + 127) / 255;
    return opacity;
}

int bytesPerPixel(ColourMode mode) { return int(mode) / 8; }

// The cel's pixels, inflated to exactly their size, as 0xAARRGGBB.
std::vector<std::uint32_t> celPixels(const File& file, const Cel& cel, bool background) {
    const std::size_t count = std::size_t(cel.width) * std::size_t(cel.height);
    const std::size_t bytes = count * std::size_t(bytesPerPixel(file.mode));
    std::vector<std::uint8_t> raw(bytes);
    if (cel.compressed) {
        uLongf length = uLongf(bytes);
        if (uncompress(raw.data(), &length, cel.data, uLong(cel.size)) != Z_OK || length != bytes)
            throw std::runtime_error("a cel's image is broken");
    } else {
        if (cel.size < bytes) throw std::runtime_error("a cel's image is cut short");
        std::copy_n(cel.data, bytes, raw.begin());
    }
    std::vector<std::uint32_t> pixels(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = raw.data() + i * std::size_t(bytesPerPixel(file.mode));
        switch (file.mode) {
        case ColourMode::Rgba:
            pixels[i] = std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 |
                        std::uint32_t(p[1]) << 8 | p[2];
            break;
        case ColourMode::Grayscale:
            pixels[i] = std::uint32_t(p[1]) << 24 | std::uint32_t(p[0]) * 0x010101u;
            break;
        case ColourMode::Indexed:
            pixels[i] = !background && p[0] == file.transparentIndex ? 0 : file.palette[p[0]];
            break;
        }
    }
    return pixels;
}

// The cel over the canvas at its place, faded by its and its layer's opacity;
// what lies past the canvas is clipped.
void drawCel(tglformat::Picture& canvas, const std::vector<std::uint32_t>& pixels, const Cel& cel,
             int opacity) {
    for (int y = std::max(0, -cel.y); y < cel.height && cel.y + y < canvas.height; ++y)
        for (int x = std::max(0, -cel.x); x < cel.width && cel.x + x < canvas.width; ++x) {
            std::uint32_t source = pixels[std::size_t(y) * std::size_t(cel.width) + std::size_t(x)];
            const std::uint32_t alpha = ((source >> 24) * std::uint32_t(opacity) + 127) / 255;
            source = (source & 0xFFFFFFu) | alpha << 24;
            std::uint32_t& target =
                canvas.pixels[std::size_t(cel.y + y) * std::size_t(canvas.width) +
                              std::size_t(cel.x + x)];
            target = imaging::composeOver(source, target);
        }
}

// Back to front: by layer index plus the cel's z-index, then by z-index.
std::vector<const Cel*> drawingOrder(const std::vector<Cel>& cels) {
    std::vector<const Cel*> order;
    for (const Cel& cel : cels)
        order.push_back(&cel);
    std::stable_sort(order.begin(), order.end(), [](const Cel* a, const Cel* b) {
        const int oa = a->layer + a->zIndex, ob = b->layer + b->zIndex;
        return oa < ob || (oa == ob && a->zIndex < b->zIndex);
    });
    return order;
}

std::vector<std::size_t> framesToRead(const File& file, const std::string& tag) {
    if (tag.empty()) return tagOrder(0, file.frames.size() - 1, TagDirection::Forward);
    for (const aseprite::Tag& t : file.tags) {
        if (t.name != tag) continue;
        if (t.from > t.to || std::size_t(t.to) >= file.frames.size())
            throw CommandError("tag " + tag + ": its frames are not within the file's");
        const TagDirection directions[] = {TagDirection::Forward, TagDirection::Reverse,
                                           TagDirection::PingPong, TagDirection::PingPongReverse};
        return tagOrder(std::size_t(t.from), std::size_t(t.to), directions[t.direction & 3],
                        t.repeat);
    }
    throw CommandError("no tag named " + tag);
}

// Other blend modes are drawn as normal, and said so once per layer.
void noteBlendModes(const File& file, const std::vector<bool>& drawn) {
    for (std::size_t i = 0; i < file.layers.size(); ++i)
        if (drawn[i] && file.layers[i].blendMode != 0)
            std::fprintf(stderr, "tgl: layer \"%s\" uses blend mode %d, drawn as normal\n",
                         file.layers[i].name.c_str(), file.layers[i].blendMode);
}

// Every canvas and every cel drawn, counted before the first is made: a
// linked cel costs a small file nothing, however often it is drawn.
void spendBudget(const std::string& path, const File& file, const std::vector<std::size_t>& order,
                 const std::vector<bool>& drawn) {
    ComposeBudget budget(path);
    for (const std::size_t index : order) {
        budget.spend(std::uint64_t(file.width), std::uint64_t(file.height));
        for (const Cel& cel : file.frames[index].cels)
            if (drawn[std::size_t(cel.layer)])
                budget.spend(std::uint64_t(cel.width), std::uint64_t(cel.height));
    }
}

} // namespace

SourceInfo importAseprite(const std::string& path, const AsepriteOptions& options,
                          const FrameSink& sink) {
    const std::vector<std::uint8_t> bytes = readWhole(path);
    try {
        const File file = aseprite::read(bytes);
        checkCanvasSize(path, std::uint64_t(file.width), std::uint64_t(file.height));
        if (file.frames.empty()) throw CommandError(path + ": has no frames");
        const std::vector<bool> drawn = drawnLayers(file, options.layers);
        noteBlendModes(file, drawn);
        const std::vector<std::size_t> order = framesToRead(file, options.tag);
        spendBudget(path, file, order, drawn);
        for (const std::size_t index : order) {
            const aseprite::Frame& frame = file.frames[index];
            tglformat::Picture canvas(file.width, file.height, 0);
            for (const Cel* cel : drawingOrder(frame.cels)) {
                if (!drawn[std::size_t(cel->layer)]) continue;
                const bool background = file.layers[std::size_t(cel->layer)].background;
                const int opacity = (cel->opacity * opacityOf(file, cel->layer) + 127) / 255;
                drawCel(canvas, celPixels(file, *cel, background), *cel, opacity);
            }
            sink({std::move(canvas), frame.duration});
        }
    } catch (const CommandError&) {
        throw;
    } catch (const std::runtime_error& problem) {
        throw CommandError(path + ": " + problem.what());
    }
    return {};
}

} // namespace tgltool
