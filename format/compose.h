#pragma once

#include "format/tgl_format.h"

#include <cstdint>
#include <vector>

// Pictures of what the viewer shows, made on the CPU: no engine, no window.
namespace tglformat {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, rows top to bottom

    Picture() = default;
    Picture(int width, int height, std::uint32_t argb)
        : width(width), height(height),
          pixels(std::size_t(width > 0 ? width : 0) * std::size_t(height > 0 ? height : 0), argb) {}
};

// Draws the image with its top-left corner at (x, y), clipped to the picture,
// alpha blended as the engine blends a sprite (exactly rounded, imaging::blendOver).
void drawOver(Picture& picture, const imaging::DecodedImage& image, int x, int y);

// The window as the viewer shows a frame: the background, then the frame's
// image, if it has one, at its position.
Picture composeFrame(const Frame& frame, const DecodedFrame& image,
                     std::uint32_t background = kViewBackground, int width = kViewWidth,
                     int height = kViewHeight);

// Each pixel as a factor x factor block (nearest neighbour), for pixel art.
std::vector<std::uint32_t> scaledUp(const std::uint32_t* pixels, int width, int height, int factor);

} // namespace tglformat
