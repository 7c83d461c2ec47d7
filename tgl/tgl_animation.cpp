#include "tgl/tgl_animation.h"

#include "draw/sprite.h"
#include "engine/engine_extensions.h"
#include "format/byte_source.h"
#include "format/decode.h"
#include "format/scanner.h"

#include <cstring>

namespace {

// An input stream, from where it stands to its end, as the format library reads.
class StreamSource final : public tglformat::ByteSource {
  public:
    explicit StreamSource(xlibplus::IIStream& stream)
        : stream_(stream), size_(stream.remaining()) {}
    std::size_t read(void* to, std::size_t bytes) override {
        return stream_.read(to, static_cast<std::uint32_t>(std::min<std::size_t>(bytes, size_)));
    }
    std::uint64_t size() const override { return size_; }

  private:
    xlibplus::IIStream& stream_;
    std::uint32_t size_;
};

std::uint32_t byteSwapped(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

} // namespace

CTGL::~CTGL() {
    for (std::int32_t i = 0; i < frames.size(); ++i) {
        Sprite* sprite = frames[i].sprite;
        if (!sprite) continue;
        // Each frame's texture is its own, made for this animation, which took engine_.
        if (sprite->quad().texture != 0) engine_->freeTexture(sprite->quad().texture);
        delete sprite;
    }
    frames.clear(true);
}

bool CTGL::load(const char* path) {
    const std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(path);
    return source && read(*source);
}

bool CTGL::parse(xlibplus::IIStream& stream) {
    StreamSource source(stream);
    return read(source);
}

std::int32_t CTGL::readInt32(xlibplus::IIStream& stream) {
    std::uint32_t value = 0;
    stream.read(&value, 4);
    if (stream.needsByteSwap()) value = byteSwapped(value);
    return static_cast<std::int32_t>(value);
}

std::int32_t CTGL::perFrameDurations() const {
    std::int32_t flag;
    std::memcpy(&flag, fileHeader, sizeof flag);
    return flag;
}

std::vector<std::int32_t> CTGL::durations() {
    std::vector<std::int32_t> all;
    all.reserve(static_cast<std::size_t>(frames.size()));
    for (std::int32_t i = 0; i < frames.size(); ++i)
        all.push_back(frames[i].duration);
    return all;
}

bool CTGL::read(tglformat::ByteSource& source) {
    tglformat::Scanner scanner(source, imageLimit_);
    if (!scanner.readTable()) return false;
    setTable(scanner.header(), scanner.frames());
    tglformat::decodeFrames(scanner, [this](tglformat::DecodedFrame& decoded) {
        if (decoded.status == tglformat::FrameStatus::Ok)
            adoptPixels(decoded.index, std::move(decoded.pixels));
    });
    return true;
}

void CTGL::setTable(const tglformat::Header& header, const std::vector<tglformat::Frame>& table) {
    std::memcpy(fileHeader, header.bytes, sizeof fileHeader);
    for (const tglformat::Frame& from : table) {
        frame& f = frames[frames.appendElements(1)];
        f.x = from.record.x;
        f.y = from.record.y;
        f.aux1 = from.record.aux1;
        f.aux2 = from.record.aux2;
        f.sprite = nullptr;
        f.duration = from.duration;
    }
}

namespace {

void freePixels(void* pixels) { delete static_cast<std::vector<std::uint32_t>*>(pixels); }

} // namespace

void CTGL::adoptPixels(std::int32_t frame, imaging::DecodedImage&& image) {
    engine_.acquire();
    EngineExtensions* extensions = extensionsOf(engine_.get());
    if (!extensions) return;
    auto* pixels = new std::vector<std::uint32_t>(std::move(image.pixels));
    const TextureHandle texture =
        extensions->adoptTexture(image.width, image.height, pixels->data(), freePixels, pixels);
    if (texture == 0) return;
    frames[frame].sprite = new Sprite(texture, 0, 0, static_cast<float>(image.width),
                                      static_cast<float>(image.height));
}
