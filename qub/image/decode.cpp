#include "qub/image/image.h"
#include "qub/image/image_decoder.h"

namespace qub {

ImageStatus decodeImage(const std::uint8_t* data, std::size_t size, DecodedImage& out) {
    out = DecodedImage{};
    const ImageProbe probe = probeImage(data, size);
    if (probe.status != ImageStatus::Ok) return probe.status;
    if (platformImageDecoder().decode(data, size, probe.header, out) &&
        out.width == probe.header.width && out.height == probe.header.height &&
        out.pixels.size() == std::size_t(out.width) * std::size_t(out.height))
        return ImageStatus::Ok;
    out = DecodedImage{};
    return ImageStatus::NotAnImage;
}

} // namespace qub
