#include "xlibplus/memory/size_class_pools.h"

#include "xlibplus/memory/block_regions.h"
#include "xlibplus/memory/fixed_memory_pool.h"
#include "xlibplus/memory/locks.h"
#include "xlibplus/memory/memory_manager.h"

#include <array>
#include <new>
#include <utility>

namespace xlibplus::detail {

namespace {

constexpr std::uint32_t kBlocksPerChunk = 64;

// A class's pool, whose chunks are entered in the region table for as long as
// the pool holds them.
template <unsigned K>
class ClassPool final : public memory::xFixedMemoryPool<sizeClassBytes[K], kBlocksPerChunk> {
  protected:
    void* takeChunk(std::size_t bytes) override {
        void* chunk = std::malloc(bytes);
        if (chunk && !blockRegions().add(chunk, bytes, K)) {
            std::free(chunk);
            return nullptr;
        }
        return chunk;
    }
    void giveChunk(void* chunk) override {
        blockRegions().remove(chunk);
        std::free(chunk);
    }
};

// Made in static storage on the class's first allocation, never destroyed.
template <unsigned K> struct ClassSlot {
    static ClassPool<K>* pool;
    alignas(ClassPool<K>) static unsigned char storage[sizeof(ClassPool<K>)];

    static void* allocate() {
        xCriticalSectionLocker locker(poolLock(K));
        if (!pool) pool = new (storage) ClassPool<K>;
        return pool->allocate();
    }
    static bool release(void* raw) {
        xCriticalSectionLocker locker(poolLock(K));
        return pool && pool->release(raw);
    }
    static PoolFigures figures() {
        xCriticalSectionLocker locker(poolLock(K));
        return pool ? PoolFigures{pool->chunkCount(), pool->usedBlocks()} : PoolFigures{0, 0};
    }
};
template <unsigned K> ClassPool<K>* ClassSlot<K>::pool = nullptr;
template <unsigned K>
alignas(ClassPool<K>) unsigned char ClassSlot<K>::storage[sizeof(ClassPool<K>)];

struct ClassFunctions {
    void* (*allocate)();
    bool (*release)(void*);
    PoolFigures (*figures)();
};

template <std::size_t... K> constexpr auto makeTable(std::index_sequence<K...>) {
    return std::array<ClassFunctions, sizeof...(K)>{
        ClassFunctions{&ClassSlot<K>::allocate, &ClassSlot<K>::release, &ClassSlot<K>::figures}...};
}

constexpr auto kClassFunctions = makeTable(std::make_index_sequence<kSizeClassCount>{});

} // namespace

void* sizeClassAllocate(unsigned k) { return kClassFunctions[k].allocate(); }
bool sizeClassRelease(unsigned k, void* raw) { return kClassFunctions[k].release(raw); }
PoolFigures sizeClassFigures(unsigned k) { return kClassFunctions[k].figures(); }

} // namespace xlibplus::detail
