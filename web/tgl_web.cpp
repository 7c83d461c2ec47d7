// The format library for a page or a program in JavaScript: a .tgl file from
// bytes, its frames' places and times, and what the viewer shows of each.

#include "format/animation.h"
#include "format/byte_source.h"
#include "format/compose.h"

#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace {

tglformat::Animation animation;
std::vector<std::uint8_t> picture; // RGBA, kViewWidth x kViewHeight
std::string problem;

bool has(int frame) { return frame >= 0 && std::size_t(frame) < animation.frames.size(); }

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

// A frame's record and image, as `tgl info` gives them; 0 for no such frame.
int tglFrameX(int i) { return has(i) ? animation.frames[std::size_t(i)].record.x : 0; }
int tglFrameY(int i) { return has(i) ? animation.frames[std::size_t(i)].record.y : 0; }
int tglFrameDuration(int i) { return has(i) ? animation.frames[std::size_t(i)].duration : 0; }
int tglFrameWidth(int i) { return has(i) ? animation.images[std::size_t(i)].pixels.width : 0; }
int tglFrameHeight(int i) { return has(i) ? animation.images[std::size_t(i)].pixels.height : 0; }
const char* tglFrameStatus(int i) {
    return has(i) ? tglformat::statusText(animation.images[std::size_t(i)].status) : "";
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
