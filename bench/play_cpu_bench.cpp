// tgl play on the sample, in its window, with the overlay on: the CPU the
// process takes per wall second while playing and while paused. Needs a
// display (Xvfb will do):
//     xvfb-run build/bin/play_cpu_bench

#include "engine/engine_ref.h"
#include "engine/engine_test_hooks.h"
#include "tools/tgl/play/play.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/resource.h>

namespace {

double processSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Measured from the tenth presented frame on, past the window's start and the first load.
constexpr int kWarmUp = 10;
int presented = 0;
double cpuAtWarmUp = 0;
std::chrono::steady_clock::time_point wallAtWarmUp;

bool countPresent() {
    if (++presented == kWarmUp) {
        cpuAtWarmUp = processSeconds();
        wallAtWarmUp = std::chrono::steady_clock::now();
    }
    return false;
}

// range(0): 1 = paused; range(1): frames to run (100 fps playing, fewer paused).
void playSample(benchmark::State& state) {
    tgltool::PlayOptions options;
    options.file = SAMPLE_DIR "/stand_1.tgl";
    options.font = SAMPLE_DIR "/font1.fnt";
    options.paused = state.range(0) != 0;
    for (auto _ : state) {
        EngineRef engine;
        engine->testHooks()->setStopAfterFrames(static_cast<int>(state.range(1)));
        engine->testHooks()->setBeforePresent(countPresent);
        presented = 0;
        if (tgltool::play(options) != 0) state.SkipWithError("no window (is there a display?)");
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallAtWarmUp).count();
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = 100 * (processSeconds() - cpuAtWarmUp) / wall;
        state.counters["fps"] = (presented - kWarmUp) / wall;
    }
}
BENCHMARK(playSample)
    ->ArgNames({"paused", "frames"})
    ->Args({0, 500})
    ->Args({1, 100})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
