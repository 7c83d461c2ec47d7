#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Where a PNG file's image data and colour chunks lie, for its decoders.
namespace imaging {

struct PngLayout {
    std::size_t firstData = 0, afterData = 0; // where the image data chunks begin and end
    std::vector<std::pair<const std::uint8_t*, std::size_t>> data; // each IDAT's bytes
    const std::uint8_t* palette = nullptr;                         // PLTE's entries
    std::size_t paletteLength = 0;
    const std::uint8_t* transparency = nullptr; // tRNS's data
    std::size_t transparencyLength = 0;
    // No chunk the row decoder leaves to stb_image: a critical chunk it does
    // not know, or a colour chunk repeated or after the image data.
    bool plain = true;
};

// Every chunk whole inside the data with its CRC right, IHDR first, up to
// IEND (a conforming decoder shows no image whose bytes were damaged, and a
// length running past the end once made a decoder read one chunk for ever);
// and where each part lies.
bool readPngLayout(const std::uint8_t* data, std::size_t size, PngLayout& layout);

} // namespace imaging
