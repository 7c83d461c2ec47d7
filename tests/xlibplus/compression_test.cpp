#include "xlibplus/string/string.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

namespace {

using xlibplus::xStringA;

std::string contentOf(const xStringA& s) { return std::string(s.cStr(), s.length()); }

// Bytes that compress, but not to nothing.
std::string sample(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245 + 12345;
        bytes[i] = static_cast<char>((i / 7) % 64 + ((state >> 24) & 3));
    }
    return bytes;
}

std::string zlibOf(const std::string& plain) {
    uLongf size = compressBound(plain.size());
    std::string out(size, '\0');
    ::compress(reinterpret_cast<Bytef*>(out.data()), &size,
               reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    out.resize(size);
    return out;
}

xStringA stringOf(const std::string& bytes) {
    return xStringA(bytes.data(), bytes.data() + bytes.size());
}

TEST(Compression, RoundTripsAcrossChunkBoundaries) {
    for (std::size_t size : {0u, 1u, 1023u, 1024u, 1025u, 2048u, 3072u, 5000u, 70000u}) {
        std::string plain = sample(size);
        xStringA s = stringOf(plain);
        s.compress();
        EXPECT_EQ(contentOf(s), zlibOf(plain)) << "a bare zlib stream, size " << size;
        ASSERT_TRUE(s.decompress()) << size;
        EXPECT_EQ(contentOf(s), plain) << size;
        EXPECT_EQ(s.tell(), 0u);
    }
}

TEST(Compression, HighlyCompressibleContentComesBackWhole) {
    for (std::size_t size : {1024u * 64, 1024u * 1024 + 1}) {
        std::string plain(size, 'z');
        xStringA s = stringOf(zlibOf(plain));
        ASSERT_TRUE(s.decompress());
        EXPECT_EQ(s.length(), size);
        EXPECT_EQ(contentOf(s), plain);
    }
}

TEST(Compression, DecompressedContentReadsFromTheStart) {
    xStringA s = stringOf(zlibOf("frame image"));
    s.seek(3);
    ASSERT_TRUE(s.decompress());
    char buffer[12] = {};
    EXPECT_EQ(s.read(buffer, 11), 11u);
    EXPECT_STREQ(buffer, "frame image");
}

TEST(Compression, TrailingBytesAfterTheStreamAreIgnored) {
    xStringA s = stringOf(zlibOf("payload") + "garbage after the end");
    ASSERT_TRUE(s.decompress());
    EXPECT_EQ(contentOf(s), "payload");
}

TEST(Compression, ATruncatedStreamGivesWhatItHas) {
    std::string plain = sample(10000);
    std::string stream = zlibOf(plain);
    xStringA s = stringOf(stream.substr(0, stream.size() - 4)); // no checksum
    ASSERT_TRUE(s.decompress());
    EXPECT_EQ(contentOf(s), plain.substr(0, s.length()));
    EXPECT_GT(s.length(), 0u);

    xStringA half = stringOf(stream.substr(0, stream.size() / 2));
    ASSERT_TRUE(half.decompress());
    EXPECT_LT(half.length(), plain.size());
    EXPECT_EQ(contentOf(half), plain.substr(0, half.length()));
}

TEST(Compression, NotAZlibStreamChangesNothing) {
    // A gzip header fails the zlib header test.
    const std::string gzip = std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", 10) + "rest";
    xStringA s = stringOf(gzip);
    s.seek(5);
    const char* buffer = s.data();
    const std::uint32_t capacity = s.capacity();
    EXPECT_FALSE(s.decompress());
    EXPECT_EQ(contentOf(s), gzip);
    EXPECT_EQ(s.tell(), 5u);
    EXPECT_EQ(s.data(), buffer);
    EXPECT_EQ(s.capacity(), capacity);

    std::string corrupt = zlibOf(sample(5000));
    corrupt[20] ^= 0x55;
    xStringA damaged = stringOf(corrupt);
    EXPECT_FALSE(damaged.decompress());
    EXPECT_EQ(contentOf(damaged), corrupt);
}

TEST(Compression, EmptyContentSucceedsAndLetsItsBufferGo) {
    xStringA s("x");
    s.assign("", 0);
    ASSERT_NE(s.data(), nullptr);
    EXPECT_TRUE(s.decompress());
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.data(), nullptr);
}

TEST(Compression, TheLimitBoundsTheInflatedSize) {
    std::string plain(100000, 'a');
    std::string stream = zlibOf(plain);
    xStringA s = stringOf(stream);
    EXPECT_FALSE(s.decompress(99999));
    EXPECT_EQ(contentOf(s), stream) << "unchanged past the limit";
    EXPECT_TRUE(s.decompress(100000));
    EXPECT_EQ(s.length(), 100000u);

    xStringA small = stringOf(zlibOf("abc"));
    EXPECT_FALSE(small.decompress(2));
    EXPECT_TRUE(small.decompress(3));
}

} // namespace
