#include "tools/tgl/gif_palette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using tgltool::indexPixels;

TEST(GifPalette, ColoursThatFitAreKeptExactlyInTheirOrder) {
    const std::vector<std::uint32_t> rgb = {0x123456, 0xFF0000, 0x123456, 0x00FF00};
    const tgltool::IndexedPixels indexed = indexPixels(rgb, 3);
    ASSERT_EQ(indexed.palette.size(), 3u);
    EXPECT_EQ(indexed.indexes, (std::vector<GifByteType>{0, 1, 0, 2}));
    EXPECT_EQ(indexed.palette[1].Red, 0xFF);
    EXPECT_EQ(indexed.palette[0].Blue, 0x56);
}

// Past the room, every pixel gets a colour of the palette, close to its own.
TEST(GifPalette, ManyColoursShareAPaletteThatStaysClose) {
    std::vector<std::uint32_t> rgb;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 70; ++x)
            rgb.push_back(std::uint32_t(x * 255 / 69) << 16 | std::uint32_t(y * 255 / 49) << 8 |
                          std::uint32_t((x * 7 + y * 3) & 255));
    for (int room : {2, 16, 255, 256}) {
        const tgltool::IndexedPixels indexed = indexPixels(rgb, room);
        ASSERT_LE(indexed.palette.size(), std::size_t(room));
        ASSERT_EQ(indexed.indexes.size(), rgb.size());
        double error = 0;
        for (std::size_t i = 0; i < rgb.size(); ++i) {
            ASSERT_LT(indexed.indexes[i], indexed.palette.size());
            const GifColorType& c = indexed.palette[indexed.indexes[i]];
            error += std::abs(int(c.Red) - int(rgb[i] >> 16)) +
                     std::abs(int(c.Green) - int(rgb[i] >> 8 & 0xFF)) +
                     std::abs(int(c.Blue) - int(rgb[i] & 0xFF));
        }
        if (room >= 255) {
            EXPECT_LT(error / double(rgb.size() * 3), 5) << room << " colours";
        }
    }
}

} // namespace
