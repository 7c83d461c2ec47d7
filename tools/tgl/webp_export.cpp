#include "tools/tgl/webp_export.h"
#include "tools/tgl/output.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>

namespace tgltool {

struct WebPWriter::State {
    int width, height;
    WebPConfig config;
    std::unique_ptr<WebPAnimEncoder, void (*)(WebPAnimEncoder*)> encoder{nullptr,
                                                                         WebPAnimEncoderDelete};
    int timestamp = 0, frames = 0;
};

WebPWriter::WebPWriter(int width, int height) : state_(std::make_unique<State>()) {
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&state_->config))
        throw CommandError("WebP: bad library version");
    state_->config.lossless = 1;
    options.anim_params.loop_count = 0;
    state_->width = width;
    state_->height = height;
    state_->encoder.reset(WebPAnimEncoderNew(width, height, &options));
    if (!state_->encoder) throw CommandError("WebP: cannot start the animation");
}

WebPWriter::~WebPWriter() = default;

void WebPWriter::add(const std::vector<std::uint32_t>& picture, std::int32_t milliseconds) {
    State& s = *state_;
    WebPPicture frame;
    WebPPictureInit(&frame);
    frame.use_argb = 1;
    frame.width = s.width;
    frame.height = s.height;
    if (!WebPPictureAlloc(&frame)) throw CommandError("WebP: out of memory");
    std::copy(picture.begin(), picture.end(), frame.argb);
    const bool added = WebPAnimEncoderAdd(s.encoder.get(), &frame, s.timestamp, &s.config);
    WebPPictureFree(&frame);
    if (!added) throw CommandError("WebP: cannot encode frame " + std::to_string(s.frames));
    ++s.frames;
    s.timestamp += milliseconds > 0 ? milliseconds : 10;
}

std::vector<std::uint8_t> WebPWriter::finish() {
    State& s = *state_;
    WebPAnimEncoderAdd(s.encoder.get(), nullptr, s.timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAssemble(s.encoder.get(), &data))
        throw CommandError("WebP: cannot assemble the animation");
    std::vector<std::uint8_t> bytes(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return bytes;
}

} // namespace tgltool
