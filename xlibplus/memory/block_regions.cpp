#include "xlibplus/memory/block_regions.h"

#include <algorithm>
#include <new>

namespace xlibplus::detail {

namespace {

bool beginsBefore(const BlockRegions::Region& region, std::uintptr_t address) {
    return region.begin < address;
}

} // namespace

bool BlockRegions::add(const void* begin, std::size_t bytes, unsigned sizeClass) {
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    auto at = std::lower_bound(regions_.begin(), regions_.end(), start, beginsBefore);
    try {
        regions_.insert(at, Region{start, start + bytes, sizeClass});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void BlockRegions::remove(const void* begin) {
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    auto at = std::lower_bound(regions_.begin(), regions_.end(), start, beginsBefore);
    if (at != regions_.end() && at->begin == start) regions_.erase(at);
}

void BlockRegions::replace(std::uintptr_t start, const void* newBegin, std::size_t bytes) {
    auto at = std::lower_bound(regions_.begin(), regions_.end(), start, beginsBefore);
    const unsigned sizeClass = at->sizeClass;
    if (reinterpret_cast<std::uintptr_t>(newBegin) == start) {
        at->end = start + bytes;
        return;
    }
    regions_.erase(at); // the insertion below reuses the room this leaves
    add(newBegin, bytes, sizeClass);
}

const BlockRegions::Region* BlockRegions::find(const void* address, std::size_t length) const {
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    auto after =
        std::upper_bound(regions_.begin(), regions_.end(), a,
                         [](std::uintptr_t value, const Region& r) { return value < r.begin; });
    if (after == regions_.begin()) return nullptr;
    const Region& region = *(after - 1);
    if (a >= region.end || region.end - a < length) return nullptr;
    return &region;
}

std::size_t BlockRegions::bytes() const {
    std::size_t total = 0;
    for (const Region& r : regions_)
        total += r.end - r.begin;
    return total;
}

BlockRegions& blockRegions() {
    alignas(BlockRegions) static unsigned char storage[sizeof(BlockRegions)];
    static BlockRegions* table = new (storage) BlockRegions;
    return *table;
}

} // namespace xlibplus::detail
