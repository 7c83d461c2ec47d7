#include "xlibplus/memory/locks.h"
#include "xlibplus/memory/memory_manager.h"
#include "xlibplus/memory/size_class_pools.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using namespace xlibplus;

// Must stay the first test of this program: nothing has allocated yet.
TEST(Locks, AllThirteenExistAfterStaticInitialisationBeforeAnyAllocation) {
    for (unsigned k = 0; k < kPoolLockCount; ++k) {
        EXPECT_TRUE(poolLockExists(k)) << "class " << k;
        EXPECT_EQ(detail::sizeClassFigures(k).chunks, 0u);
    }
    EXPECT_TRUE(managerLockExists());
}

TEST(Locks, GettersReturnTheSameLockEveryTime) {
    EXPECT_EQ(managerLock(), managerLock());
    for (unsigned k = 0; k < kPoolLockCount; ++k) {
        EXPECT_EQ(poolLock(k), poolLock(k));
        EXPECT_NE(poolLock(k), managerLock());
    }
    EXPECT_NE(poolLock(0), poolLock(1));
}

// Whether another thread gets the lock within a short wait.
bool otherThreadCanTake(xCriticalSectionLock* lock, std::thread& taker, std::atomic<bool>& taken) {
    taker = std::thread([lock, &taken] {
        xCriticalSectionLocker locker(lock);
        taken = true;
    });
    for (int i = 0; i < 100 && !taken; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return taken;
}

TEST(Locks, OwnerMayReenterAndTheLockIsFreeAfterAsManyReleases) {
    xCriticalSectionLock lock;
    std::thread taker;
    std::atomic<bool> taken{false};
    lock.lock();
    lock.lock(); // as xRealloc does through xAlloc and xFree
    lock.unlock();
    EXPECT_FALSE(otherThreadCanTake(&lock, taker, taken)) << "one lock is still held";
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
    EXPECT_TRUE(otherThreadCanTake(&lock, taker, taken));
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
    std::thread other([] { xFree(xAlloc(300, "after")); });
    other.join();
}

TEST(Locks, EmptyPolicyCostsNothing) {
    static_assert(std::is_empty_v<xEmptyLock<xEmptyLocker>>);
    static_assert(std::is_empty_v<xEmptyLocker>);
    xEmptyLock<xEmptyLocker> lock;
    xEmptyLocker locker(&lock);
    (void)locker;
}

} // namespace
