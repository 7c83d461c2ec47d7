#include "xlibplus/memory/locks.h"

#include <cstdint>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace xlibplus {

#if defined(_WIN32)
namespace {
CRITICAL_SECTION* sectionOf(unsigned char* storage) {
    static_assert(sizeof(CRITICAL_SECTION) <= 40 && alignof(CRITICAL_SECTION) <= alignof(void*),
                  "the lock's storage holds a CRITICAL_SECTION");
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
} // namespace

xCriticalSectionLock::xCriticalSectionLock() { InitializeCriticalSection(sectionOf(section_)); }
void xCriticalSectionLock::lock() { EnterCriticalSection(sectionOf(section_)); }
void xCriticalSectionLock::unlock() { LeaveCriticalSection(sectionOf(section_)); }
#else
xCriticalSectionLock::xCriticalSectionLock() = default;
void xCriticalSectionLock::lock() { section_.lock(); }
void xCriticalSectionLock::unlock() { section_.unlock(); }
#endif

namespace {

constexpr unsigned kManagerLockBit = kPoolLockCount;

// Storage that is never destroyed, so the locks outlive every static object
// that frees memory at exit. The guard bits are plain: all locks are made
// during static initialisation, before any thread starts.
alignas(xCriticalSectionLock) unsigned char lockStorage[kPoolLockCount + 1]
                                                       [sizeof(xCriticalSectionLock)];
xCriticalSectionLock* constructedLock[kPoolLockCount + 1];
std::uint32_t guardBits;

xCriticalSectionLock* getLock(unsigned index) {
    const std::uint32_t bit = 1u << index;
    if ((guardBits & bit) == 0) {
        guardBits |= bit;
        try {
            constructedLock[index] = new (lockStorage[index]) xCriticalSectionLock;
        } catch (...) {
            guardBits &= ~bit;
            throw;
        }
    }
    return constructedLock[index];
}

} // namespace

xCriticalSectionLock* poolLock(unsigned sizeClass) { return getLock(sizeClass); }
xCriticalSectionLock* managerLock() { return getLock(kManagerLockBit); }

bool poolLockExists(unsigned sizeClass) { return constructedLock[sizeClass] != nullptr; }
bool managerLockExists() { return constructedLock[kManagerLockBit] != nullptr; }

// The start-up objects make every lock during static initialisation. They live
// here, beside the getters, so that no link can leave them out; a getter called
// earlier by another static object simply makes its lock then.
namespace {

struct PoolLockInitializer {
    PoolLockInitializer() {
        for (unsigned k = 0; k < kPoolLockCount; ++k)
            poolLock(k);
    }
} poolLockInitializer;

struct ManagerLockInitializer {
    ManagerLockInitializer() { xCriticalSectionLocker once(managerLock()); }
} managerLockInitializer;

} // namespace

} // namespace xlibplus
