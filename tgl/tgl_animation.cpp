#include "tgl/tgl_animation.h"

#include "draw/sprite.h"
#include "tgl/tgl_file_reader.h"
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
    return TglFileReader::readInt32(stream);
}

std::int32_t CTGL::perFrameDurations() const {
    std::int32_t flag;
    std::memcpy(&flag, fileHeader, sizeof flag);
    return flag;
}

bool CTGL::parse(xlibplus::IIStream& stream) {
    TglFileReader reader(stream);
    if (!reader.readHeader(fileHeader)) return false;
    readFrameRecords(reader);
    readImages(reader);
    return true;
}

void CTGL::readFrameRecords(TglFileReader& reader) {
    const std::int32_t count = reader.frameCount();
    for (std::int32_t i = 0; i < count; ++i) {
        frame& f = frames[frames.appendElements(1)];
        const TglFileReader::Record r = reader.readRecord();
        f.sprite = nullptr;
        f.x = r.x;
        f.y = r.y;
        f.aux1 = r.aux1;
        f.aux2 = r.aux2;
        f.duration = reader.defaultDuration();
    }
    if (perFrameDurations() != 0)
        for (std::int32_t i = 0; i < count; ++i)
            frames[i].duration = reader.readDuration();
}

// Blocks go to frames in order; reading stops at the end of the file, at a
// block with no frame left for it, and at a length the file cannot hold.
void CTGL::readImages(TglFileReader& reader) {
    EngineReference engine;
    TglFileReader::Block block;
    for (std::int32_t k = 0; reader.nextBlock(k, block) == TglFileReader::Next::Block; ++k) {
        xlibplus::xStringA image;
        reader.readPayload(block, image);
        frames[k].sprite = spriteFor(*engine, image);
    }
}

Sprite* CTGL::spriteFor(Engine& engine, xlibplus::xStringA& image) {
    if (!image.decompress(imageLimit_)) return nullptr;

    const TextureHandle texture = engine.loadTexture(image.cStr(), image.length(), false);
    if (texture == 0) return nullptr;
    const float height = static_cast<float>(engine.textureHeight(texture, false));
    const float width = static_cast<float>(engine.textureWidth(texture, false));
    return new Sprite(texture, 0, 0, width, height);
}
