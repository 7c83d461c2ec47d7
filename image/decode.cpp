#include "image/decoders.h"

namespace imaging {

namespace {

bool decodeAs(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
              DecodedImage& out) {
    switch (header.format) {
    case ImageFormat::Png: return decodePng(data, size, header, out);
    case ImageFormat::Jpeg: return decodeJpeg(data, size, header, out);
    case ImageFormat::Bmp: return decodeBmp(data, size, header, out);
    case ImageFormat::Tga: return decodeTga(data, size, header, out);
    }
    return false;
}

} // namespace

ImageStatus decodeImage(const std::uint8_t* data, std::size_t size, DecodedImage& out) {
    out = DecodedImage{};
    const ImageProbe probe = probeImage(data, size);
    if (probe.status != ImageStatus::Ok) return probe.status;
    if (decodeAs(data, size, probe.header, out) && out.width == probe.header.width &&
        out.height == probe.header.height &&
        out.pixels.size() == std::size_t(out.width) * std::size_t(out.height))
        return ImageStatus::Ok;
    out = DecodedImage{};
    return ImageStatus::NotAnImage;
}

} // namespace imaging
