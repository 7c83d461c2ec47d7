#pragma once

#include <cstddef>
#include <cstdint>

// What stb_image does not check in a JPEG stream, checked before it decodes.
namespace imaging {

// A marker with no length or segment behind it.
inline bool jpegMarkerStandsAlone(std::uint8_t marker) {
    return marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// True where every Huffman table holds at most 256 values (the decoder
// copies them into a table of 256 without counting) and every scan decodes
// with tables defined before it (the decoder would search one never defined
// past its end). Tables may follow any scan, so the whole stream is walked.
bool jpegHuffmanTablesSound(const std::uint8_t* data, std::size_t size);

} // namespace imaging
