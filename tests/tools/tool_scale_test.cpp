// The tool on the largest file the frame limit allows: a million frames whose
// blocks inflate to one byte each. What it keeps per frame must stay small.

#include "image/limits.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

struct Outcome {
    int exitCode = -1;
    long peakKiB = 0;
    double seconds = 0;
};

// The command with its output on /dev/null, and the child's peak resident size.
Outcome run(const std::vector<std::string>& command) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::vector<char*> arguments;
        for (const std::string& word : command)
            arguments.push_back(const_cast<char*>(word.c_str()));
        arguments.push_back(nullptr);
        execv(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

TEST(ToolAtScale, AMillionFramesStayWithin256MiB) {
    TempDir dir;
    tgltools::TglWriter writer;
    writer.perFrameDurations(1);
    const tgltools::Bytes oneByte = tgltools::zlibCompress({0x2A});
    for (std::int32_t i = 0; i < InputLimits::kMaxFrames; ++i)
        writer.frame({i % 800, i % 600, 10});
    for (std::int32_t i = 0; i < InputLimits::kMaxFrames; ++i)
        writer.rawBlock(oneByte);
    const std::string file = dir.file("million.tgl");
    ASSERT_TRUE(tgltools::writeFile(file, writer.build()));

    // Each frame's byte is no image: verify finds problems, the others succeed.
    const std::vector<std::tuple<const char*, std::vector<std::string>, int>> commands = {
        {"info --json", {TGL_TOOL, "info", file, "--json"}, 0},
        {"verify", {TGL_TOOL, "verify", file}, 1},
        {"unpack", {TGL_TOOL, "unpack", file, dir.file("frames")}, 0},
    };
    for (const auto& [name, command, exitCode] : commands) {
        const Outcome r = run(command);
        std::printf("tgl %s of 2^20 frames: %.1f s, peak %.0f MiB\n", name, r.seconds,
                    double(r.peakKiB) / 1024);
        EXPECT_EQ(r.exitCode, exitCode) << name;
        EXPECT_LE(r.peakKiB, 256 * 1024) << name;
    }
}

} // namespace
