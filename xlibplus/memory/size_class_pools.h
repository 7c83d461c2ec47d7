#pragma once

#include <cstddef>
#include <cstdint>

// The twelve class pools behind the default manager. Each function takes its
// class's lock; callers hold the manager lock (lock order: manager, then class).
namespace xlibplus::detail {

// A raw block of sizeClassBytes[k] bytes, or null. pre: k < kSizeClassCount
void* sizeClassAllocate(unsigned k);
// false when the pool does not hold `raw` as a block in use (or was never made).
bool sizeClassRelease(unsigned k, void* raw);

// Figures over all classes, for tests and benchmarks.
struct PoolFigures {
    std::uint32_t chunks;
    std::uint32_t usedBlocks;
};
PoolFigures sizeClassFigures(unsigned k);

} // namespace xlibplus::detail
