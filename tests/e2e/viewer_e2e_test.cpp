#include "tests/e2e/x11_session.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using namespace std::chrono_literals;

const char* const kTitle = "QUB Tutorial 03 - Using helper classes";

class ViewerUnderXvfb : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::XvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed; end-to-end tests skipped";
        server.emplace();
        ASSERT_TRUE(server->started()) << "Xvfb did not start";
    }

    TempDir dir;
    std::optional<e2e::XvfbServer> server;
};

bool allWhite(const std::vector<unsigned long>& pixels) {
    return !pixels.empty() &&
           std::all_of(pixels.begin(), pixels.end(), [](unsigned long p) { return p == 0xFFFFFF; });
}

std::string textOf(const std::string& fileName) {
    std::string text;
    for (const std::string& line : readLines(fileName)) text += line + "\n";
    return text;
}

TEST_F(ViewerUnderXvfb, OpensTheTitledWhiteWindowLogsAndExitsZeroWhenClosed) {
    const std::string output = dir.file("viewer.out");
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server->name(), output);
    e2e::Display* display = server->display();

    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window) << "no window titled \"" << kTitle << "\"; viewer "
                        << (viewer.running() ? "still running" : "ended") << ", its output:\n"
                        << textOf(output);
    auto size = e2e::geometry(display, *window);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 800);
    EXPECT_EQ(size->height, 600);
    EXPECT_TRUE(size->viewable);

    // The first frames may take a moment to reach the screen.
    std::vector<unsigned long> pixels;
    for (int attempt = 0; attempt < 100 && !allWhite(pixels); ++attempt) {
        std::this_thread::sleep_for(50ms);
        pixels = e2e::grabWindow(display, *window, 800, 600);
    }
    EXPECT_TRUE(allWhite(pixels)) << "the window is not white";

    auto started = readLines(dir.file("qub_tut03.log"));
    ASSERT_FALSE(started.empty()) << "no qub_tut03.log in the current folder";
    EXPECT_EQ(started[0].rfind("qub: started 800 x 600", 0), 0u) << started[0];

    e2e::requestClose(display, *window);
    auto exitCode = viewer.waitForExit(10s);
    ASSERT_TRUE(exitCode) << "the viewer did not end after its window was closed";
    EXPECT_EQ(*exitCode, 0) << "its output:\n" << textOf(output);
    EXPECT_EQ(readLines(dir.file("qub_tut03.log")).back(), "qub: shut down");
}

} // namespace
