#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace imaging {

// Bytes R, G, B, A as 0xAARRGGBB pixels. Read as a little-endian word, red
// and blue only trade places: four pixels at a time where SSE2 is at hand.
inline void rgbaToArgb(const std::uint8_t* rgba, std::uint32_t* argb, std::size_t count) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i kept = _mm_set1_epi32(int(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
    for (; i + 4 <= count; i += 4) {
        const __m128i abgr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba + 4 * i));
        const __m128i red = _mm_and_si128(_mm_srli_epi32(abgr, 16), low);
        const __m128i blue = _mm_slli_epi32(_mm_and_si128(abgr, low), 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(argb + i),
                         _mm_or_si128(_mm_and_si128(abgr, kept), _mm_or_si128(red, blue)));
    }
#endif
    for (; i < count; ++i) {
        const std::uint8_t* p = rgba + 4 * i;
        const std::uint32_t abgr = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
        argb[i] = (abgr & 0xFF00FF00u) | (abgr >> 16 & 0xFFu) | (abgr & 0xFFu) << 16;
    }
}

} // namespace imaging
