#pragma once

#include "engine/engine_ref.h"
#include "format/tgl_format.h"
#include "xlibplus/container/vector.h"
#include "xlibplus/stream/stream.h"

#include <cstdint>
#include <vector>

class Sprite;
namespace tglformat {
class ByteSource;
}

// An animation read from a .tgl file: a 40-byte header, one record per frame
// (where it is drawn and for how long) and, per frame, at most one image,
// which becomes an engine texture wrapped in a Sprite covering all of it.
// The file is read by the format library; the animation owns its frames'
// sprites and their textures, and holds an engine reference of its own while
// it has any.
class CTGL {
  public:
    struct frame {
        std::int32_t x;
        std::int32_t y;
        std::int32_t aux1;
        std::int32_t aux2;
        Sprite* sprite;        // null when the frame has no image
        std::int32_t duration; // milliseconds
    };

    // Limits against hostile files: a frame image inflates to at most this
    // many bytes (a larger one gets no sprite).
    static constexpr std::uint32_t kMaxImageBytes = InputLimits::kMaxInflatedImageBytes;

    CTGL() = default;
    CTGL(const CTGL&) = delete;
    CTGL& operator=(const CTGL&) = delete;
    ~CTGL();

    // True when the file opened and began with "DFX"; single images that do
    // not load leave their frames without a sprite.
    bool load(const char* path);
    bool parse(xlibplus::IIStream& stream);
    static std::int32_t readInt32(xlibplus::IIStream& stream);

    // For a loader that decodes elsewhere: the file's header and frame table,
    // then each frame's texture as it comes.
    void setTable(const tglformat::Header& header, const std::vector<tglformat::Frame>& table);
    // Frame `frame` gets a sprite over a texture of these pixels, which the
    // engine takes over without a copy. Engine thread only.
    void adoptPixels(std::int32_t frame, imaging::DecodedImage&& image);

    std::int32_t perFrameDurations() const;
    // Every frame's duration, in frame order.
    std::vector<std::int32_t> durations();
    // The inflated size past which a frame image is refused; kMaxImageBytes by default.
    void setImageLimit(std::uint32_t bytes) { imageLimit_ = bytes; }

    std::uint8_t fileHeader[tglformat::kHeaderBytes] = {};
    xlibplus::xVector<frame> frames;

  private:
    bool read(tglformat::ByteSource& source);

    std::uint32_t imageLimit_ = kMaxImageBytes;
    // Taken by the first texture; frees them all at the end.
    EngineRef engine_{EngineRef::kNone};
};

// The name a bad frame index reports, as the viewer has always printed it.
template <>
struct xlibplus::xVectorIndexOperation<CTGL::frame, xlibplus::xEmptyLock<xlibplus::xEmptyLocker>,
                                       xlibplus::xEmptyLocker> {
    static const char* name(const char*) {
        return "xlibplus::_xVector<struct CTGL::frame,class xlibplus::xEmptyLock<class "
               "xlibplus::xEmptyLocker>,class xlibplus::xEmptyLocker>::operator []";
    }
};
