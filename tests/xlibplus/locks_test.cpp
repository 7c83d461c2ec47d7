#include "xlibplus/memory/locks.h"
#include "xlibplus/memory/memory_manager.h"
#include "xlibplus/memory/size_class_pools.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <type_traits>

namespace {

using namespace xlibplus;

// What this program's own static initialisation finds, after the library's
// and before any test: whatever order the tests then run in.
struct AtStart {
    bool locks = managerLockExists();
    std::uint32_t chunks = 0;
    AtStart() {
        for (unsigned k = 0; k < kPoolLockCount; ++k) {
            locks = locks && poolLockExists(k);
            chunks += std::uint32_t(detail::sizeClassFigures(k).chunks);
        }
    }
} const atStart;

TEST(Locks, AllThirteenExistAfterStaticInitialisationBeforeAnyAllocation) {
    EXPECT_TRUE(atStart.locks);
    EXPECT_EQ(atStart.chunks, 0u) << "something allocated before the locks were checked";
}

TEST(Locks, GettersReturnTheSameLockEveryTime) {
    EXPECT_EQ(managerLock(), managerLock());
    for (unsigned k = 0; k < kPoolLockCount; ++k) {
        EXPECT_EQ(poolLock(k), poolLock(k));
        EXPECT_NE(poolLock(k), managerLock());
    }
    EXPECT_NE(poolLock(0), poolLock(1));
}

// Whether another thread gets the lock within `wait`: long when it should,
// as it then returns at once; short when it should not.
bool otherThreadCanTake(xCriticalSectionLock* lock, std::thread& taker, std::atomic<bool>& taken,
                        std::chrono::milliseconds wait) {
    taker = std::thread([lock, &taken] {
        xCriticalSectionLocker locker(lock);
        taken = true;
    });
    for (auto end = std::chrono::steady_clock::now() + wait;
         !taken && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return taken;
}

TEST(Locks, OwnerMayReenterAndTheLockIsFreeAfterAsManyReleases) {
    xCriticalSectionLock lock;
    std::thread taker;
    std::atomic<bool> taken{false};
    lock.lock();
    lock.lock(); // as xRealloc does through xAlloc and xFree
    lock.unlock();
    EXPECT_FALSE(otherThreadCanTake(&lock, taker, taken, std::chrono::milliseconds(200)))
        << "one lock is still held";
    lock.unlock();
    taker.join();
    EXPECT_TRUE(taken);
}

TEST(Locks, LockerLetsGoWhenAnExceptionLeavesItsScope) {
    xCriticalSectionLock lock;
    try {
        xCriticalSectionLocker locker(&lock);
        throw std::runtime_error("unwinding");
    } catch (const std::runtime_error&) {
    }
    std::thread taker;
    std::atomic<bool> taken{false};
    EXPECT_TRUE(otherThreadCanTake(&lock, taker, taken, std::chrono::seconds(10)));
    taker.join();
}

TEST(Locks, ManagerLockIsReleasedWhenAPoolThrowsThroughIt) {
    // The memory manager's own lock survives a throw under it, nested.
    try {
        xCriticalSectionLocker outer(managerLock());
        xCriticalSectionLocker inner(poolLock(3));
        throw "FATAL ERROR!";
    } catch (const char*) {
    }
    // Another thread allocates under the same locks; were one still held, it
    // would wait for ever: the test fails after a while instead of hanging.
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread other([done] {
        xFree(xAlloc(300, "after"));
        *done = true;
    });
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !*done && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(*done) << "a lock was left held by the throw";
    other.join();
}

// The empty policy costs nothing: a compile-time fact, checked where it holds.
static_assert(std::is_empty_v<xEmptyLock<xEmptyLocker>>);
static_assert(std::is_empty_v<xEmptyLocker>);

} // namespace
