#include "platform/window_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct SeenDrop {
    UINT count = 0;
    std::vector<std::string> paths;
};

std::vector<SeenDrop> seen;
bool finishInProcedure = false;

LRESULT CALLBACK recordingProcedure(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_DROPFILES) return 0;
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    SeenDrop record;
    record.count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < record.count; ++i) {
        char buffer[1024];
        DragQueryFileA(drop, i, buffer, sizeof buffer);
        record.paths.emplace_back(buffer);
    }
    seen.push_back(record);
    if (finishInProcedure) DragFinish(drop);
    return 1;
}

class DropFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        seen.clear();
        finishInProcedure = false;
        window = platform::createWindow(recordingProcedure);
    }
    void TearDown() override {
        platform::destroyWindow(window);
        EXPECT_EQ(platform::liveDropCount(), 0);
    }
    void acceptFiles() {
        SetWindowLongA(window, GWL_EXSTYLE,
                       GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    }

    HWND window = nullptr;
};

TEST_F(DropFiles, WindowWithoutAcceptFilesGetsNoDrop) {
    EXPECT_FALSE(platform::deliverDrop(window, {"/tmp/a.tgl"}));
    EXPECT_TRUE(seen.empty());
}

TEST_F(DropFiles, OneMessageListsEveryPathInOrder) {
    acceptFiles();
    finishInProcedure = true;
    ASSERT_TRUE(platform::deliverDrop(window, {"/tmp/a.tgl", "/tmp/b.txt", "/tmp/c.TGL"}));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].count, 3u);
    EXPECT_EQ(seen[0].paths, (std::vector<std::string>{"/tmp/a.tgl", "/tmp/b.txt", "/tmp/c.TGL"}));
}

TEST_F(DropFiles, AnUnfinishedHandleIsFinishedAfterTheMessage) {
    acceptFiles();
    ASSERT_TRUE(platform::deliverDrop(window, {"/tmp/a.tgl"}));
    EXPECT_EQ(seen.size(), 1u);
    // TearDown checks that no handle is left.
}

class DropQueries : public ::testing::Test {
  protected:
    static LRESULT CALLBACK capture(HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_DROPFILES) body(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    static void (*body)(HDROP);

    void deliver(const std::vector<std::string>& paths, void (*check)(HDROP)) {
        body = check;
        HWND window = platform::createWindow(capture);
        SetWindowLongA(window, GWL_EXSTYLE, WS_EX_ACCEPTFILES);
        ASSERT_TRUE(platform::deliverDrop(window, paths));
        platform::destroyWindow(window);
        EXPECT_EQ(platform::liveDropCount(), 0);
    }
};
void (*DropQueries::body)(HDROP) = nullptr;

TEST_F(DropQueries, CountLengthAndCopy) {
    deliver({"/data/stand_1.tgl", "/x"}, [](HDROP drop) {
        EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 2u);
        EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), 17u);
        char buffer[64];
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(DragQueryFileA(drop, 0, buffer, sizeof buffer), 17u);
        EXPECT_STREQ(buffer, "/data/stand_1.tgl");
        EXPECT_EQ(DragQueryFileA(drop, 1, buffer, sizeof buffer), 2u);
        EXPECT_STREQ(buffer, "/x");
    });
}

TEST_F(DropQueries, ShortBufferGetsACutZeroTerminatedPath) {
    deliver({"/data/stand_1.tgl"}, [](HDROP drop) {
        char buffer[8];
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 6), 5u);
        EXPECT_STREQ(buffer, "/data");
        EXPECT_EQ(buffer[6], 'z'); // nothing written past the size given

        EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 1), 0u);
        EXPECT_EQ(buffer[0], '\0');
        buffer[0] = 'q';
        EXPECT_EQ(DragQueryFileA(drop, 0, buffer, 0), 0u);
        EXPECT_EQ(buffer[0], 'q');
    });
}

TEST_F(DropQueries, PathLongerThanTheViewersBufferIsCutAt1023) {
    deliver({std::string(3000, 'p')}, [](HDROP drop) {
        char buffer[1024];
        EXPECT_EQ(DragQueryFileA(drop, 0, buffer, sizeof buffer), 1023u);
        EXPECT_EQ(std::strlen(buffer), 1023u);
    });
}

TEST_F(DropQueries, UnknownIndexOrHandleGivesZeroAndLeavesTheBuffer) {
    deliver({"/a"}, [](HDROP drop) {
        char buffer[16] = "untouched";
        EXPECT_EQ(DragQueryFileA(drop, 1, buffer, sizeof buffer), 0u);
        EXPECT_STREQ(buffer, "untouched");
        DragFinish(drop);
        EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 0u);
        DragFinish(drop); // a second finish is harmless
    });
    EXPECT_EQ(DragQueryFileA(nullptr, 0xFFFFFFFF, nullptr, 0), 0u);
}

} // namespace
