#include "format/thumbnail.h"

#include <algorithm>
#include <cmath>

namespace tglformat {

namespace {

bool shows(const Animation& animation, std::size_t i) {
    return animation.images[i].status == FrameStatus::Ok;
}

// Per target column (or row): the source pixels it covers and how much of each.
struct Span {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Span> spans(int from, int to) {
    std::vector<Span> out(static_cast<std::size_t>(to));
    const double scale = double(from) / double(to);
    for (int i = 0; i < to; ++i) {
        const double begin = i * scale, end = (i + 1) * scale;
        Span& span = out[static_cast<std::size_t>(i)];
        span.first = static_cast<int>(std::floor(begin));
        for (int s = span.first; s < from && s < end; ++s)
            span.weights.push_back((std::min(end, s + 1.0) - std::max(begin, double(s))) / scale);
    }
    return out;
}

} // namespace

Box opaqueBox(const std::uint32_t* argb, int width, int height) {
    Box box{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = argb + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x)
            if (row[x] >> 24) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x + 1);
                box.top = std::min(box.top, y);
                box.bottom = y + 1;
            }
    }
    return box.empty() ? Box{} : box;
}

std::vector<std::uint32_t> cropped(const std::uint32_t* argb, int width, const Box& box) {
    std::vector<std::uint32_t> out;
    out.reserve(std::size_t(box.width()) * std::size_t(box.height()));
    for (int y = box.top; y < box.bottom; ++y) {
        const std::uint32_t* row = argb + std::size_t(y) * std::size_t(width);
        out.insert(out.end(), row + box.left, row + box.right);
    }
    return out;
}

Box shownBox(const Animation& animation) {
    Box box{kViewWidth, kViewHeight, 0, 0};
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
        if (!shows(animation, i)) continue;
        const std::int64_t x = animation.frames[i].record.x, y = animation.frames[i].record.y;
        const imaging::DecodedImage& image = animation.images[i].pixels;
        box.left = static_cast<int>(
            std::clamp<std::int64_t>(std::min<std::int64_t>(box.left, x), 0, kViewWidth));
        box.top = static_cast<int>(
            std::clamp<std::int64_t>(std::min<std::int64_t>(box.top, y), 0, kViewHeight));
        box.right = static_cast<int>(std::clamp<std::int64_t>(
            std::max<std::int64_t>(box.right, x + image.width), 0, kViewWidth));
        box.bottom = static_cast<int>(std::clamp<std::int64_t>(
            std::max<std::int64_t>(box.bottom, y + image.height), 0, kViewHeight));
    }
    return box.empty() ? Box{} : box;
}

// Nothing lies under the one frame, so its pixels are taken as they are:
// blending over transparent black would darken its soft edges.
Picture croppedFrame(const Animation& animation, std::size_t index, const Box& box) {
    Picture picture(box.width(), box.height(), 0);
    if (!shows(animation, index)) return picture;
    const imaging::DecodedImage& image = animation.images[index].pixels;
    const std::int64_t x = std::int64_t(animation.frames[index].record.x) - box.left;
    const std::int64_t y = std::int64_t(animation.frames[index].record.y) - box.top;
    const std::int64_t left = std::max<std::int64_t>(x, 0), top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(x + image.width, picture.width);
    const std::int64_t bottom = std::min<std::int64_t>(y + image.height, picture.height);
    for (std::int64_t row = top; row < bottom; ++row)
        std::copy_n(image.pixels.data() + std::size_t(row - y) * std::size_t(image.width) +
                        std::size_t(left - x),
                    std::max<std::int64_t>(right - left, 0),
                    picture.pixels.data() + std::size_t(row) * std::size_t(picture.width) +
                        std::size_t(left));
    return picture;
}

Picture fittedInto(const Picture& picture, int side) {
    if (picture.width <= side && picture.height <= side) return picture;
    const double scale = std::min(double(side) / picture.width, double(side) / picture.height);
    const int width = std::max(1, static_cast<int>(std::lround(picture.width * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(picture.height * scale)));
    const std::vector<Span> columns = spans(picture.width, width),
                            rows = spans(picture.height, height);
    Picture out(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double a = 0, r = 0, g = 0, b = 0;
            const Span& row = rows[std::size_t(y)];
            const Span& column = columns[std::size_t(x)];
            for (std::size_t j = 0; j < row.weights.size(); ++j)
                for (std::size_t i = 0; i < column.weights.size(); ++i) {
                    const std::uint32_t p =
                        picture
                            .pixels[std::size_t(row.first + int(j)) * std::size_t(picture.width) +
                                    std::size_t(column.first + int(i))];
                    const double w = row.weights[j] * column.weights[i], pa = (p >> 24) * w;
                    a += pa;
                    r += ((p >> 16) & 0xFF) * pa;
                    g += ((p >> 8) & 0xFF) * pa;
                    b += (p & 0xFF) * pa;
                }
            const auto channel = [a](double v) {
                return a > 0 ? static_cast<std::uint32_t>(std::lround(std::min(255.0, v / a))) : 0u;
            };
            out.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                static_cast<std::uint32_t>(std::lround(std::min(255.0, a))) << 24 |
                channel(r) << 16 | channel(g) << 8 | channel(b);
        }
    return out;
}

std::size_t firstShownFrame(const Animation& animation, const Box& box) {
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
        if (!shows(animation, i)) continue;
        const std::int64_t x = animation.frames[i].record.x, y = animation.frames[i].record.y;
        const imaging::DecodedImage& image = animation.images[i].pixels;
        if (x < box.right && y < box.bottom && x + image.width > box.left &&
            y + image.height > box.top)
            return i;
    }
    return animation.frames.size();
}

Picture thumbnailOf(const Animation& animation, int side) {
    const Box box = shownBox(animation);
    if (box.empty() || side < 1) return Picture{};
    const std::size_t first = firstShownFrame(animation, box);
    if (first == animation.frames.size()) return Picture{};
    return fittedInto(croppedFrame(animation, first, box), side);
}

} // namespace tglformat
