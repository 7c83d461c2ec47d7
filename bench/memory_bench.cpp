// The memory manager beside the C library: allocate+free pairs by size, and a
// buffer grown a kilobyte at a time to 4 MiB.

#include "xlibplus/memory/memory_manager.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using xlibplus::xAlloc;
using xlibplus::xFree;
using xlibplus::xRealloc;

// One block of the size stays held, so that the pairs measure the pool and not
// a chunk taken and given back on every pair.
void managerPair(benchmark::State& state) {
    const auto size = static_cast<std::uint32_t>(state.range(0));
    void* resident = xAlloc(size, "NONAME");
    for (auto _ : state) {
        void* p = xAlloc(size, "NONAME");
        benchmark::DoNotOptimize(p);
        xFree(p);
    }
    xFree(resident);
}
BENCHMARK(managerPair)->Arg(16)->Arg(100)->Arg(1000)->Arg(8000);

// Without a resident block every pair takes a chunk from the heap and gives it back.
void managerPairEmptyPool(benchmark::State& state) {
    const auto size = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        void* p = xAlloc(size, "NONAME");
        benchmark::DoNotOptimize(p);
        xFree(p);
    }
}
BENCHMARK(managerPairEmptyPool)->Arg(16)->Arg(100)->Arg(1000)->Arg(8000);

void mallocPair(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    void* resident = std::malloc(size);
    for (auto _ : state) {
        void* p = std::malloc(size);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
    std::free(resident);
}
BENCHMARK(mallocPair)->Arg(16)->Arg(100)->Arg(1000)->Arg(8000);

constexpr std::uint32_t kStep = 1024;
constexpr std::uint32_t kTarget = 4 << 20;

void managerGrowTo4MiB(benchmark::State& state) {
    for (auto _ : state) {
        void* buffer = nullptr;
        for (std::uint32_t size = kStep; size <= kTarget; size += kStep) {
            buffer = xRealloc(buffer, size);
            static_cast<char*>(buffer)[size - 1] = 1;
        }
        xFree(buffer);
    }
}
BENCHMARK(managerGrowTo4MiB)->Unit(benchmark::kMillisecond);

void reallocGrowTo4MiB(benchmark::State& state) {
    for (auto _ : state) {
        void* buffer = nullptr;
        for (std::uint32_t size = kStep; size <= kTarget; size += kStep) {
            buffer = std::realloc(buffer, size);
            static_cast<char*>(buffer)[size - 1] = 1;
        }
        std::free(buffer);
    }
}
BENCHMARK(reallocGrowTo4MiB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
