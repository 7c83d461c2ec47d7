#include "xlibplus/memory/memory_manager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

void* heldUntilExit = nullptr;

// Runs after the default manager's destructor, as the destructors of static
// strings do.
void freeAfterTheManager() {
    xlibplus::xFree(heldUntilExit);
    void* again = xlibplus::xAlloc(10, "late");
    bool works = again && xlibplus::xBlockCapacity(again) == 64 - xlibplus::kBlockHeaderSize;
    xlibplus::xFree(again);
    _exit(works ? 7 : 8);
}

void useTheManagerForTheFirstTime() {
    std::atexit(freeAfterTheManager); // registered before the manager's own
    heldUntilExit = xlibplus::xAlloc(100, "static string");
    std::exit(0);
}

TEST(MemoryManagerLifetime, EntryPointsKeepWorkingAfterTheDefaultManagersDestructor) {
    // A fresh process, in which the manager has not been used yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(useTheManagerForTheFirstTime(), ::testing::ExitedWithCode(7), "");
}

} // namespace
