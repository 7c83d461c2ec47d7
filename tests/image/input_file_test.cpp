#include "image/input_file.h"
#include "image/limits.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using imaging::InputFileStatus;

InputFileStatus statusOf(const std::string& path, std::uint64_t limit) {
    imaging::InputFile input = imaging::openInputFile(path.c_str(), limit);
    if (input.file) std::fclose(input.file);
    return input.status;
}

// Sparse: the size is there, the disk blocks are not.
void makeFileOfSize(const std::string& path, std::uint64_t size) {
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
}

TEST(InputFile, OnlyRegularFilesBelowTheLimitOpen) {
    TempDir dir;
    const std::string small = dir.file("small.tgl");
    makeFileOfSize(small, 100);
    EXPECT_EQ(statusOf(small, 101), InputFileStatus::Ok);
    EXPECT_EQ(statusOf(small, 100), InputFileStatus::TooLarge)
        << "the limit is the smallest refused";
    EXPECT_EQ(statusOf(dir.file("missing.tgl"), 1000), InputFileStatus::CannotOpen);
#if defined(_WIN32)
    EXPECT_EQ(statusOf(dir.path().string(), 1000), InputFileStatus::CannotOpen) << "a folder";
#else
    EXPECT_EQ(statusOf(dir.path().string(), 1000), InputFileStatus::NotRegular) << "a folder";
#endif

    imaging::InputFile input = imaging::openInputFile(small.c_str(), 1000);
    ASSERT_EQ(input.status, InputFileStatus::Ok);
    EXPECT_EQ(input.size, 100u);
    char bytes[200];
    EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, input.file), 100u);
    std::fclose(input.file);
}

TEST(InputFile, AnimationsOf2GiBAndResourcesOf16MiBAreRefused) {
    TempDir dir;
    const std::string file = dir.file("big");
    makeFileOfSize(file, InputLimits::kMaxFileBytes - 1);
    EXPECT_EQ(statusOf(file, InputLimits::kMaxFileBytes), InputFileStatus::Ok);
    makeFileOfSize(file, InputLimits::kMaxFileBytes);
    EXPECT_EQ(statusOf(file, InputLimits::kMaxFileBytes), InputFileStatus::TooLarge);
    makeFileOfSize(file, InputLimits::kMaxResourceBytes - 1);
    EXPECT_EQ(statusOf(file, InputLimits::kMaxResourceBytes), InputFileStatus::Ok);
    makeFileOfSize(file, InputLimits::kMaxResourceBytes);
    EXPECT_EQ(statusOf(file, InputLimits::kMaxResourceBytes), InputFileStatus::TooLarge);
}

#if !defined(_WIN32)
TEST(InputFile, AFifoIsRefusedAtOnceWithoutAWriter) {
    TempDir dir;
    const std::string fifo = dir.file("stand_1.tgl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(statusOf(fifo, 1000), InputFileStatus::NotRegular);
}
#endif

} // namespace
