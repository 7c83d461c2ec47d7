#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 32-bit true-colour TGA images with alpha, top-left origin, plain or
// run-length encoded. Pixels are 0xAARRGGBB, rows top to bottom.
namespace tgltools {

std::vector<std::uint8_t> encodeTga(int width, int height, const std::vector<std::uint32_t>& pixels,
                                    bool runLengthEncoded);

// false when the file cannot be written.
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace tgltools
