#include "image/png_filters.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace imaging {

namespace {

int paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

void up(std::uint8_t* __restrict row, const std::uint8_t* __restrict prior, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        row[i] = std::uint8_t(row[i] + prior[i]);
}

// One byte at a time, each depending on the one a pixel to its left.
template <std::size_t Bpp>
bool unfilterBytes(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prior,
                   std::size_t length) {
    switch (filter) {
    case 0: return true;
    case 1:
        for (std::size_t i = Bpp; i < length; ++i)
            row[i] = std::uint8_t(row[i] + row[i - Bpp]);
        return true;
    case 2: up(row, prior, length); return true;
    case 3:
        for (std::size_t i = 0; i < Bpp && i < length; ++i)
            row[i] = std::uint8_t(row[i] + (prior[i] >> 1));
        for (std::size_t i = Bpp; i < length; ++i)
            row[i] = std::uint8_t(row[i] + ((row[i - Bpp] + prior[i]) >> 1));
        return true;
    case 4:
        for (std::size_t i = 0; i < Bpp && i < length; ++i)
            row[i] = std::uint8_t(row[i] + prior[i]);
        for (std::size_t i = Bpp; i < length; ++i)
            row[i] = std::uint8_t(row[i] + paeth(row[i - Bpp], prior[i], prior[i - Bpp]));
        return true;
    default: return false;
    }
}

#if defined(__SSE2__)
// A pixel of 3 or 4 bytes at a time, its channels side by side in one register.
template <std::size_t Bpp> __m128i loadPixel(const std::uint8_t* at) {
    std::int32_t v = 0;
    std::memcpy(&v, at, Bpp);
    return _mm_cvtsi32_si128(v);
}

template <std::size_t Bpp> void storePixel(std::uint8_t* at, __m128i pixel) {
    const std::int32_t v = _mm_cvtsi128_si32(pixel);
    std::memcpy(at, &v, Bpp);
}

__m128i ifThenElse(__m128i mask, __m128i then, __m128i otherwise) {
    return _mm_or_si128(_mm_and_si128(mask, then), _mm_andnot_si128(mask, otherwise));
}

__m128i absolute16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

template <std::size_t Bpp> void sub(std::uint8_t* row, std::size_t length) {
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i + Bpp <= length; i += Bpp) {
        a = _mm_add_epi8(a, loadPixel<Bpp>(row + i));
        storePixel<Bpp>(row + i, a);
    }
}

template <std::size_t Bpp>
void average(std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
    const __m128i ones = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i + Bpp <= length; i += Bpp) {
        const __m128i b = loadPixel<Bpp>(prior + i);
        // pavgb rounds up; the floor PNG asks for is one less where a + b is odd
        const __m128i mean =
            _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), ones));
        a = _mm_add_epi8(loadPixel<Bpp>(row + i), mean);
        storePixel<Bpp>(row + i, a);
    }
}

template <std::size_t Bpp>
void paethPixels(std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero; // as 16-bit lanes
    for (std::size_t i = 0; i + Bpp <= length; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prior + i), zero);
        const __m128i towardsB = _mm_sub_epi16(b, c), towardsA = _mm_sub_epi16(a, c);
        const __m128i pa = absolute16(towardsB), pb = absolute16(towardsA),
                      pc = absolute16(_mm_add_epi16(towardsB, towardsA));
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        const __m128i nearest = ifThenElse(_mm_cmpeq_epi16(smallest, pa), a,
                                           ifThenElse(_mm_cmpeq_epi16(smallest, pb), b, c));
        const __m128i x = _mm_add_epi8(loadPixel<Bpp>(row + i), _mm_packus_epi16(nearest, nearest));
        storePixel<Bpp>(row + i, x);
        a = _mm_unpacklo_epi8(x, zero);
        c = b;
    }
}

template <std::size_t Bpp>
bool unfilterPixels(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prior,
                    std::size_t length) {
    switch (filter) {
    case 1: sub<Bpp>(row, length); return true;
    case 3: average<Bpp>(row, prior, length); return true;
    case 4: paethPixels<Bpp>(row, prior, length); return true;
    default: return unfilterBytes<Bpp>(filter, row, prior, length);
    }
}
#else
template <std::size_t Bpp>
bool unfilterPixels(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prior,
                    std::size_t length) {
    return unfilterBytes<Bpp>(filter, row, prior, length);
}
#endif

} // namespace

bool unfilterPngRow(std::uint8_t filter, std::size_t bpp, std::uint8_t* row,
                    const std::uint8_t* prior, std::size_t length) {
    switch (bpp) {
    case 1: return unfilterBytes<1>(filter, row, prior, length);
    case 2: return unfilterBytes<2>(filter, row, prior, length);
    case 3: return unfilterPixels<3>(filter, row, prior, length);
    default: return unfilterPixels<4>(filter, row, prior, length);
    }
}

} // namespace imaging
