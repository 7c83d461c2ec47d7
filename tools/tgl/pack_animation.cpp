// tgl pack of an animated GIF, an animated WebP or a sprite sheet's JSON:
// each composed frame trimmed to what shows and placed where it showed.

#include "format/tgl_format.h"
#include "format/thumbnail.h"
#include "image/image.h"
#include "image/limits.h"
#include "platform/file_names.h"
#include "tools/common/bmp_writer.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"
#include "tools/tgl/packing.h"

#include <climits>
#include <filesystem>

namespace tgltool {

namespace {

struct PackedFrame {
    std::vector<std::uint8_t> image; // empty: nothing shows
    std::int32_t x = 0, y = 0;       // in the source's canvas
    std::int32_t duration = 0;
};

std::vector<std::uint8_t> encode(const std::vector<std::uint32_t>& pixels, int width, int height,
                                 const std::string& format) {
    if (format == "tga") return tgltools::encodeTga(width, height, pixels, true);
    if (format == "bmp") return tgltools::encodeBmp(width, height, pixels);
    return imaging::encodePng(pixels.data(), width, height);
}

std::string lowerExtension(const std::string& path) {
    std::string extension = filenames::utf8FromPath(filenames::pathFromUtf8(path).extension());
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// The .tgl file of the frames, each placed at `at` plus its own offset.
std::vector<std::uint8_t> tglOf(std::vector<PackedFrame>& frames,
                                std::pair<std::int32_t, std::int32_t> at) {
    tgltools::TglWriter writer;
    writer.perFrameDurations(1).defaultDuration(tglformat::kDefaultDuration);
    std::vector<std::vector<std::uint8_t>> images;
    std::vector<bool> hasImage;
    for (PackedFrame& f : frames) {
        const std::int64_t x = std::int64_t(at.first) + f.x, y = std::int64_t(at.second) + f.y;
        if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
            throw CommandError("--at " + std::to_string(at.first) + "," +
                               std::to_string(at.second) +
                               " puts frames past the frame table's positions");
        writer.frame({std::int32_t(x), std::int32_t(y), f.duration, 0, 0});
        hasImage.push_back(!f.image.empty());
        images.push_back(std::move(f.image));
    }
    addBlocks(writer, images, hasImage);
    return writer.build();
}

SourceInfo importSource(const std::string& input, const PackOptions& options,
                        const FrameSink& sink) {
    if (options.gridWidth > 0)
        return importGrid(input,
                          {options.gridWidth, options.gridHeight, options.count, options.margin,
                           options.spacing, options.duration},
                          sink);
    const std::string extension = lowerExtension(input);
    if (extension == ".gif") return importGif(input, sink);
    if (extension == ".webp") return importWebP(input, sink);
    if (extension == ".png" || extension == ".apng") return importApng(input, sink);
    if (extension == ".aseprite" || extension == ".ase")
        return importAseprite(input, {options.tag, options.layers}, sink);
    return importSheet(input, {options.tag, options.allowOutside}, sink);
}

} // namespace

bool isAnimationInput(const std::string& path) {
    const std::string extension = lowerExtension(path);
    return extension == ".gif" || extension == ".webp" || extension == ".json" ||
           extension == ".aseprite" || extension == ".ase" || extension == ".apng" ||
           (extension == ".png" && isAnimatedPng(path));
}

int packAnimation(const PackOptions& options) {
    if (options.format != "png" && options.format != "tga" && options.format != "bmp")
        throw CommandError("--format is png, tga or bmp: " + options.format);
    refuseExisting(options.output, options.overwrite);
    const std::string& input = options.inputs.front();

    std::vector<PackedFrame> frames;
    int width = 0, height = 0; // the largest canvas
    std::uint64_t decoded = 0; // what the viewer will hold, 4 bytes a pixel
    Progress progress("reading frames", 0);
    const FrameSink sink = [&](SourceFrame&& frame) {
        const tglformat::Picture& canvas = frame.canvas;
        width = std::max(width, canvas.width);
        height = std::max(height, canvas.height);
        const tglformat::Box box =
            options.trim ? tglformat::opaqueBox(canvas.pixels.data(), canvas.width, canvas.height)
                         : tglformat::Box{0, 0, canvas.width, canvas.height};
        PackedFrame packed{{}, box.left, box.top, frame.duration};
        if (!box.empty()) {
            decoded += std::uint64_t(box.width()) * std::uint64_t(box.height()) * 4;
            if (decoded > InputLimits::kMaxDecodedBytesPerFile)
                throw CommandError(input + ": the frames would decode to more than " +
                                   std::to_string(InputLimits::kMaxDecodedBytesPerFile >> 20) +
                                   " MiB, past what the viewer holds of one file");
            packed.image = encode(tglformat::cropped(canvas.pixels.data(), canvas.width, box),
                                  box.width(), box.height(), options.format);
        }
        frames.push_back(std::move(packed));
        progress.step(frames.size());
    };

    const SourceInfo info = importSource(input, options, sink);
    if (frames.empty()) throw CommandError(input + ": has no frames");

    // By default the animation is centred in the viewer's window, or where
    // `tgl export --sheet` found it.
    const std::pair<std::int32_t, std::int32_t> at =
        options.hasAt ? options.at
        : info.origin ? *info.origin
                      : std::make_pair((tglformat::kViewWidth - width) / 2,
                                       (tglformat::kViewHeight - height) / 2);
    writeWhole(options.output, tglOf(frames, at), options.overwrite);
    return 0;
}

} // namespace tgltool
