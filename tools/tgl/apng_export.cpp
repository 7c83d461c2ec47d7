#include "tools/tgl/apng_export.h"

#include "image/image.h"
#include "image/png_chunks.h"
#include "tools/tgl/output.h"

#include <algorithm>
#include <iterator>

namespace tgltool {

namespace {

constexpr std::int64_t kLongestDelay = 65535; // milliseconds in one frame's fcTL
constexpr std::uint8_t kDisposeNone = 0, kBlendSource = 0, kBlendOver = 1;

// The image data of a PNG of these pixels: its IDAT chunks' bytes, one stream.
std::vector<std::uint8_t> imageData(const std::vector<std::uint32_t>& pixels, int width,
                                    int height) {
    const std::vector<std::uint8_t> png = imaging::encodePng(pixels.data(), width, height);
    std::vector<std::uint8_t> data;
    const bool read = imaging::walkPngChunks(png.data(), png.size(), [&](const auto& chunk) {
        if (chunk.type == "IDAT") data.insert(data.end(), chunk.data, chunk.data + chunk.length);
        return true;
    });
    if (!read || data.empty()) throw CommandError("APNG: cannot encode a frame");
    return data;
}

void append16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}

} // namespace

ApngWriter::ApngWriter(int width, int height) : width_(width), height_(height) {}

void ApngWriter::add(std::vector<std::uint32_t> picture, std::int32_t milliseconds) {
    const std::int64_t time = std::max(milliseconds, 0);
    if (hasPending_ && picture == pending_) {
        pendingMilliseconds_ += time;
        return;
    }
    if (hasPending_) emit(pending_, pendingMilliseconds_);
    pending_ = std::move(picture);
    pendingMilliseconds_ = time;
    hasPending_ = true;
}

// The smallest rectangle holding every pixel that differs from what shows.
ApngWriter::Region ApngWriter::changedRegion(const std::vector<std::uint32_t>& picture) const {
    if (shown_.empty()) return {0, 0, width_, height_};
    int left = width_, top = height_, right = 0, bottom = 0;
    for (int y = 0; y < height_; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(width_);
        for (int x = 0; x < width_; ++x)
            if (picture[row + std::size_t(x)] != shown_[row + std::size_t(x)]) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = y + 1;
            }
    }
    if (left >= right) return {0, 0, 1, 1}; // the same picture: one pixel, unchanged
    return {left, top, right - left, bottom - top};
}

void ApngWriter::emit(const std::vector<std::uint32_t>& picture, std::int64_t milliseconds) {
    const Region region = changedRegion(picture);
    std::vector<std::uint32_t> pixels;
    for (int y = region.top; y < region.top + region.height; ++y) {
        const auto row = picture.begin() + std::ptrdiff_t(y) * width_ + region.left;
        pixels.insert(pixels.end(), row, row + region.width);
    }
    emitFrame(pixels, region, std::uint16_t(std::min(milliseconds, kLongestDelay)), false);
    // The rest of a long time: frames of one transparent pixel drawn over, changing nothing.
    for (milliseconds -= kLongestDelay; milliseconds > 0; milliseconds -= kLongestDelay)
        emitFrame({0}, {0, 0, 1, 1}, std::uint16_t(std::min(milliseconds, kLongestDelay)), true);
    shown_ = picture;
}

void ApngWriter::emitFrame(const std::vector<std::uint32_t>& pixels, Region region,
                           std::uint16_t milliseconds, bool over) {
    std::vector<std::uint8_t> control;
    for (std::uint32_t value :
         {sequence_++, std::uint32_t(region.width), std::uint32_t(region.height),
          std::uint32_t(region.left), std::uint32_t(region.top)})
        imaging::appendBigEndian32(control, value);
    append16(control, milliseconds);
    append16(control, 1000);
    control.push_back(kDisposeNone);
    control.push_back(over ? kBlendOver : kBlendSource);
    imaging::appendPngChunk(body_, "fcTL", control.data(), control.size());

    const std::vector<std::uint8_t> data = imageData(pixels, region.width, region.height);
    if (frames_ == 0) {
        imaging::appendPngChunk(body_, "IDAT", data.data(), data.size());
    } else {
        std::vector<std::uint8_t> frameData;
        imaging::appendBigEndian32(frameData, sequence_++);
        frameData.insert(frameData.end(), data.begin(), data.end());
        imaging::appendPngChunk(body_, "fdAT", frameData.data(), frameData.size());
    }
    ++frames_;
}

std::vector<std::uint8_t> ApngWriter::finish() {
    if (hasPending_) emit(pending_, pendingMilliseconds_);
    hasPending_ = false;
    std::vector<std::uint8_t> out(std::begin(imaging::kPngSignature),
                                  std::end(imaging::kPngSignature));
    std::vector<std::uint8_t> header;
    imaging::appendBigEndian32(header, std::uint32_t(width_));
    imaging::appendBigEndian32(header, std::uint32_t(height_));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, deflate, no interlace
    imaging::appendPngChunk(out, "IHDR", header.data(), header.size());
    std::vector<std::uint8_t> control;
    imaging::appendBigEndian32(control, frames_);
    imaging::appendBigEndian32(control, 0); // loops for ever
    imaging::appendPngChunk(out, "acTL", control.data(), control.size());
    out.insert(out.end(), body_.begin(), body_.end());
    imaging::appendPngChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace tgltool
