// Engine throughput: textured quads per second, and the CPU the paced loop
// costs. With DISPLAY set the accelerated renderer is measured too.

#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "tools/common/tga_writer.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

namespace {

Engine* engine = nullptr;

bool startEngine(bool headless, int frameRate) {
    engine = qubCreate(kQubInterfaceVersion);
    engine->extensions()->setOffscreen(headless);
    engine->setIntState(QubState::kFrameRate, frameRate);
    engine->setStringState(QubState::kWindowTitle, "engine_bench");
    return engine->init();
}

void stopEngine() {
    engine->shutdown();
    engine->release();
    engine = nullptr;
}

Quad quadAt(float x, float y, float angle, TextureHandle texture) {
    const float c = std::cos(angle), s = std::sin(angle);
    const float corners[4][2] = {{0, 0}, {64, 0}, {64, 64}, {0, 64}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    Quad q{};
    for (int i = 0; i < 4; ++i) {
        float px = corners[i][0] - 32, py = corners[i][1] - 32;
        q.vertices[i] =
            Vertex{x + px * c - py * s, y + px * s + py * c, 0.5f, 0xFFFFFFFF, uv[i][0], uv[i][1]};
    }
    q.texture = texture;
    q.blendMode = 2;
    return q;
}

// range(0): 1 = headless software renderer, 0 = the display's renderer.
// range(1): 0 = axis-aligned, 1 = turned by 30 degrees.
void texturedQuads(benchmark::State& state) {
    bool headless = state.range(0) == 1;
    if (!headless && !std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY: accelerated renderer not measured");
        return;
    }
    if (!startEngine(headless, 0)) {
        state.SkipWithError("engine did not start");
        return;
    }
    std::vector<std::uint32_t> pixels(64 * 64);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0x80000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    auto bytes = tgltools::encodeTga(64, 64, pixels, false);
    TextureHandle texture = engine->loadTexture(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::uint32_t>(bytes.size()), false);
    float angle = state.range(1) ? 0.5235988f : 0.0f;
    constexpr int kQuadsPerFrame = 1000;
    std::int64_t quads = 0;
    for (auto _ : state) {
        engine->beginScene(0);
        engine->clearScreen(0xFFFFFFFF);
        for (int i = 0; i < kQuadsPerFrame; ++i) {
            Quad q = quadAt(static_cast<float>(40 + (i * 37) % 720),
                            static_cast<float>(40 + (i * 53) % 520), angle, texture);
            engine->drawQuad(&q);
        }
        std::uint32_t pixel;
        engine->extensions()->readBackBuffer(&pixel, 1,
                                             1); // makes batched renderers finish the frame
        engine->endScene();
        quads += kQuadsPerFrame;
    }
    state.SetItemsProcessed(quads);
    state.counters["quads/s"] =
        benchmark::Counter(static_cast<double>(quads), benchmark::Counter::kIsRate);
    stopEngine();
}
BENCHMARK(texturedQuads)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({0, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

bool emptyScene() {
    engine->beginScene(0);
    engine->clearScreen(0xFFFFFFFF);
    engine->endScene();
    return false;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One second of the loop at 100 frames per second; "cpu/wall" is the share of
// one core it used.
void pacedLoopCpu(benchmark::State& state) {
    bool headless = state.range(0) == 1 || !std::getenv("DISPLAY");
    if (!startEngine(headless, 100)) {
        state.SkipWithError("engine did not start");
        return;
    }
    engine->setCallbackState(QubState::kRenderCallback, emptyScene);
    engine->testHooks()->setStopAfterFrames(100);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        double cpuStart = cpuSeconds();
        auto wallStart = std::chrono::steady_clock::now();
        engine->run();
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - wallStart;
        cpu += cpuSeconds() - cpuStart;
        wall += elapsed.count();
        state.SetIterationTime(elapsed.count());
    }
    state.counters["cpu/wall"] = cpu / wall;
    state.counters["fps"] = 100.0 * static_cast<double>(state.iterations()) / wall;
    stopEngine();
}
BENCHMARK(pacedLoopCpu)
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
