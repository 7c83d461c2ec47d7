#include "image/limits.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/output.h"

#include <webp/demux.h>

#include <cstring>
#include <memory>

namespace tgltool {

SourceInfo importWebP(const std::string& path, const FrameSink& sink) {
    const std::vector<std::uint8_t> bytes = readWhole(path);
    const WebPData data{bytes.data(), bytes.size()};
    // The canvas and the frame count from the container, before anything is decoded.
    std::unique_ptr<WebPDemuxer, void (*)(WebPDemuxer*)> demux(WebPDemux(&data), WebPDemuxDelete);
    if (!demux) throw CommandError(path + ": not a WebP file");
    const std::uint64_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const std::uint64_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    const std::uint64_t count = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
    checkCanvasSize(path, width, height);
    if (count > std::uint64_t(InputLimits::kMaxFrames))
        throw CommandError(path + ": more than " + std::to_string(InputLimits::kMaxFrames) +
                           " frames");

    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) throw CommandError("WebP: bad library version");
    options.color_mode = MODE_BGRA; // in memory, 0xAARRGGBB words
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(
        WebPAnimDecoderNew(&data, &options), WebPAnimDecoderDelete);
    if (!decoder) throw CommandError(path + ": not a WebP animation libwebp can read");
    ComposeBudget budget(path);
    int frames = 0, previous = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder.get())) {
        budget.spend(width, height);
        std::uint8_t* pixels = nullptr;
        int end = 0; // the frame's end, in milliseconds from the start
        if (!WebPAnimDecoderGetNext(decoder.get(), &pixels, &end))
            throw CommandError(path + ": broken at frame " + std::to_string(frames));
        SourceFrame frame{tglformat::Picture(int(width), int(height), 0), end - previous};
        std::memcpy(frame.canvas.pixels.data(), pixels, frame.canvas.pixels.size() * 4);
        previous = end;
        sink(std::move(frame));
        ++frames;
    }
    if (frames == 0) throw CommandError(path + ": has no frames");
    return {};
}

} // namespace tgltool
