#pragma once

#include "image/png_layout.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// A PNG's image data, the deflate stream its IDAT chunks hold in turn,
// inflated a piece at a time into the caller's buffer. Built over libdeflate
// where the build has it (several times zlib's speed, but only a whole
// stream at once) and over zlib elsewhere; the Adler-32 is not checked, as stb_image does not check
// it.
namespace imaging {

class PngImageData {
  public:
    // Inflates into `rows`, `size` bytes: what the header asks for.
    PngImageData(const PngLayout& layout, std::uint8_t* rows, std::size_t size);
    ~PngImageData();
    PngImageData(const PngImageData&) = delete;
    PngImageData& operator=(const PngImageData&) = delete;

    // The first `length` bytes of the rows are inflated; false where the
    // stream is broken or ends before them.
    bool inflatedUpTo(std::size_t length);
    // The stream ends exactly after the rows.
    bool endsWhereTheRowsDo();

  private:
    struct Inflater;
    std::unique_ptr<Inflater> inflater_;
};

// The two bytes before a deflate stream: deflate, a whole check value, no preset dictionary.
inline bool isZlibHeader(std::uint32_t method, std::uint32_t flags) {
    return (method & 0x0F) == 8 && (method << 8 | flags) % 31 == 0 && !(flags & 0x20);
}

} // namespace imaging
