// Sequences of memory-manager operations checked against a model of what each
// block must hold.

#include "xlibplus/memory/memory_manager.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Held {
    std::uint8_t* block;
    std::uint32_t size;
    std::uint8_t fill;
};

void check(bool ok) {
    if (!ok) std::abort();
}

bool holds(const Held& h, std::uint32_t bytes) {
    for (std::uint32_t i = 0; i < bytes; ++i)
        if (h.block[i] != static_cast<std::uint8_t>(h.fill + i)) return false;
    return true;
}

void stamp(Held& h) {
    for (std::uint32_t i = 0; i < h.size; ++i)
        h.block[i] = static_cast<std::uint8_t>(h.fill + i);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<Held> held;
    static const char tag[] = "fuzz";
    for (std::size_t at = 0; at + 3 <= size; at += 3) {
        const std::uint8_t op = data[at];
        const std::uint32_t amount = std::uint32_t(data[at + 1]) << (data[at + 2] % 12);
        const std::size_t which = held.empty() ? 0 : data[at + 2] % held.size();
        switch (op % 6) {
        case 0:
        case 1: { // allocate
            Held h{static_cast<std::uint8_t*>(xlibplus::xAlloc(amount, tag)), amount, op};
            check(h.block && reinterpret_cast<std::uintptr_t>(h.block) % 16 == 0);
            check(xlibplus::xBlockCapacity(h.block) >= amount &&
                  xlibplus::xBlockTag(h.block) == tag);
            stamp(h);
            held.push_back(h);
            break;
        }
        case 2: { // reallocate keeps the smaller size and the tag
            if (held.empty()) break;
            Held& h = held[which];
            auto* moved = static_cast<std::uint8_t*>(xlibplus::xRealloc(h.block, amount));
            check(moved != nullptr);
            h.block = moved;
            check(holds(h, std::min(h.size, amount)) && xlibplus::xBlockTag(moved) == tag);
            h.size = amount;
            stamp(h);
            break;
        }
        case 3: // free, twice: the second must change nothing
            if (held.empty()) break;
            check(holds(held[which], held[which].size));
            xlibplus::xFree(held[which].block);
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(which));
            break;
        case 4: { // queries on addresses that are not blocks
            std::uint8_t local[32] = {};
            check(xlibplus::xBlockTag(local + 16) == nullptr &&
                  xlibplus::xBlockCapacity(local + 16) == 0);
            xlibplus::xFree(local + 16);
            break;
        }
        case 5: // a smaller recorded size is what a later move keeps
            if (held.empty()) break;
            held[which].size = std::min(amount, held[which].size);
            check(xlibplus::xBlockSetSize(held[which].block, held[which].size) == 1);
            break;
        }
        for (const Held& h : held)
            check(holds(h, std::min<std::uint32_t>(h.size, 64)));
    }
    for (Held& h : held) {
        check(holds(h, h.size));
        xlibplus::xFree(h.block);
    }
    return 0;
}
