#include "image/png_layout.h"
#include "image/png_chunks.h"

namespace imaging {

namespace {

bool isCritical(const std::string& type) { return type[0] >= 'A' && type[0] <= 'Z'; }

// A colour chunk's place, once and before the image data, or the layout is not plain.
void noteColourChunk(const PngChunk& chunk, PngLayout& layout, const std::uint8_t*& at,
                     std::size_t& length) {
    if (at || !layout.data.empty()) layout.plain = false;
    at = chunk.data;
    length = chunk.length;
}

} // namespace

bool readPngLayout(const std::uint8_t* data, std::size_t size, PngLayout& layout) {
    bool ended = false;
    const bool whole = walkPngChunks(data, size, [&](const PngChunk& chunk) {
        if (chunk.type == "IDAT") {
            const std::size_t at = std::size_t(chunk.data - data) - 8;
            if (layout.data.empty()) layout.firstData = at;
            layout.afterData = at + 12 + chunk.length;
            layout.data.emplace_back(chunk.data, chunk.length);
        } else if (chunk.type == "PLTE") {
            if (layout.transparency) layout.plain = false; // stb refuses tRNS before PLTE
            noteColourChunk(chunk, layout, layout.palette, layout.paletteLength);
        } else if (chunk.type == "tRNS") {
            noteColourChunk(chunk, layout, layout.transparency, layout.transparencyLength);
        } else if (isCritical(chunk.type) && chunk.type != "IHDR" && chunk.type != "IEND") {
            layout.plain = false;
        }
        return !(ended = chunk.type == "IEND");
    });
    return whole && ended;
}

} // namespace imaging
