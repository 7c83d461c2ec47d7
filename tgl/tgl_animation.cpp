#include "tgl/tgl_animation.h"

#include "draw/sprite.h"
#include "xlibplus/stream/std_file_stream.h"
#include "xlibplus/string/string.h"

#include <cstring>

namespace {

// An engine reference for as long as a load makes textures.
class EngineReference {
public:
    EngineReference() : engine_(qubCreate(kQubInterfaceVersion)) {}
    EngineReference(const EngineReference&) = delete;
    EngineReference& operator=(const EngineReference&) = delete;
    ~EngineReference() { engine_->release(); }
    Engine& operator*() const { return *engine_; }

private:
    Engine* engine_;
};

std::uint32_t byteSwapped(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

} // namespace

CTGL::~CTGL() {
    for (std::int32_t i = 0; i < frames.size(); ++i) {
        Sprite* sprite = frames[i].sprite;
        if (!sprite) continue;
        // Each frame's texture is its own, made by the load. Sprite::engine is
        // set: this sprite's constructor set it.
        if (sprite->quad().texture != 0) Sprite::engine->freeTexture(sprite->quad().texture);
        delete sprite;
    }
    frames.clear(true);
}

bool CTGL::load(const char* path) {
    xlibplus::xStdFileStream stream(path, "rb");
    if (!stream.isOpen()) return false;
    return parse(stream);
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

bool CTGL::parse(xlibplus::IIStream& stream) {
    char magic[4] = {};
    stream.read(magic, 4);
    if (std::memcmp(magic, "DFX", 3) != 0) return false;
    stream.read(fileHeader, sizeof fileHeader);
    const std::int32_t count = readInt32(stream);
    const std::int32_t defaultDuration = readInt32(stream);
    readFrameRecords(stream, count, defaultDuration);
    readImages(stream);
    return true;
}

// A file cut short gives zeros for every value not read, as readInt32 does.
// The frame count is held to the file's size in bytes, sixteen times the
// records it can hold: a larger count comes only from a damaged or hostile
// file and would allocate without bound.
void CTGL::readFrameRecords(xlibplus::IIStream& stream, std::int32_t count, std::int32_t defaultDuration) {
    if (count <= 0) return;
    const std::uint32_t allowed = stream.size();
    if (static_cast<std::uint32_t>(count) > allowed) count = static_cast<std::int32_t>(allowed);
    for (std::int32_t i = 0; i < count; ++i) {
        frame& f = frames[frames.appendElements(1)];
        f.sprite = nullptr;
        f.x = readInt32(stream);
        f.y = readInt32(stream);
        f.aux1 = readInt32(stream);
        f.aux2 = readInt32(stream);
        f.duration = defaultDuration;
    }
    if (perFrameDurations() != 0)
        for (std::int32_t i = 0; i < count; ++i) frames[i].duration = readInt32(stream);
}

// Blocks go to frames in order; zero words take none. Reading stops at the end
// of the file, at a block with no frame left for it, and at a payload length
// that is negative or longer than the rest of the file.
void CTGL::readImages(xlibplus::IIStream& stream) {
    EngineReference engine;
    for (std::int32_t k = 0;;) {
        if (stream.eof()) return;
        if (readInt32(stream) == 0) continue;
        readInt32(stream); // not interpreted
        const std::int32_t length = readInt32(stream);
        if (k >= frames.size()) return;
        if (length < 0 || static_cast<std::uint32_t>(length) > stream.remaining()) return;
        frames[k].sprite = spriteFor(*engine, stream, static_cast<std::uint32_t>(length));
        ++k;
    }
}

Sprite* CTGL::spriteFor(Engine& engine, xlibplus::IIStream& stream, std::uint32_t payloadBytes) {
    xlibplus::xStringA image;
    image.setSize(payloadBytes);
    stream.read(image.data(), image.length());
    if (!image.decompress(imageLimit_)) return nullptr;

    const TextureHandle texture = engine.loadTexture(image.cStr(), image.length(), false);
    if (texture == 0) return nullptr;
    const float height = static_cast<float>(engine.textureHeight(texture, false));
    const float width = static_cast<float>(engine.textureWidth(texture, false));
    return new Sprite(texture, 0, 0, width, height);
}
