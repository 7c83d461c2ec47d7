// The WebAssembly build's inflate (stb_image's decoder behind zlib's calls)
// under the format library's inflate, natively: the same bytes as zlib for
// whole streams, the same bounds for heads and bombs, and zlib's CRC.

#include "format/inflate.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>
#include <zlib.h> // the shim's, first on this test's include path

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sample(std::size_t size, bool compressible) {
    std::mt19937 random{static_cast<unsigned>(size)};
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = compressible ? std::uint8_t(i / 97 % 7) : std::uint8_t(random());
    return bytes;
}

TEST(InflateOverStb, WholeStreamsAndHeadsAreZlibs) {
    for (std::size_t size : {0u, 1u, 4095u, 4096u, 70000u, 1u << 20})
        for (bool compressible : {true, false}) {
            const Bytes plain = sample(size, compressible);
            const Bytes stream = tgltools::zlibCompress(plain);
            tglformat::InflatedBytes out;
            ASSERT_EQ(tglformat::inflateBounded(stream, 2u << 20, 0, out),
                      tglformat::InflateResult::Ok)
                << size;
            EXPECT_EQ(Bytes(out.data.get(), out.data.get() + out.size), plain) << size;
            Bytes head;
            std::size_t inflated = 0;
            EXPECT_EQ(tglformat::inflateHead(stream, head, inflated), true) << size;
            EXPECT_EQ(inflated, std::min<std::size_t>(size, tglformat::kHeadBytes)) << size;
            EXPECT_TRUE(
                std::equal(head.begin(), head.begin() + std::ptrdiff_t(inflated), plain.begin()));
        }
}

TEST(InflateOverStb, BombsStopAtTheLimitAndBrokenStreamsAreNone) {
    const Bytes bomb = tgltools::zlibCompress(Bytes(64u << 20, 0));
    tglformat::InflatedBytes out;
    EXPECT_EQ(tglformat::inflateBounded(bomb, 1u << 20, 0, out),
              tglformat::InflateResult::OverLimit);
    EXPECT_EQ(tglformat::inflateBounded(bomb, 64u << 20, 64u << 20, out),
              tglformat::InflateResult::Ok); // just under: the whole of it
    EXPECT_EQ(out.size, 64u << 20);
    EXPECT_EQ(tglformat::inflateBounded(Bytes{'n', 'o', 'p', 'e'}, 1u << 20, 0, out),
              tglformat::InflateResult::NotZlib);
    Bytes cut = tgltools::zlibCompress(sample(70000, false));
    cut.resize(cut.size() / 2);
    EXPECT_EQ(tglformat::inflateBounded(cut, 1u << 20, 0, out), tglformat::InflateResult::NotZlib)
        << "a stream cut short gives nothing, where zlib gives its first half";
}

TEST(InflateOverStb, TheCrcIsZlibs) {
    const Bytef check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc32_z(crc32_z(0, nullptr, 0), check, sizeof check),
              0xCBF43926u); // CRC-32's check value
}

} // namespace
