// The format library for a page or a program in JavaScript: a .tgl file from
// bytes, its frames' places and times, and what the viewer shows of each.

#include "format/animation.h"
#include "format/byte_source.h"
#include "format/compose.h"
#include "image/image.h"

#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace {

tglformat::Animation animation;
std::vector<std::uint8_t> picture; // RGBA, kViewWidth x kViewHeight
std::string problem;
std::string table; // the frames' JSON, until the next call

bool has(int frame) { return frame >= 0 && std::size_t(frame) < animation.frames.size(); }

// `"name":value,` of a number.
std::string field(const char* name, std::int64_t value) {
    return std::string("\"") + name + "\":" + std::to_string(value) + ",";
}

} // namespace

extern "C" {

// The file's frames, or -1 with the reason in tglProblem(): one sentence.
int tglOpen(const std::uint8_t* bytes, std::size_t size) {
    animation = tglformat::Animation();
    problem.clear();
    try {
        tglformat::MemorySource source(bytes, size);
        if (!tglformat::readAnimation(source, animation)) {
            problem = "The file is not a .tgl animation: it does not begin with \"DFX\".";
            return -1;
        }
    } catch (const std::bad_alloc&) {
        animation = tglformat::Animation();
        problem = "The animation does not fit in the memory this page may use.";
        return -1;
    }
    return int(animation.frames.size());
}

const char* tglProblem() { return problem.c_str(); }

// The frames as `tgl info` lists them, a JSON array: x, y, aux1, aux2,
// duration, the block's offset, marker, second word and length, the bytes
// inflated, the image ("TGA RGBA 32-bit 96x112", or empty) and the status.
const char* tglFrames() {
    table = "[";
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
        const tglformat::FrameRecord& r = animation.frames[i].record;
        const tglformat::DecodedFrame& d = animation.images[i];
        const bool described = d.status == tglformat::FrameStatus::Ok ||
                               d.status == tglformat::FrameStatus::OverImageLimit;
        table += (i ? ",{" : "{") + field("x", r.x) + field("y", r.y) + field("aux1", r.aux1) +
                 field("aux2", r.aux2) + field("duration", animation.frames[i].duration) +
                 field("offset", d.block.offset) + field("marker", d.block.marker) +
                 field("second", d.block.secondWord) + field("length", d.block.length) +
                 field("inflated", d.inflatedBytes) + "\"image\":\"" +
                 (described ? imaging::describeImage(d.image) : std::string()) +
                 "\",\"status\":\"" + tglformat::statusText(d.status) + "\"}";
    }
    table += "]";
    return table.c_str();
}

// What the viewer shows for frame i: 800 x 600 RGBA bytes, white where no
// frame is, valid until the next call; null for no such frame.
const std::uint8_t* tglCompose(int i) {
    if (!has(i)) return nullptr;
    const tglformat::Picture shown =
        tglformat::composeFrame(animation.frames[std::size_t(i)], animation.images[std::size_t(i)]);
    picture.resize(shown.pixels.size() * 4);
    for (std::size_t p = 0; p < shown.pixels.size(); ++p) {
        const std::uint32_t argb = shown.pixels[p];
        picture[p * 4] = std::uint8_t(argb >> 16);
        picture[p * 4 + 1] = std::uint8_t(argb >> 8);
        picture[p * 4 + 2] = std::uint8_t(argb);
        picture[p * 4 + 3] = std::uint8_t(argb >> 24);
    }
    return picture.data();
}

} // extern "C"
