#include "format/decode.h"
#include "format/scanner.h"
#include "image/limits.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using tgltools::Bytes;
using Status = tglformat::FrameStatus;

// A run-length TGA of one colour: 128-pixel runs, so a large image stays small.
Bytes solidRunLengthTga(int width, int height) {
    Bytes b(18, 0);
    b[2] = 10;
    b[12] = std::uint8_t(width), b[13] = std::uint8_t(width >> 8);
    b[14] = std::uint8_t(height), b[15] = std::uint8_t(height >> 8);
    b[16] = 32;
    b[17] = 0x28; // top-left origin, 8 alpha bits
    for (std::int64_t left = std::int64_t(width) * height; left > 0; left -= 128) {
        b.push_back(std::uint8_t(0x80 | ((left >= 128 ? 128 : left) - 1)));
        b.insert(b.end(), {0x10, 0x20, 0x30, 0xFF});
    }
    return b;
}

// The status of every block of a file of these images, read as the loader reads.
std::vector<Status> statuses(const std::vector<Bytes>& images) {
    tgltools::TglWriter w;
    for (std::size_t i = 0; i < images.size(); ++i)
        w.frame({});
    for (const Bytes& image : images)
        w.image(image);
    const Bytes file = w.build();
    tglformat::MemorySource source(file.data(), file.size());
    tglformat::Scanner scanner(source);
    EXPECT_TRUE(scanner.readTable());
    std::vector<Status> result;
    tglformat::decodeFrames(
        scanner, [&](tglformat::DecodedFrame& frame) { result.push_back(frame.status); });
    return result;
}

// 4 x 4 pixels, 32-bit, uncompressed: 18 + 64 bytes, then as many more as the
// room for metadata, and no more.
TEST(FrameImages, InflateNoFurtherThanTheirImageCanNeed) {
    const Bytes tga = tgltools::encodeTga(4, 4, std::vector<std::uint32_t>(16, 0xFF00FF00), false);
    ASSERT_EQ(tga.size(), 18u + 64u);
    Bytes justFits = tga, justOver = tga;
    justFits.resize(18 + 64 + (1u << 20));
    justOver.resize(18 + 64 + (1u << 20) + 1);
    EXPECT_EQ(statuses({justFits, justOver}),
              (std::vector<Status>{Status::Ok, Status::OverSizeLimit}));
    // Refused from the first bytes: no image at all, and a header past the limits.
    EXPECT_EQ(statuses({Bytes(64u << 20, 0), solidRunLengthTga(16384, 16384)}),
              (std::vector<Status>{Status::NotAnImage, Status::OverImageLimit}));
}

// 256 MiB decoded in all: two 8192 x 4096 frames fill it, one pixel more is over.
TEST(FrameImages, ShareOneBudgetOfDecodedBytes) {
    const Bytes half = solidRunLengthTga(8192, 4096);
    static_assert(InputLimits::kMaxDecodedBytesPerFile == 2ull * 8192 * 4096 * 4, "two halves");
    EXPECT_EQ(statuses({half, half, solidRunLengthTga(1, 1)}),
              (std::vector<Status>{Status::Ok, Status::Ok, Status::OverDecodedBudget}));
    EXPECT_EQ(statuses({half, solidRunLengthTga(1, 1), half}),
              (std::vector<Status>{Status::Ok, Status::Ok, Status::OverDecodedBudget}));
}

} // namespace
