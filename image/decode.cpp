#include "image/image.h"
#include "image/image_decoder.h"

#include <algorithm>

namespace imaging {

namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Every chunk whole inside the data, IHDR first, up to IEND or the end: a
// length running past the end makes the decoder read the same chunk for ever.
bool pngChunksInside(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 8;
    for (bool first = true; at < size; first = false) {
        if (size - at < 12) return false;
        const std::uint32_t length = be32(data + at);
        if (length > size - at - 12) return false;
        const bool header = std::equal(data + at + 4, data + at + 8, "IHDR");
        if (first != header) return false;
        if (std::equal(data + at + 4, data + at + 8, "IEND")) return true;
        at += 12 + std::size_t(length);
    }
    return at != 8;
}

} // namespace

ImageStatus decodeImage(const std::uint8_t* data, std::size_t size, DecodedImage& out) {
    out = DecodedImage{};
    const ImageProbe probe = probeImage(data, size);
    if (probe.status != ImageStatus::Ok) return probe.status;
    if (probe.header.format == ImageFormat::Png && !pngChunksInside(data, size))
        return ImageStatus::NotAnImage;
    if (platformImageDecoder().decode(data, size, probe.header, out) &&
        out.width == probe.header.width && out.height == probe.header.height &&
        out.pixels.size() == std::size_t(out.width) * std::size_t(out.height))
        return ImageStatus::Ok;
    out = DecodedImage{};
    return ImageStatus::NotAnImage;
}

} // namespace imaging
