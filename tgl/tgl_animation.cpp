#include "tgl/tgl_animation.h"

#include "draw/sprite.h"
#include "qub/image/input_file.h"
#include "tgl/tgl_file_reader.h"
#include "xlibplus/stream/std_file_stream.h"
#include "xlibplus/string/string.h"

#include <cstring>

CTGL::~CTGL() {
    for (std::int32_t i = 0; i < frames.size(); ++i) {
        Sprite* sprite = frames[i].sprite;
        if (!sprite) continue;
        // Each frame's texture is its own, made by the load, which took engine_.
        if (sprite->quad().texture != 0) engine_->freeTexture(sprite->quad().texture);
        delete sprite;
    }
    frames.clear(true);
}

bool CTGL::load(const char* path) {
    xlibplus::xStdFileStream stream(qub::openInputFile(path, InputLimits::kMaxFileBytes).file);
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
    if (!readTable(reader)) return false;
    readImages(reader);
    return true;
}

bool CTGL::readTable(TglFileReader& reader) {
    if (!reader.readHeader(fileHeader)) return false;
    readFrameRecords(reader);
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
    TglFileReader::Block block;
    for (std::int32_t k = 0; reader.nextBlock(k, block) == TglFileReader::Next::Block; ++k) {
        xlibplus::xStringA image;
        if (reader.readImage(block, image, imageLimit_).status == TglFileReader::FrameStatus::Ok)
            setFrameImage(k, image.cStr(), image.length());
    }
}

void CTGL::setFrameImage(std::int32_t frame, const void* image, std::uint32_t size) {
    engine_.acquire();
    const TextureHandle texture =
        engine_->loadTexture(static_cast<const char*>(image), size, false);
    if (texture == 0) return;
    const float height = static_cast<float>(engine_->textureHeight(texture, false));
    const float width = static_cast<float>(engine_->textureWidth(texture, false));
    frames[frame].sprite = new Sprite(texture, 0, 0, width, height);
}
