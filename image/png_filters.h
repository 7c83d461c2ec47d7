#pragma once

#include <cstddef>
#include <cstdint>

namespace imaging {

// Undoes a PNG row's filter in place: `filter` its type byte, `bpp` the bytes
// of a pixel (1 to 4), `prior` the row above, unfiltered (zeros above the
// first row), apart from `row`; `length` is whole pixels. False for a filter type PNG does not
// have.
bool unfilterPngRow(std::uint8_t filter, std::size_t bpp, std::uint8_t* row,
                    const std::uint8_t* prior, std::size_t length);

} // namespace imaging
