// What a second busy core costs the first: the CPU time of one unit of work
// on a thread alone, and on each of two threads working at once. Three kinds
// of work: arithmetic in registers, copying blocks larger than the caches,
// and a frame's inflate + decode as the loader's threads do it (a 256 x 256
// TGA and an 800 x 600 PNG). Where arithmetic alone slows down, the cores
// share something below the program (a host's hyper-threads, a clock budget).
//     build/bin/two_cores [ROUNDS=5]

#include "image/image.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

volatile std::uint64_t sink;

void arithmetic() {
    std::uint64_t x = 88172645463325252ull, sum = 0;
    for (int i = 0; i < 50'000'000; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        sum += x;
    }
    sink = sum;
}

void copying() {
    static thread_local std::vector<char> from(64 << 20, 1), to(64 << 20);
    for (int i = 0; i < 4; ++i)
        std::memcpy(to.data(), from.data(), from.size());
    sink = std::uint64_t(to[12345]);
}

std::vector<std::uint32_t> photograph(int width, int height) {
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    std::uint32_t seed = 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const auto c = [&](double v) {
                return std::uint32_t(std::clamp(v + (seed >> 28), 0.0, 255.0));
            };
            pixels[std::size_t(y * width + x)] =
                0xFF000000u | c(128 + 100 * std::sin(x * 0.02)) << 16 |
                c(128 + 100 * std::cos(y * 0.03)) << 8 | c((x * y) % 200);
        }
    return pixels;
}

struct Frame {
    tgltools::Bytes compressed;
    std::size_t size = 0;
};

Frame frameOf(const tgltools::Bytes& image) {
    return {tgltools::zlibCompress(image), image.size()};
}

void decodeFrames(const Frame& frame, int count) {
    for (int i = 0; i < count; ++i) {
        std::vector<Bytef> image(frame.size);
        uLongf size = image.size();
        uncompress(image.data(), &size, frame.compressed.data(), frame.compressed.size());
        imaging::DecodedImage pixels;
        imaging::decodeImage(image.data(), size, pixels);
        sink = pixels.pixels.empty() ? 0 : pixels.pixels[0];
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// CPU seconds of `work` alone, and of each of two threads doing it at once.
void compare(const char* name, const std::function<void()>& work, int rounds) {
    std::vector<double> alone, together;
    for (int r = 0; r < rounds; ++r) {
        std::thread([&] {
            const double start = threadSeconds();
            work();
            alone.push_back(threadSeconds() - start);
        }).join();
        double seconds[2] = {};
        std::thread a([&] {
            const double s = threadSeconds();
            work();
            seconds[0] = threadSeconds() - s;
        });
        std::thread b([&] {
            const double s = threadSeconds();
            work();
            seconds[1] = threadSeconds() - s;
        });
        a.join();
        b.join();
        together.push_back((seconds[0] + seconds[1]) / 2);
    }
    std::printf("%-34s alone %8.2f ms   two at once %8.2f ms each   %+5.1f %%\n", name,
                median(alone) * 1e3, median(together) * 1e3,
                (median(together) / median(alone) - 1) * 100);
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const Frame tga = frameOf(tgltools::encodeTga(256, 256, photograph(256, 256), false));
    const Frame png = frameOf(imaging::encodePng(photograph(800, 600).data(), 800, 600));
    std::printf("medians of %d rounds; CPU time of each thread\n", rounds);
    compare("arithmetic in registers", arithmetic, rounds);
    compare("copying 4 x 64 MiB", copying, rounds);
    compare(
        "60 frames of 256 x 256 TGA", [&] { decodeFrames(tga, 60); }, rounds);
    compare(
        "10 frames of 800 x 600 PNG", [&] { decodeFrames(png, 10); }, rounds);
}
