#pragma once

#include "image/image.h"

// The decoder behind decodeImage, one per platform, chosen at build time. It is
// called only with bytes whose header probed Ok, and must give exactly the
// probed size or fail.
namespace imaging {

class ImageDecoder {
  public:
    virtual bool decode(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
                        DecodedImage& out) const = 0;

  protected:
    ~ImageDecoder() = default;
};

const ImageDecoder& platformImageDecoder();

} // namespace imaging
