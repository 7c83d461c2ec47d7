#pragma once

#include <cstdint>

// Limits against hostile input, shared by the viewer's engine, the loader and
// the tool, so that all three refuse the same files.
namespace InputLimits {

// An image wider or taller than this is refused from its header.
inline constexpr int kMaxImageSide = 16384;
// So is one of more pixels than this (a 8192 x 8192 image is the largest square).
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{64} << 20;
// An image of width x height pixels within the two limits above, sides of at least 1.
inline constexpr bool withinImageLimits(std::uint64_t width, std::uint64_t height) {
    return width >= 1 && height >= 1 && width <= std::uint64_t(kMaxImageSide) &&
           height <= std::uint64_t(kMaxImageSide) && width * height <= kMaxImagePixels;
}
// A frame image that inflates past this many bytes gets no sprite.
inline constexpr std::uint32_t kMaxInflatedImageBytes = std::uint32_t{256} << 20;
// Decoded pixels of one animation, 4 bytes each: frames past it get no sprite.
inline constexpr std::uint64_t kMaxDecodedBytesPerFile = std::uint64_t{256} << 20;
// Frames past this many are not read: their table alone would take hundreds of
// MiB, and at one frame a tick the animation would play for hours.
inline constexpr std::int32_t kMaxFrames = 1 << 20;
// Files of this size or more are refused: the format's offsets are 32-bit.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{2} << 30;
// Pixels composed from a GIF, WebP or sprite sheet, a whole canvas per
// frame: past this the source is refused, so that a small file cannot ask for
// hours of work (a million frames on a large canvas).
inline constexpr std::uint64_t kMaxComposedPixels = std::uint64_t{1} << 32;
// Resources read whole (a font description, its glyph image) are refused from here.
inline constexpr std::uint64_t kMaxResourceBytes = std::uint64_t{16} << 20;

} // namespace InputLimits
