#include "platform/window_host.h"

#include <gtest/gtest.h>

namespace {

class MultimediaTimer : public ::testing::Test {
  protected:
    void TearDown() override { platform::setTimeSource(nullptr); }
};

TEST_F(MultimediaTimer, OriginSetsTheCurrentReading) {
    DWORD fake = 5000;
    platform::setTimeSource([&] { return fake; });
    platform::setTimeOrigin(100);
    EXPECT_EQ(timeGetTime(), 100u);
    fake += 250;
    EXPECT_EQ(timeGetTime(), 350u);
}

TEST_F(MultimediaTimer, WrapsAfter32Bits) {
    DWORD fake = 0;
    platform::setTimeSource([&] { return fake; });
    platform::setTimeOrigin(0xFFFFFFF0u);
    EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
    fake += 0x20;
    EXPECT_EQ(timeGetTime(), 0x10u);
    // Differences stay right across the wrap, as the player relies on.
    EXPECT_EQ(timeGetTime() - 0xFFFFFFF0u, 0x20u);
}

TEST_F(MultimediaTimer, RealClockRunsForwardFromItsOrigin) {
    platform::setTimeOrigin(0xFFFFFFFFu);
    DWORD first = timeGetTime();
    DWORD second = timeGetTime();
    EXPECT_LT(static_cast<DWORD>(second - first), 1000u);
    EXPECT_LT(static_cast<DWORD>(first - 0xFFFFFFFFu), 1000u);
}

} // namespace
