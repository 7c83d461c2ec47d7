// Loading animations beside the sum of inflating and decoding the same frames
// on one thread (the background load reports the quotient of the two as
// `ratio`, and as `ratio_zlib` where the one thread inflates with zlib's
// uncompress), and the per-frame cost of update + render.

#include "bench/malloc_counter.h"
#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "format/inflate.h"
#include "image/image.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "tgl/tgl_player.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
    std::string path;
    std::vector<tgltools::Bytes> compressed; // each frame's payload
    std::vector<std::size_t> imageBytes;     // each frame's inflated size
};

std::vector<std::uint32_t> picture(int width, int height, int seed) {
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inside =
                (x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) <
                (width / 3) * (width / 3);
            pixels[std::size_t(y * width + x)] =
                inside ? 0xFF000000u | std::uint32_t((x * 3 + seed) & 255) << 16 |
                             std::uint32_t((y * 5) & 255) << 8 | 0x40u
                       : 0x00000000u;
        }
    return pixels;
}

Sample makeSample(int frames, int width, int height) {
    Sample sample;
    tgltools::TglWriter writer;
    for (int i = 0; i < frames; ++i) {
        const tgltools::Bytes image =
            tgltools::encodeTga(width, height, picture(width, height, i * 7), false);
        sample.compressed.push_back(tgltools::zlibCompress(image));
        sample.imageBytes.push_back(image.size());
        writer.frame({i, i, 100}).rawBlock(sample.compressed.back());
    }
    char name[] = "/tmp/tglbench-XXXXXX";
    const int fd = mkstemp(name);
    close(fd);
    sample.path = name;
    tgltools::writeFile(sample.path, writer.build());
    return sample;
}

// As the viewer starts.
Engine* startEngine() {
    TglLoader::keepMemoryBetweenLoads();
    Engine* engine = qubCreate(kQubInterfaceVersion);
    engine->extensions()->setOffscreen(true);
    engine->init();
    return engine;
}

void stopEngine(Engine* engine) {
    engine->shutdown();
    engine->release();
}

// range: frame count, width, height.
void loadAnimation(benchmark::State& state) {
    Engine* engine = startEngine();
    const Sample sample =
        makeSample(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)));
    for (auto _ : state) {
        CTGL animation;
        if (!animation.load(sample.path.c_str())) state.SkipWithError("load failed");
        state.PauseTiming(); // the teardown is not the load
        animation.~CTGL();
        new (&animation) CTGL;
        state.ResumeTiming();
    }
    std::remove(sample.path.c_str());
    stopEngine(engine);
}
BENCHMARK(loadAnimation)->Args({60, 256, 256})->Args({10, 800, 600})->Unit(benchmark::kMillisecond);

// The format library's inflate and the image decoder, one frame after the
// other on this thread: what a load with nothing done twice costs on one core.
void uncompressAndDecodeAll(const Sample& sample) {
    for (std::size_t i = 0; i < sample.compressed.size(); ++i) {
        const auto size = static_cast<std::uint32_t>(sample.imageBytes[i]);
        tglformat::InflatedBytes image;
        tglformat::inflateBounded(sample.compressed[i], size, size, image);
        imaging::DecodedImage pixels;
        imaging::decodeImage(image.data.get(), image.size, pixels);
        benchmark::DoNotOptimize(pixels.pixels.data());
    }
}

// The same with zlib's uncompress, the inflate every program has.
void zlibUncompressAndDecodeAll(const Sample& sample) {
    for (std::size_t i = 0; i < sample.compressed.size(); ++i) {
        std::vector<Bytef> image(sample.imageBytes[i]);
        uLongf size = image.size();
        uncompress(image.data(), &size, sample.compressed[i].data(), sample.compressed[i].size());
        imaging::DecodedImage pixels;
        imaging::decodeImage(image.data(), size, pixels);
        benchmark::DoNotOptimize(pixels.pixels.data());
    }
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// As the viewer loads: reading and decoding on other threads, textures made
// here; the time until the animation is ready, and its quotient by the time
// of uncompressAndDecodeAll, measured here too.
void loadInBackground(benchmark::State& state) {
    Engine* engine = startEngine();
    const Sample sample =
        makeSample(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)));
    TglLoader loader;
    double loading = 0;
    double plain = 0;
    double zlibPlain = 0;
    for (auto _ : state) {
        loading += secondsOf([&] {
            loader.start(sample.path.c_str());
            while (loader.poll(std::chrono::steady_clock::now() + std::chrono::seconds(1)) ==
                   TglLoader::Progress::Loading) {
            }
        });
        CTGL* animation = loader.take();
        if (!animation) state.SkipWithError("load failed");
        state.PauseTiming();
        delete animation;
        plain += secondsOf([&] { uncompressAndDecodeAll(sample); });
        zlibPlain += secondsOf([&] { zlibUncompressAndDecodeAll(sample); });
        state.ResumeTiming();
    }
    state.counters["ratio"] = loading / plain;
    state.counters["ratio_zlib"] = loading / zlibPlain;
    std::remove(sample.path.c_str());
    stopEngine(engine);
}
BENCHMARK(loadInBackground)
    ->Args({60, 256, 256})
    ->Args({10, 800, 600})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void uncompressAndDecode(benchmark::State& state, void (*all)(const Sample&)) {
    const Sample sample =
        makeSample(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)));
    for (auto _ : state)
        all(sample);
    std::remove(sample.path.c_str());
}
BENCHMARK_CAPTURE(uncompressAndDecode, library, uncompressAndDecodeAll)
    ->Args({60, 256, 256})
    ->Args({10, 800, 600})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(uncompressAndDecode, zlib, zlibUncompressAndDecodeAll)
    ->Args({60, 256, 256})
    ->Args({10, 800, 600})
    ->Unit(benchmark::kMillisecond);

void updateAndRender(benchmark::State& state) {
    Engine* engine = startEngine();
    const Sample sample = makeSample(12, 96, 112);
    {
        CTGL animation;
        animation.load(sample.path.c_str());
        CTGLPlayer player(&animation);
        player.start();
        engine->beginScene(0);
        const long before = mallocCount();
        for (auto _ : state) {
            player.update();
            player.render();
        }
        state.counters["malloc/frame"] =
            static_cast<double>(mallocCount() - before) / static_cast<double>(state.iterations());
        engine->endScene();
    }
    std::remove(sample.path.c_str());
    stopEngine(engine);
}
BENCHMARK(updateAndRender);

} // namespace

BENCHMARK_MAIN();
