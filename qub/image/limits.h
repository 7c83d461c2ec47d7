#pragma once

#include <cstdint>

// Limits against hostile input, shared by the viewer's engine, the loader and
// the tool, so that all three refuse the same files.
namespace InputLimits {

// An image wider or taller than this is refused from its header.
inline constexpr int kMaxImageSide = 16384;
// So is one of more pixels than this (a 8192 x 8192 image is the largest square).
inline constexpr std::uint64_t kMaxImagePixels = std::uint64_t{64} << 20;
// A frame image that inflates past this many bytes gets no sprite.
inline constexpr std::uint32_t kMaxInflatedImageBytes = std::uint32_t{256} << 20;

} // namespace InputLimits
