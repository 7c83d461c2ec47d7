#include "tools/common/bmp_writer.h"

namespace tgltools {

namespace {

void put(std::vector<std::uint8_t>& to, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

std::vector<std::uint8_t> encodeBmp(int width, int height,
                                    const std::vector<std::uint32_t>& pixels) {
    constexpr std::uint32_t kHeaders = 14 + 108;
    const std::uint32_t size = std::uint32_t(width) * std::uint32_t(height) * 4;
    std::vector<std::uint8_t> out;
    out.reserve(kHeaders + size);
    out.push_back('B');
    out.push_back('M');
    put(out, kHeaders + size, 4);
    put(out, 0, 4);
    put(out, kHeaders, 4);
    put(out, 108, 4); // BITMAPV4HEADER
    put(out, std::uint32_t(width), 4);
    put(out, std::uint32_t(height), 4);
    put(out, 1, 2);
    put(out, 32, 2);
    put(out, 3, 4); // BI_BITFIELDS
    put(out, size, 4);
    put(out, 2835, 4); // 72 dpi
    put(out, 2835, 4);
    put(out, 0, 4);
    put(out, 0, 4);
    for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        put(out, mask, 4);
    put(out, 0x73524742, 4);        // "sRGB"
    out.resize(out.size() + 48, 0); // end points and gamma, unused for sRGB
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            put(out, pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)], 4);
    return out;
}

} // namespace tgltools
