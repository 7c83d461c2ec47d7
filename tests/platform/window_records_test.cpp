#include "platform/window_host.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string calls;
WNDPROC chainedProcedure = nullptr;

LRESULT CALLBACK baseProcedure(HWND, UINT message, WPARAM wParam, LPARAM) {
    calls += "base;";
    return static_cast<LRESULT>(message + wParam);
}

LRESULT CALLBACK subclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    calls += "sub;";
    return CallWindowProcA(chainedProcedure, window, message, wParam, lParam) * 10;
}

LONG_PTR asLong(WNDPROC procedure) { return reinterpret_cast<LONG_PTR>(procedure); }

class WindowRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.clear();
        window = platform::createWindow(baseProcedure);
    }
    void TearDown() override { platform::destroyWindow(window); }

    HWND window = nullptr;
};

TEST_F(WindowRecords, MessagesGoToTheCurrentProcedure) {
    EXPECT_EQ(platform::sendMessage(window, 7, 2, 0), 9);
    EXPECT_EQ(calls, "base;");
}

TEST_F(WindowRecords, SubclassingReturnsThePreviousProcedureAndChains) {
    chainedProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, asLong(subclassProcedure)));
    EXPECT_EQ(chainedProcedure, baseProcedure);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), asLong(subclassProcedure));

    EXPECT_EQ(platform::sendMessage(window, 7, 2, 0), 90);
    EXPECT_EQ(calls, "sub;base;");
}

TEST_F(WindowRecords, ExtendedStyleStartsEmptyAndKeepsWhatIsWritten) {
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), 0);
    EXPECT_EQ(SetWindowLongA(window, GWL_EXSTYLE,
                             GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES),
              0);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), WS_EX_ACCEPTFILES);
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE), WS_EX_ACCEPTFILES);
}

TEST_F(WindowRecords, ThirtyTwoBitCallsRefuseTheProcedureWherePointersAreWider) {
    if (sizeof(void*) == sizeof(LONG)) GTEST_SKIP() << "32-bit host: the call is allowed there";
    EXPECT_EQ(SetWindowLongA(window, GWL_WNDPROC, 1234), 0);
    EXPECT_EQ(GetWindowLongA(window, GWL_WNDPROC), 0);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), asLong(baseProcedure));
}

TEST_F(WindowRecords, UnknownWindowsAndIndicesGiveZero) {
    EXPECT_EQ(GetWindowLongPtrA(nullptr, GWL_EXSTYLE), 0);
    EXPECT_EQ(SetWindowLongPtrA(window, 12345, 1), 0);
    EXPECT_EQ(GetWindowLongPtrA(window, 12345), 0);
    EXPECT_EQ(CallWindowProcA(nullptr, window, 1, 2, 3), 0);

    HWND gone = platform::createWindow(baseProcedure);
    platform::destroyWindow(gone);
    EXPECT_EQ(platform::sendMessage(gone, 7, 2, 0), 0);
    EXPECT_EQ(GetWindowLongPtrA(gone, GWLP_WNDPROC), 0);
    EXPECT_EQ(calls, "");
}

} // namespace
