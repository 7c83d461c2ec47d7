#include "tests/e2e/x11_session.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

const char* const kTitle = "QUB Tutorial 03 - Using helper classes";

class ViewerUnderXvfb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!e2e::XvfbServer::available())
            GTEST_SKIP() << "Xvfb is not installed; end-to-end tests skipped";
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
    for (const std::string& line : readLines(fileName))
        text += line + "\n";
    return text;
}

// Polls the window's picture every 50 ms until `wanted` holds of it; false when
// the time runs out.
template <typename Wanted>
bool waitForPicture(e2e::Display* display, e2e::Window window, Wanted wanted,
                    std::chrono::milliseconds timeout) {
    for (auto end = std::chrono::steady_clock::now() + timeout;
         std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(50ms);
        if (wanted(e2e::grabWindow(display, window, 800, 600))) return true;
    }
    return false;
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
    EXPECT_TRUE(waitForPicture(display, *window, allWhite, 5s)) << "the window is not white";

    EXPECT_TRUE(std::filesystem::exists(dir.file("qub_tut03.log")))
        << "no qub_tut03.log in the current folder";

    e2e::requestClose(display, *window);
    auto exitCode = viewer.waitForExit(10s);
    ASSERT_TRUE(exitCode) << "the viewer did not end after its window was closed";
    EXPECT_EQ(*exitCode, 0) << "its output:\n" << textOf(output);
    EXPECT_TRUE(readLines(dir.file("qub_tut03.log")).empty())
        << "the engine logs nothing of its own";
}

// No silent off-screen fall-back: init fails, the viewer says why on standard
// error and ends at once.
TEST(ViewerWithoutDisplay, ExitsZeroAtOnceSayingWhyAndLogsNothing) {
    TempDir dir;
    const std::string output = dir.file("viewer.out");
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), "", output);
    auto exitCode = viewer.waitForExit(2s);
    ASSERT_TRUE(exitCode) << "still running with no display";
    EXPECT_EQ(*exitCode, 0);
    EXPECT_NE(textOf(output).find("no display could be opened"), std::string::npos)
        << textOf(output);
    EXPECT_TRUE(readLines(dir.file("qub_tut03.log")).empty());
}

// Distinct pictures the window showed, grabbed every `step` for `span`.
int distinctPictures(e2e::Display* display, e2e::Window window, std::chrono::milliseconds span,
                     std::chrono::milliseconds step) {
    std::vector<std::vector<unsigned long>> pictures;
    for (auto end = std::chrono::steady_clock::now() + span;
         std::chrono::steady_clock::now() < end;) {
        auto picture = e2e::grabWindow(display, window, 800, 600);
        if (std::find(pictures.begin(), pictures.end(), picture) == pictures.end())
            pictures.push_back(picture);
        std::this_thread::sleep_for(step);
    }
    return static_cast<int>(pictures.size());
}

bool showsOnly(const std::vector<unsigned long>& pixels, unsigned long colour, int x0, int y0,
               int side) {
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const bool inside = x >= x0 && x < x0 + side && y >= y0 && y < y0 + side;
            if (pixels[static_cast<std::size_t>(y * 800 + x)] != (inside ? colour : 0xFFFFFFul))
                return false;
        }
    return true;
}

TEST_F(ViewerUnderXvfb, PlaysTheSampleAndSwitchesToADroppedAnimation) {
    std::filesystem::copy_file(SAMPLE_ANIMATION, dir.file("stand_1.tgl"));
    tgltools::writeFile(dir.file("notes.txt"), {'h', 'i'});
    const auto yellow = std::vector<std::uint32_t>(24 * 24, 0xFFFFFF00);
    tgltools::writeFile(dir.file("Other.TGL"),
                        tgltools::TglWriter()
                            .frame({50, 60, 1000})
                            .image(tgltools::encodeTga(24, 24, yellow, false))
                            .build());

    const std::string output = dir.file("viewer.out");
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server->name(), output);
    e2e::Display* display = server->display();
    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window) << "no window; viewer output:\n" << textOf(output);

    // The first frame loads the animation; wait until it shows. Until the first
    // frame, the window holds whatever the server gave it.
    const auto showing = [](const std::vector<unsigned long>& pixels) {
        return !pixels.empty() && pixels.front() == 0xFFFFFF && !allWhite(pixels);
    };
    ASSERT_TRUE(waitForPicture(display, *window, showing, 10s))
        << "the sample never showed; viewer output:\n"
        << textOf(output);
    // Twelve frames of 60 to 160 ms: a second shows several of them.
    EXPECT_GE(distinctPictures(display, *window, 1200ms, 20ms), 5) << "the sample does not play";

    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("notes.txt")}, 10s))
        << "the drop was not taken";
    EXPECT_GE(distinctPictures(display, *window, 600ms, 20ms), 3)
        << "a text file stopped the animation";

    ASSERT_TRUE(
        e2e::dragAndDrop(display, *window, {dir.file("Other.TGL"), dir.file("notes.txt")}, 10s));
    const auto yellowSquare = [](const std::vector<unsigned long>& pixels) {
        return showsOnly(pixels, 0xFFFF00, 50, 60, 24);
    };
    EXPECT_TRUE(waitForPicture(display, *window, yellowSquare, 5s))
        << "the dropped animation is not shown; viewer output:\n"
        << textOf(output);

    e2e::requestClose(display, *window);
    auto exitCode = viewer.waitForExit(10s);
    ASSERT_TRUE(exitCode);
    EXPECT_EQ(*exitCode, 0);
}

// Drag-and-drop faults and files that are no regular files: the viewer goes on.
TEST_F(ViewerUnderXvfb, FifosAndVanishingDragSourcesNeitherHangNorEndIt) {
    ASSERT_EQ(mkfifo(dir.file("stand_1.tgl").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(dir.file("dropped.tgl").c_str(), 0600), 0);
    const std::string output = dir.file("viewer.out");
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server->name(), output);
    e2e::Display* display = server->display();
    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window) << "no window; viewer output:\n" << textOf(output);

    EXPECT_TRUE(waitForPicture(display, *window, allWhite, 5s))
        << "a FIFO as the start-up animation hung the first frame";
    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("dropped.tgl")}, 10s));

    for (int i = 0; i < 5; ++i)
        e2e::dragFromAVanishingSource(display, *window);
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(viewer.running()) << "viewer output:\n" << textOf(output);
    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("dropped.tgl")}, 10s))
        << "drops are still taken";

    e2e::requestClose(display, *window);
    auto exitCode = viewer.waitForExit(10s);
    ASSERT_TRUE(exitCode);
    EXPECT_EQ(*exitCode, 0);
}

long residentKilobytes(int pid) {
    for (const std::string& line : readLines("/proc/" + std::to_string(pid) + "/status"))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// A hundred real drops in a row, alternating a valid, an invalid and a text
// file: every one is taken, and the viewer's memory stays where it was.
TEST_F(ViewerUnderXvfb, AHundredDropsInARowKeepItResponsiveAndItsMemoryFlat) {
    std::filesystem::copy_file(SAMPLE_ANIMATION, dir.file("valid.tgl"));
    tgltools::writeFile(dir.file("invalid.tgl"), {'n', 'o', 'p', 'e'});
    tgltools::writeFile(dir.file("notes.txt"), {'h', 'i'});
    const std::string files[] = {dir.file("valid.tgl"), dir.file("invalid.tgl"),
                                 dir.file("notes.txt")};

    const std::string output = dir.file("viewer.out");
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server->name(), output);
    e2e::Display* display = server->display();
    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window) << "no window; viewer output:\n" << textOf(output);

    long settled = 0;
    for (int drop = 0; drop < 100; ++drop) {
        ASSERT_TRUE(e2e::dragAndDrop(display, *window, {files[drop % 3]}, 10s))
            << "drop " << drop << " was not taken";
        ASSERT_TRUE(viewer.running());
        if (drop == 29) settled = residentKilobytes(viewer.id());
    }
    std::this_thread::sleep_for(200ms);
    const long after = residentKilobytes(viewer.id());
    std::printf("resident memory after 30 drops: %ld KiB, after 100: %ld KiB\n", settled, after);
    EXPECT_LT(after, settled + 2048) << "the viewer's memory grows with every drop";

    e2e::requestClose(display, *window);
    auto exitCode = viewer.waitForExit(10s);
    ASSERT_TRUE(exitCode);
    EXPECT_EQ(*exitCode, 0);
}

} // namespace
