#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// zlib streams (RFC 1950, 15-bit window) of frame images, inflated no
// further than the caller allows.
namespace tglformat {

// Enough inflated bytes for the header of a PNG, BMP or TGA, and of most JPEGs;
// small, as a frame's first bytes are inflated twice.
inline constexpr std::size_t kHeadBytes = 4096;

// The first kHeadBytes (or fewer) the stream inflates to, into `head`; false
// when it is no zlib stream as far as they go.
bool inflateHead(const std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& head,
                 std::size_t& inflated);

enum class InflateResult { Ok, NotZlib, OverLimit };

// Bytes not set to anything until written: an image is inflated once, over them.
struct InflatedBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
};

// The whole stream into `out`, which is empty unless Ok. A stream cut short
// keeps what it gave; one that goes on past `limit` bytes is OverLimit. The
// buffer starts at `expected` (0: a likely size) and doubles, so that a bound
// far above the real size costs nothing.
InflateResult inflateBounded(const std::vector<std::uint8_t>& stream, std::uint32_t limit,
                             std::uint32_t expected, InflatedBytes& out);

} // namespace tglformat
