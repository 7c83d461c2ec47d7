#pragma once

#include "image/image.h"
#include "image/limits.h"

#include <cstdint>
#include <vector>

// The .tgl layout. Integers are 32-bit two's complement, little-endian;
// offsets count from the start of the file:
//   0  "DFX" and one byte not looked at
//   4  40 header bytes, kept as they are; the first word non-zero means that
//      a duration table follows the frame records
//  44  the frame count, 48 the default duration in milliseconds
//  52  one record per frame (x, y, aux1, aux2), then the duration table
// then the image area to the end of the file: zero words, which are skipped,
// and blocks (a non-zero marker, a word not interpreted, a payload length,
// the payload: a zlib stream of an image file), given to the frames in order.
namespace tglformat {

inline constexpr char kMagic[] = "DFX"; // compared byte for byte
inline constexpr std::uint32_t kMagicBytes = 3;
inline constexpr std::uint32_t kHeaderBytes = 40;
inline constexpr std::uint32_t kTableOffset = 52;
inline constexpr std::uint32_t kRecordBytes = 16;
inline constexpr std::uint32_t kDurationBytes = 4;

// Frame positions are pixels of the viewer's window, which shows them on white.
inline constexpr int kViewWidth = 800;
inline constexpr int kViewHeight = 600;
inline constexpr std::uint32_t kViewBackground = 0xFFFFFFFF;

// What the tools give a frame whose time nothing else says, in milliseconds.
inline constexpr std::int32_t kDefaultDuration = 100;

struct FrameRecord {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t aux1 = 0; // stored, not interpreted
    std::int32_t aux2 = 0; // stored, not interpreted
};

struct Frame {
    FrameRecord record;
    std::int32_t duration = 0; // milliseconds, as the file gives it
};

struct Header {
    std::uint8_t magicFourth = 0;
    std::uint8_t bytes[kHeaderBytes] = {};
    std::int32_t declaredFrameCount = 0;
    // The frame count held to the records the file can hold (the last may be
    // cut short) and to InputLimits::kMaxFrames.
    std::int32_t frameCount = 0;
    std::int32_t defaultDuration = 0;
    std::uint32_t fileSize = 0;

    std::int32_t perFrameDurations() const; // the header's first word
};

struct Block {
    std::uint32_t offset = 0; // of the marker
    std::int32_t marker = 0;
    std::int32_t secondWord = 0; // stored, never interpreted
    std::int32_t length = 0;
};

// What became of a frame's image.
enum class FrameStatus {
    Ok,
    NoBlock,           // no block reached this frame
    NotZlib,           // the payload is no zlib stream
    OverSizeLimit,     // it inflates past the limit
    NotAnImage,        // no accepted image format, or pixels that do not decode
    OverImageLimit,    // an image whose header is past the image limits
    OverDecodedBudget, // decoded, it would pass the animation's budget of pixels
};
const char* statusText(FrameStatus status); // "ok", "no block", ...

// One frame's image as a caller gets it: pixels only for Ok.
struct DecodedFrame {
    std::int32_t index = 0;
    FrameStatus status = FrameStatus::NoBlock;
    Block block;                     // when a block reached the frame
    std::uint32_t inflatedBytes = 0; // for the statuses past NotZlib
    imaging::ImageHeader image;      // for Ok and OverImageLimit
    imaging::DecodedImage pixels;    // straight 0xAARRGGBB
    std::vector<std::uint8_t> file;  // the image file inflated, when the caller asked to keep it
};

} // namespace tglformat
