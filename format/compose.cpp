#include "format/compose.h"

#include "image/blend.h"

#include <algorithm>

namespace tglformat {

void drawOver(Picture& picture, const imaging::DecodedImage& image, int x, int y) {
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(x) + image.width, picture.width);
    const std::int64_t bottom =
        std::min<std::int64_t>(std::int64_t(y) + image.height, picture.height);
    for (std::int64_t row = top; row < bottom; ++row) {
        const std::uint32_t* from = image.pixels.data() +
                                    std::size_t(row - y) * std::size_t(image.width) +
                                    std::size_t(left - x);
        std::uint32_t* to = picture.pixels.data() + std::size_t(row) * std::size_t(picture.width);
        for (std::int64_t column = left; column < right; ++column, ++from)
            to[column] = imaging::blendOver(*from, to[column]);
    }
}

Picture composeFrame(const Frame& frame, const DecodedFrame& image, std::uint32_t background,
                     int width, int height) {
    Picture picture(width, height, background);
    if (image.status == FrameStatus::Ok)
        drawOver(picture, image.pixels, frame.record.x, frame.record.y);
    return picture;
}

std::vector<std::uint32_t> scaledUp(const std::uint32_t* pixels, int width, int height,
                                    int factor) {
    const std::size_t outWidth = std::size_t(width) * std::size_t(factor);
    std::vector<std::uint32_t> out(outWidth * std::size_t(height) * std::size_t(factor));
    std::uint32_t* to = out.data();
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = pixels + std::size_t(y) * std::size_t(width);
        std::uint32_t* row = to;
        for (int x = 0; x < width; ++x, to += factor)
            std::fill_n(to, factor, from[x]);
        for (int copy = 1; copy < factor; ++copy, to += outWidth)
            std::copy_n(row, outWidth, to);
    }
    return out;
}

} // namespace tglformat
