#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// PNG's chunks, for the readers and writers of animated PNG beside the decoder.
namespace imaging {

inline constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct PngChunk {
    std::string type; // four letters
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

// Every chunk of a PNG file in order, each whole inside the data with its CRC
// right, IHDR first, up to IEND; `each` may stop the walk by giving false.
// False when the file breaks these rules before the walk ends.
bool walkPngChunks(const std::uint8_t* data, std::size_t size,
                   const std::function<bool(const PngChunk&)>& each);

// A chunk with its length and CRC, appended to `out`.
void appendPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data,
                    std::size_t length);

std::uint32_t readBigEndian32(const std::uint8_t* at);
void appendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value);

} // namespace imaging
