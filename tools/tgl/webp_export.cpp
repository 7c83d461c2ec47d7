#include "tools/tgl/webp_export.h"
#include "tools/tgl/output.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>

namespace tgltool {

// A frame that lasts no time at all in the viewer shows for one of its frames, 10 ms.
std::vector<std::uint8_t> animatedWebP(const std::vector<std::vector<std::uint32_t>>& frames,
                                       int width, int height,
                                       const std::vector<std::int32_t>& durations) {
    WebPAnimEncoderOptions options;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config))
        throw CommandError("WebP: bad library version");
    config.lossless = 1;
    options.anim_params.loop_count = 0;
    std::unique_ptr<WebPAnimEncoder, void (*)(WebPAnimEncoder*)> encoder(
        WebPAnimEncoderNew(width, height, &options), WebPAnimEncoderDelete);
    int timestamp = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = width;
        picture.height = height;
        if (!WebPPictureAlloc(&picture)) throw CommandError("WebP: out of memory");
        std::copy(frames[i].begin(), frames[i].end(), picture.argb);
        const bool added = WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config);
        WebPPictureFree(&picture);
        if (!added) throw CommandError("WebP: cannot encode frame " + std::to_string(i));
        timestamp += durations[i] > 0 ? durations[i] : 10;
    }
    WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAssemble(encoder.get(), &data))
        throw CommandError("WebP: cannot assemble the animation");
    std::vector<std::uint8_t> bytes(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return bytes;
}

} // namespace tgltool
