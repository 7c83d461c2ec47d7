#include "xlibplus/memory/memory_manager.h"

#include "xlibplus/memory/block_regions.h"
#include "xlibplus/memory/locks.h"
#include "xlibplus/memory/poisoning.h"
#include "xlibplus/memory/size_class_pools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace xlibplus {

namespace {

// Guarded by the manager lock.
IMemManager* currentManager = nullptr;
alignas(xDefMM) unsigned char defaultManagerStorage[sizeof(xDefMM)];
bool defaultManagerConstructed = false;

const char* const kReallocTag = "NONAME";
constexpr std::uint32_t kLargestRequest = UINT32_MAX - kBlockHeaderSize;

// At exit the default manager's destructor runs, and static objects destroyed
// after it still free their buffers. Calling a destroyed object is undefined,
// so a fresh manager takes the same storage at once: the entry points go on
// calling a live object at the same address.
void destroyDefaultManagerAtExit() {
    std::launder(reinterpret_cast<xDefMM*>(defaultManagerStorage))->~xDefMM();
    new (defaultManagerStorage) xDefMM;
}

xDefMM* defaultManager() {
    if (!defaultManagerConstructed) {
        defaultManagerConstructed = true;
        new (defaultManagerStorage) xDefMM;
        std::atexit(destroyDefaultManagerAtExit);
    }
    return std::launder(reinterpret_cast<xDefMM*>(defaultManagerStorage));
}

// pre: the manager lock is held.
IMemManager* manager() {
    if (!currentManager) currentManager = defaultManager();
    return currentManager;
}

xBlockHeader* headerOf(const void* block) {
    return reinterpret_cast<xBlockHeader*>(
        const_cast<std::uint8_t*>(static_cast<const std::uint8_t*>(block)) - kBlockHeaderSize);
}

// The header of a block the manager handed out, or null. Reads memory only
// inside the manager's own regions, so any other address is safe to pass.
// pre: the manager lock is held.
xBlockHeader* validHeader(const void* block) {
    if (reinterpret_cast<std::uintptr_t>(block) < kBlockHeaderSize) return nullptr;
    xBlockHeader* header = headerOf(block);
    const auto* region = detail::blockRegions().find(header, kBlockHeaderSize);
    if (!region) return nullptr;
    if (header->sizeClass > kLargeBlockClass || header->magic != kBlockMagic) return nullptr;
    if (header->sizeClass != region->sizeClass) return nullptr;
    if (header->sizeClass == kLargeBlockClass &&
        region->begin != reinterpret_cast<std::uintptr_t>(header))
        return nullptr;
    return header;
}

void* takeLargeBlock(std::size_t gross) {
    void* raw = std::malloc(gross);
    if (raw && !detail::blockRegions().add(raw, gross, kLargeBlockClass)) {
        std::free(raw);
        return nullptr;
    }
    return raw;
}

void giveLargeBlock(xBlockHeader* header) {
    detail::blockRegions().remove(header);
    std::free(header);
}

// A general-heap block resized where it lies if the heap can: no copy through
// a second block, so growing a large buffer step by step stays linear.
void* resizeLargeBlock(xBlockHeader* header, std::uint32_t size) {
    const std::size_t gross = std::size_t(size) + kBlockHeaderSize;
    const auto oldBegin = reinterpret_cast<std::uintptr_t>(header);
    void* moved = std::realloc(header, gross);
    if (!moved) return nullptr;
    detail::blockRegions().replace(oldBegin, moved, gross);
    static_cast<xBlockHeader*>(moved)->size = size;
    return static_cast<std::uint8_t*>(moved) + kBlockHeaderSize;
}

// Marks a pooled block's bytes past its requested size as off limits.
void fitPoisonToSize(xBlockHeader* header) {
    if (header->sizeClass >= kSizeClassCount) return;
    auto* payload = reinterpret_cast<std::uint8_t*>(header) + kBlockHeaderSize;
    const std::uint32_t capacity = sizeClassBytes[header->sizeClass] - kBlockHeaderSize;
    memory::unpoison(payload, header->size);
    memory::poison(payload + header->size, capacity - header->size);
}

} // namespace

unsigned sizeClassOf(std::uint32_t grossSize) {
    unsigned low = 0;
    unsigned high = kSizeClassCount;
    while (low < high) {
        const unsigned mid = (low + high) / 2;
        if (sizeClassBytes[mid] == grossSize) return mid;
        if (sizeClassBytes[mid] > grossSize)
            high = mid;
        else
            low = mid + 1;
    }
    return high;
}

xDefMM::xDefMM() { currentManager = this; }

xDefMM::~xDefMM() = default;

void* xDefMM::allocate(std::uint32_t size, const char* tag) {
    if (size > kLargestRequest) return nullptr;
    const std::uint32_t gross = size + kBlockHeaderSize;
    const unsigned k = sizeClassOf(gross);
    void* raw = k < kSizeClassCount ? detail::sizeClassAllocate(k) : takeLargeBlock(gross);
    if (!raw) return nullptr;

    auto* header = static_cast<xBlockHeader*>(raw);
    if (header->state == kStateInUse && header->magic == kBlockMagic)
        std::printf("ERROR: alloc alloced memory - (%u)%s!\n", gross, tag);
    header->sizeClass = static_cast<std::uint8_t>(k);
    header->state = kStateInUse;
    header->magic = kBlockMagic;
    header->size = size;
    header->tag = tag;
    fitPoisonToSize(header);
    return static_cast<std::uint8_t*>(raw) + kBlockHeaderSize;
}

void xDefMM::release(void* block) {
    xBlockHeader* header = validHeader(block);
    if (!header) return;
    if (header->state == kStateReleased) {
        // Said, and nothing more: the block must not reach its pool or the heap twice.
        std::printf("ERROR: delete deleted memory - (%u)%s!\n", header->size, header->tag);
        return;
    }
    if (header->sizeClass == kLargeBlockClass) {
        header->state = kStateReleased;
        giveLargeBlock(header);
        return;
    }
    // The pool's free-list link now takes the header's first bytes, state included.
    detail::sizeClassRelease(header->sizeClass, header);
}

void* xDefMM::reallocate(void* block, std::uint32_t size) {
    xBlockHeader* header = validHeader(block);
    if (!header) return xAlloc(size, kReallocTag);
    if (size > kLargestRequest) return nullptr;

    const unsigned k = sizeClassOf(size + kBlockHeaderSize);
    if (k == header->sizeClass && k < kSizeClassCount) {
        header->size = size;
        fitPoisonToSize(header);
        return block;
    }
    if (k == kLargeBlockClass && header->sizeClass == kLargeBlockClass)
        return resizeLargeBlock(header, size);

    void* moved = xAlloc(size, header->tag);
    if (!moved) return nullptr;
    std::memcpy(moved, block, std::min(size, header->size));
    xFree(block);
    return moved;
}

void* xAlloc(std::uint32_t size, const char* tag) {
    xCriticalSectionLocker locker(managerLock());
    return manager()->allocate(size, tag);
}

void* xRealloc(void* block, std::uint32_t size) {
    xCriticalSectionLocker locker(managerLock());
    return manager()->reallocate(block, size);
}

void xFree(void* block) {
    xCriticalSectionLocker locker(managerLock());
    manager()->release(block);
}

// The queries take the manager lock too: validation consults the region
// table, which other threads change under that lock.
const char* xBlockTag(const void* block) {
    xCriticalSectionLocker locker(managerLock());
    const xBlockHeader* header = validHeader(block);
    return header ? header->tag : nullptr;
}

std::uint32_t xBlockCapacity(const void* block) {
    xCriticalSectionLocker locker(managerLock());
    const xBlockHeader* header = validHeader(block);
    if (!header) return 0;
    return header->sizeClass < kSizeClassCount
               ? sizeClassBytes[header->sizeClass] - kBlockHeaderSize
               : header->size;
}

int xBlockSetSize(void* block, std::uint32_t size) {
    xCriticalSectionLocker locker(managerLock());
    xBlockHeader* header = validHeader(block);
    if (!header || xBlockCapacity(block) < size) return 0;
    header->size = size;
    fitPoisonToSize(header);
    return 1;
}

} // namespace xlibplus
