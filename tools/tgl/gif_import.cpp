#include "image/input_file.h"
#include "image/limits.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/output.h"

#include <gif_lib.h>

#include <cstdio>
#include <memory>

namespace tgltool {

namespace {

int readFromFile(GifFileType* gif, GifByteType* to, int size) {
    return int(std::fread(to, 1, std::size_t(size), static_cast<std::FILE*>(gif->UserData)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

bool fitsTheLimits(std::uint64_t width, std::uint64_t height) {
    return width >= 1 && height >= 1 && width <= std::uint64_t(InputLimits::kMaxImageSide) &&
           height <= std::uint64_t(InputLimits::kMaxImageSide) &&
           width * height <= InputLimits::kMaxImagePixels;
}

// The rows of an interlaced image come in four passes.
std::vector<int> rowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            rows.push_back(y);
    return rows;
}

} // namespace

SourceInfo importGif(const std::string& path, const FrameSink& sink) {
    const imaging::InputFile input =
        imaging::openInputFile(path.c_str(), InputLimits::kMaxFileBytes);
    if (input.status != imaging::InputFileStatus::Ok)
        throw CommandError(path + ": " + imaging::inputFileProblem(input.status));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(input.file, std::fclose);
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(file.get(), readFromFile, &error));
    if (!gif) throw CommandError(path + ": not a GIF file (" + GifErrorString(error) + ")");
    const auto broken = [&](int frame) {
        return CommandError(path + ": broken at frame " + std::to_string(frame) + " (" +
                            GifErrorString(gif->Error) + ")");
    };
    const int width = gif->SWidth, height = gif->SHeight;
    if (!fitsTheLimits(std::uint64_t(width), std::uint64_t(height)))
        throw CommandError(path + ": a screen of " + std::to_string(width) + " x " +
                           std::to_string(height) + " is past the image limits");

    // Browsers start from a transparent screen and clear to transparency: the
    // background colour is not drawn.
    tglformat::Picture canvas(width, height, 0), saved;
    ComposeBudget budget(path);
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    std::vector<GifByteType> line;
    int frames = 0;
    for (GifRecordType type = UNDEFINED_RECORD_TYPE; type != TERMINATE_RECORD_TYPE;) {
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) throw broken(frames);
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) throw broken(frames);
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
                DGifExtensionToGCB(block[0], block + 1, &control);
            while (block)
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) throw broken(frames);
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) throw broken(frames);
        const GifImageDesc desc = gif->Image;
        if (frames >= InputLimits::kMaxFrames)
            throw CommandError(path + ": more than " + std::to_string(InputLimits::kMaxFrames) +
                               " frames");
        if (!fitsTheLimits(std::uint64_t(desc.Width), std::uint64_t(desc.Height)))
            throw CommandError(path + ": frame " + std::to_string(frames) +
                               " is past the image limits");
        const ColorMapObject* palette = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (!palette)
            throw CommandError(path + ": frame " + std::to_string(frames) + " has no palette");
        budget.spend(std::uint64_t(width), std::uint64_t(height));
        if (control.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;

        line.resize(std::size_t(desc.Width));
        for (const int row : rowOrder(desc.Height, desc.Interlace)) {
            if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR) throw broken(frames);
            const int y = desc.Top + row;
            if (y < 0 || y >= height) continue; // past the screen: clipped
            for (int x = 0; x < desc.Width; ++x) {
                const int index = line[std::size_t(x)];
                const int at = desc.Left + x;
                if (index == control.TransparentColor || index >= palette->ColorCount ||
                    at >= width)
                    continue;
                const GifColorType c = palette->Colors[index];
                canvas.pixels[std::size_t(y) * std::size_t(width) + std::size_t(at)] =
                    0xFF000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
            }
        }
        sink({canvas, control.DelayTime <= 1 ? kShortGifDelay : control.DelayTime * 10});
        ++frames;

        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = std::max(desc.Top, 0); y < std::min(desc.Top + desc.Height, height); ++y)
                for (int x = std::max(desc.Left, 0); x < std::min(desc.Left + desc.Width, width);
                     ++x)
                    canvas.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 0;
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = std::move(saved);
            saved = {};
        }
        control = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        // giflib keeps every image's description; a long animation needs none of them.
        GifFreeSavedImages(gif.get());
        gif->ImageCount = 0;
    }
    if (frames == 0) throw CommandError(path + ": has no frames");
    return {};
}

} // namespace tgltool
