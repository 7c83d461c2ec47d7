#include "image/byte_reader.h"
#include "image/decoders.h"
#include "image/png_chunks.h"
#include "image/stb_codecs.h"

namespace imaging {

namespace {

// Every chunk whole inside the data with its CRC right, IHDR first, up to
// IEND: a conforming decoder shows no image whose bytes were damaged, and a
// length running past the end once made a decoder read one chunk for ever.
bool chunksWhole(const std::uint8_t* data, std::size_t size) {
    bool ended = false;
    return walkPngChunks(data, size,
                         [&](const PngChunk& chunk) { return !(ended = chunk.type == "IEND"); }) &&
           ended;
}

} // namespace

bool decodePng(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
               DecodedImage& out) {
    if (!chunksWhole(data, size)) return false;
    return stbDecode(data, size, header, ByteReader(data, size).u8(24) == 16, out);
}

} // namespace imaging
