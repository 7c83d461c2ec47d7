// A 1000-character paragraph wrapped into a box and drawn every frame through
// our engine, headless: glyph quads per second, and the allocations made while
// drawing (there should be none).

#include "bench/malloc_counter.h"
#include "draw/font.h"
#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

std::string paragraph() {
    const std::string words[] = {"sprite",  "frame", "animation", "window",
                                 "texture", "quad",  "engine",    "viewer"};
    std::string text;
    for (int i = 0; text.size() < 1000; ++i)
        text += words[(i * 5) % 8] + " ";
    text.resize(1000);
    return text;
}

void paragraphInABox(benchmark::State& state) {
    Engine* engine = qubCreate(kQubInterfaceVersion);
    engine->extensions()->setOffscreen(true);
    if (!engine->init()) {
        state.SkipWithError("engine did not start");
        return;
    }
    {
        Font font(SAMPLE_FONT, false);
        const std::string text = paragraph();
        long glyphs = 0;
        // One frame first: the renderer sizes its command buffers then.
        engine->beginScene(0);
        font.renderFormattedInBox(20, 20, 760, 560, Font::ALIGN_LEFT | Font::ALIGN_TOP, "%s",
                                  text.c_str());
        engine->endScene();
        const long mallocBefore = mallocCount();
        for (auto _ : state) {
            engine->beginScene(0);
            engine->clearScreen(0xFFFFFFFF);
            font.renderFormattedInBox(20, 20, 760, 560, Font::ALIGN_LEFT | Font::ALIGN_TOP, "%s",
                                      text.c_str());
            engine->endScene();
            glyphs += static_cast<long>(text.size());
        }
        state.counters["glyphs/s"] =
            benchmark::Counter(static_cast<double>(glyphs), benchmark::Counter::kIsRate);
        state.counters["malloc/frame"] = static_cast<double>(mallocCount() - mallocBefore) /
                                         static_cast<double>(state.iterations());
    }
    engine->shutdown();
    engine->release();
}
BENCHMARK(paragraphInABox)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
