#pragma once

#include "format/tgl_format.h"

#include <cstdint>
#include <string>
#include <vector>

// The lines `tgl play` shows over the animation.
namespace tgltool {

struct OverlayFacts {
    std::string fileName;
    std::int32_t frame = 0;
    std::int32_t frameCount = 0;
    std::int32_t duration = 0, x = 0, y = 0, aux1 = 0, aux2 = 0;
    std::int64_t loopPosition = 0, loopMilliseconds = 0;
    double speed = 1;
    bool paused = false;
    int zoom = 1;
    float panX = 0, panY = 0;                     // where frame point (0, 0) shows in the window
    std::vector<tglformat::FrameStatus> statuses; // per frame
    std::string reloadError; // why the file on disk did not load, if it did not
};

// At most this many frames without an image are named, then how many more.
inline constexpr int kNamedFailures = 4;

std::vector<std::string> overlayLines(const OverlayFacts& facts);

// "1x", "2x", "1/2x", "1/8x", "1.5x".
std::string speedText(double speed);

} // namespace tgltool
