#include "tests/support/temp_dir.h"
#include "xlibplus/stream/std_file_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

using xlibplus::IIStream;
using xlibplus::IOStream;
using xlibplus::xStdFileStream;
using xlibplus::xStream;

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// An in-memory stream of a given size with the default operations.
class SizedStream : public xStream {
  public:
    SizedStream(bool littleEndian, std::uint32_t size) : xStream(littleEndian), size_(size) {}
    std::uint32_t tell() override { return position; }
    std::uint32_t size() override { return size_; }
    std::uint32_t read(void*, std::uint32_t) override { return 0; }
    std::uint32_t write(const void*, std::uint32_t) override { return 0; }
    std::uint32_t position = 0;

  private:
    std::uint32_t size_;
};

TEST(Streams, HostByteOrderAndTheSwapFlag) {
    const std::uint32_t one = 1;
    EXPECT_EQ(xlibplus::hostIsLittleEndian(), *reinterpret_cast<const std::uint8_t*>(&one) == 1);
    EXPECT_FALSE(SizedStream(xlibplus::hostIsLittleEndian(), 0).needsByteSwap());
    EXPECT_TRUE(SizedStream(!xlibplus::hostIsLittleEndian(), 0).needsByteSwap());
}

TEST(Streams, DefaultEndAndRemaining) {
    SizedStream stream(true, 10);
    stream.position = 4;
    EXPECT_FALSE(stream.eof());
    EXPECT_EQ(stream.remaining(), 6u);
    stream.position = 10;
    EXPECT_TRUE(stream.eof());
    EXPECT_EQ(stream.remaining(), 0u);
    stream.position = 12;
    EXPECT_TRUE(stream.eof());
    EXPECT_EQ(stream.remaining(), 0u);
}

TEST(FileStream, MissingFileGivesNeutralValues) {
    TempDir dir;
    xStdFileStream stream(dir.file("does/not/exist").c_str(), "rb");
    EXPECT_FALSE(stream.isOpen());
    EXPECT_TRUE(stream.eof());
    EXPECT_EQ(stream.size(), 0u);
    EXPECT_EQ(stream.tell(), 0u);
    char buffer[4] = {};
    EXPECT_EQ(stream.read(buffer, 4), 0u);
    EXPECT_EQ(stream.write("x", 1), 0u);
    EXPECT_FALSE(stream.needsByteSwap());
}

TEST(FileStream, WholeCountsOnlyAndEndOnlyAfterReadingPastIt) {
    TempDir dir;
    writeBytes(dir.file("six"), "abcdef");
    xStdFileStream stream(dir.file("six").c_str(), "rb");
    ASSERT_TRUE(stream.isOpen());
    char buffer[5] = "....";
    EXPECT_EQ(stream.read(buffer, 4), 4u);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_FALSE(stream.eof());
    EXPECT_EQ(stream.read(buffer, 4), 0u) << "two bytes left: the count is not delivered";
    EXPECT_TRUE(stream.eof());
}

TEST(FileStream, ReadingExactlyToTheEndIsNotYetTheEnd) {
    TempDir dir;
    writeBytes(dir.file("eight"), "12345678");
    xStdFileStream stream(dir.file("eight").c_str(), "rb");
    IIStream& in = stream;
    std::uint32_t word = 0;
    EXPECT_EQ(in.read(&word, 4), 4u);
    EXPECT_EQ(in.read(&word, 4), 4u);
    EXPECT_FALSE(in.eof());
    EXPECT_EQ(in.remaining(), 0u);
    word = 0;
    EXPECT_EQ(in.read(&word, 4), 0u);
    EXPECT_EQ(word, 0u) << "a failed read leaves the preset value";
    EXPECT_TRUE(in.eof());
}

TEST(FileStream, SizeLeavesThePositionAndSeekMovesIt) {
    TempDir dir;
    writeBytes(dir.file("ten"), "0123456789");
    xStdFileStream stream(dir.file("ten").c_str(), "rb");
    stream.seek(3);
    EXPECT_EQ(stream.size(), 10u);
    EXPECT_EQ(stream.tell(), 3u);
    EXPECT_EQ(stream.remaining(), 7u);
    char c = 0;
    stream.read(&c, 1);
    EXPECT_EQ(c, '3');
}

TEST(FileStream, WritesAreFlushedAtOnce) {
    TempDir dir;
    xStdFileStream stream(dir.file("out").c_str(), "wb");
    IOStream& out = stream;
    EXPECT_EQ(out.write("hello", 5), 5u);
    std::ifstream in(dir.file("out"), std::ios::binary);
    std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(seen, "hello");
}

TEST(FileStream, CloseTwiceIsHarmlessAndEndsEverything) {
    TempDir dir;
    writeBytes(dir.file("f"), "abc");
    xStdFileStream stream(dir.file("f").c_str(), "rb");
    stream.close();
    stream.close();
    EXPECT_FALSE(stream.isOpen());
    EXPECT_TRUE(stream.eof());
    EXPECT_EQ(stream.size(), 0u);
}

TEST(FileStream, AFolderReadsNothingAndEndsAtOnce) {
    TempDir dir;
    xStdFileStream stream(dir.path().string().c_str(), "rb");
    if (!stream.isOpen()) GTEST_SKIP() << "this system does not open folders as files";
    char buffer[4];
    EXPECT_EQ(stream.read(buffer, 4), 0u);
    EXPECT_TRUE(stream.eof()) << "a loop reading until eof must end";
}

} // namespace
