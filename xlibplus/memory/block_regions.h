#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xlibplus::detail {

// The memory the manager holds: every pool chunk and every general-heap block,
// with the class it serves. Header validation reads only inside these regions,
// so an address from anywhere else is never read, let alone released.
// Guarded by the manager lock.
class BlockRegions {
  public:
    struct Region {
        std::uintptr_t begin;
        std::uintptr_t end;
        unsigned sizeClass;
    };

    // false when the table cannot grow (no memory).
    bool add(const void* begin, std::size_t bytes, unsigned sizeClass);
    void remove(const void* begin);
    // The region at `begin` now covers [newBegin, newBegin + bytes). Never
    // needs the table to grow, so it cannot fail. pre: `begin` is a region.
    void replace(std::uintptr_t begin, const void* newBegin, std::size_t bytes);
    // The region holding all of [address, address + length), or null.
    const Region* find(const void* address, std::size_t length) const;

    std::size_t count() const { return regions_.size(); }
    std::size_t bytes() const;

  private:
    std::vector<Region> regions_; // sorted by begin, never overlapping
};

// The one table, made on first use and never destroyed.
BlockRegions& blockRegions();

} // namespace xlibplus::detail
