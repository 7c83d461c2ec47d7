// Hostile files against the viewer's loader: each case is loaded by a child
// process with our engine off-screen, as the viewer loads (TglLoader, polled
// with the frame's budget), and reported with the wall time of the load, the
// longest the window would go without a repaint after the first poll, and the
// child's peak resident memory.
//     build/bin/hostile_bench

#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_ref.h"
#include "engine/engine_test_hooks.h"
#include "image/limits.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using tgltools::Bytes;
using tgltools::TglWriter;
namespace fs = std::filesystem;

const fs::path kFolder = fs::temp_directory_path() / "tgl-hostile-bench";

// A zlib stream of `bytes` zeros after `head`, deflated a MiB at a time.
Bytes bomb(const Bytes& head, std::uint64_t bytes) {
    z_stream z{};
    deflateInit(&z, 9);
    Bytes out;
    const Bytes zeros(1 << 20, 0);
    Bytes chunk(1 << 16);
    auto feed = [&](const Bytes& in, std::size_t size, int flush) {
        z.next_in = const_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(size);
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            deflate(&z, flush);
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    feed(head, head.size(), Z_NO_FLUSH);
    for (std::uint64_t left = bytes; left > 0;) {
        const std::size_t now = std::size_t(std::min<std::uint64_t>(left, zeros.size()));
        left -= now;
        feed(zeros, now, left ? Z_NO_FLUSH : Z_FINISH);
    }
    deflateEnd(&z);
    return out;
}

Bytes tgaHeader(int width, int height, bool runLength) {
    Bytes b(18, 0);
    b[2] = runLength ? 10 : 2;
    b[12] = std::uint8_t(width), b[13] = std::uint8_t(width >> 8);
    b[14] = std::uint8_t(height), b[15] = std::uint8_t(height >> 8);
    b[16] = 32;
    b[17] = 0x28;
    return b;
}

Bytes solidRunLengthTga(int side) {
    Bytes b = tgaHeader(side, side, true);
    for (std::int64_t left = std::int64_t(side) * side; left > 0; left -= 128)
        b.insert(b.end(),
                 {std::uint8_t(0x80 | ((left >= 128 ? 128 : left) - 1)), 0x10, 0x20, 0x30, 0xFF});
    return b;
}

void sparse(const fs::path& path, const Bytes& start, std::uint64_t size) {
    tgltools::writeFile(path.string(), start);
    fs::resize_file(path, size);
}

struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
};

const Case kCases[] = {
    {"png_header_23200",
     [](const fs::path& p) {
         Bytes png = {0x89, 'P',  'N', 'G', '\r', '\n', 0x1a, '\n', 0,    0, 0,
                      13,   'I',  'H', 'D', 'R',  0,    0,    0x5A, 0xA0, 0, 0,
                      0x5A, 0xA0, 8,   6,   0,    0,    0,    0,    0,    0, 0};
         tgltools::writeFile(p.string(), TglWriter().frame({}).image(png).build());
     }},
    {"three_rle_tga_16384",
     [](const fs::path& p) {
         TglWriter w;
         for (int i = 0; i < 3; ++i)
             w.frame({}).rawBlock(bomb(tgaHeader(16384, 16384, true), 0));
         tgltools::writeFile(p.string(), w.build());
     }},
    {"twenty_frames_near_256MiB",
     [](const fs::path& p) {
         TglWriter w;
         const Bytes payload = bomb(tgaHeader(64, 64, false), (255u << 20));
         for (int i = 0; i < 20; ++i)
             w.frame({}).rawBlock(payload);
         tgltools::writeFile(p.string(), w.build());
     }},
    {"zero_bomb_4GiB",
     [](const fs::path& p) {
         tgltools::writeFile(
             p.string(), TglWriter().frame({}).rawBlock(bomb({}, std::uint64_t{4} << 30)).build());
     }},
    {"sparse_64MiB_2e31_frames",
     [](const fs::path& p) { sparse(p, TglWriter().frameCount(0x7FFFFFFF).build(), 64u << 20); }},
    {"sparse_3GiB_zero_words",
     [](const fs::path& p) { sparse(p, TglWriter().frame({}).build(), std::uint64_t{3} << 30); }},
    {"million_frames_no_images",
     [](const fs::path& p) {
         TglWriter w;
         const Bytes notImage = tgltools::zlibCompress(Bytes{'n', 'o'});
         for (int i = 0; i < 1000000; ++i)
             w.frame({}).rawBlock(notImage);
         tgltools::writeFile(p.string(), w.build());
     }},
    {"four_rle_tga_4096_whole_budget",
     [](const fs::path& p) {
         TglWriter w;
         const Bytes frame = tgltools::zlibCompress(solidRunLengthTga(4096));
         for (int i = 0; i < 4; ++i)
             w.frame({}).rawBlock(frame);
         tgltools::writeFile(p.string(), w.build());
     }},
    {"one_rle_tga_4096",
     [](const fs::path& p) {
         tgltools::writeFile(p.string(),
                             TglWriter()
                                 .frame({})
                                 .rawBlock(tgltools::zlibCompress(solidRunLengthTga(4096)))
                                 .build());
     }},
    {"fifo", [](const fs::path& p) { mkfifo(p.c_str(), 0600); }},
};

// In the child: loads as the viewer does; the longest poll after the first,
// which waits up to 50 ms on purpose, in milliseconds: how long the picture
// stands still.
double loadAsTheViewer(const fs::path& file) {
    using Clock = std::chrono::steady_clock;
    TglLoader loader;
    loader.start(file.c_str());
    double longest = 0;
    bool first = true;
    for (auto wait = std::chrono::milliseconds(50);; wait = std::chrono::milliseconds(4)) {
        const auto start = Clock::now();
        const TglLoader::Progress progress = loader.poll(start + wait);
        if (!first)
            longest = std::max(
                longest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        first = false;
        if (progress != TglLoader::Progress::Loading) break;
    }
    delete loader.take();
    return longest;
}

// Loads the file in a child; its wall time and peak resident memory.
void loadInChild(benchmark::State& state, const Case& c) {
    fs::create_directories(kFolder);
    const fs::path file = kFolder / (std::string(c.name) + ".tgl");
    if (!fs::exists(fs::symlink_status(file))) c.make(file);
    for (auto _ : state) {
        int report[2];
        if (pipe(report) != 0) state.SkipWithError("no pipe");
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            TglLoader::keepMemoryBetweenLoads();
            EngineRef engine;
            engine->extensions()->setOffscreen(true);
            if (!engine->init()) _exit(3);
            const double longest = loadAsTheViewer(file);
            engine->shutdown();
            _exit(write(report[1], &longest, sizeof longest) == sizeof longest ? 0 : 4);
        }
        close(report[1]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        double longest = 0;
        if (read(report[0], &longest, sizeof longest) != sizeof longest) longest = -1;
        close(report[0]);
        state.counters["standstill_ms"] = longest;
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the child failed");
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark(
        "empty_file",
        [](benchmark::State& state) {
            loadInChild(state, Case{"empty", [](const fs::path& p) {
                                        tgltools::writeFile(p.string(), TglWriter().build());
                                    }});
        })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    for (const Case& c : kCases)
        benchmark::RegisterBenchmark(c.name,
                                     [&c](benchmark::State& state) { loadInChild(state, c); })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::error_code ignored;
    fs::remove_all(kFolder, ignored);
    return 0;
}
