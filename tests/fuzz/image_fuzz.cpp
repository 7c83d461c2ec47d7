// Any bytes through the image boundary: probe, limits and the decoder the
// probe picks. A result that claims Ok must have exactly the probed size.

#include "image/image.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    imaging::DecodedImage out;
    const imaging::ImageStatus status = imaging::decodeImage(data, size, out);
    const imaging::ImageProbe probe = imaging::probeImage(data, size);
    if (status == imaging::ImageStatus::Ok &&
        (probe.status != imaging::ImageStatus::Ok || out.width != probe.header.width ||
         out.height != probe.header.height ||
         out.pixels.size() != std::size_t(out.width) * std::size_t(out.height)))
        std::abort();
    if (!imaging::describeImage(probe.header).size()) std::abort();
    return 0;
}
