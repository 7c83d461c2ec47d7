#include "bench/malloc_counter.h"

#include <atomic>
#include <cstddef>

namespace {

std::atomic<long> calls{0};

} // namespace

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* malloc(std::size_t size) {
    ++calls;
    return __libc_malloc(size);
}

long mallocCount() { return calls; }
