#pragma once

#if !defined(_WIN32)
#include <mutex>
#endif

namespace xlibplus {

// A recursive lock: the owning thread may take it again, and it is free after
// as many unlocks as locks. Hold it through xCriticalSectionLocker only.
class xCriticalSectionLock {
  public:
    xCriticalSectionLock();
    xCriticalSectionLock(const xCriticalSectionLock&) = delete;
    xCriticalSectionLock& operator=(const xCriticalSectionLock&) = delete;

    void lock();
    void unlock();

  private:
#if defined(_WIN32)
    // A CRITICAL_SECTION, kept opaque so that users need not see <windows.h>.
    alignas(void*) unsigned char section_[40];
#else
    std::recursive_mutex section_;
#endif
};

// Holds a lock for the rest of its scope, also while an exception unwinds it.
class xCriticalSectionLocker {
  public:
    explicit xCriticalSectionLocker(xCriticalSectionLock* lock) : lock_(lock) { lock_->lock(); }
    ~xCriticalSectionLocker() { lock_->unlock(); }
    xCriticalSectionLocker(const xCriticalSectionLocker&) = delete;
    xCriticalSectionLocker& operator=(const xCriticalSectionLocker&) = delete;

  private:
    xCriticalSectionLock* lock_;
};

class xEmptyLocker;

// The lock policy that guards nothing, for objects used from one thread.
template <typename Locker> class xEmptyLock {};

class xEmptyLocker {
  public:
    explicit xEmptyLocker(const xEmptyLock<xEmptyLocker>*) {}
};

// The memory manager's thirteen locks, made on first use and never destroyed;
// the start-up objects make them all during static initialisation.
inline constexpr unsigned kPoolLockCount = 12;
xCriticalSectionLock* poolLock(unsigned sizeClass); // pre: sizeClass < kPoolLockCount
xCriticalSectionLock* managerLock();

// Whether a getter has made its lock yet, for tests.
bool poolLockExists(unsigned sizeClass);
bool managerLockExists();

} // namespace xlibplus
