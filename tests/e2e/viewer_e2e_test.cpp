#include "tests/e2e/rendered_frames.h"
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

std::string commandOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
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
    // What a desktop reads of it: class, protocols, icon, a size that does not change.
    const std::string facts =
        commandOutput("DISPLAY=" + server->name() + " xprop -id " + std::to_string(*window) +
                      " WM_CLASS WM_PROTOCOLS WM_NORMAL_HINTS _NET_WM_ICON");
    for (const char* fact :
         {"WM_CLASS(STRING) = \"tglview\", \"tglview\"", "WM_DELETE_WINDOW, _NET_WM_PING",
          "minimum size: 800 by 600", "maximum size: 800 by 600", "Icon (16 x 16)",
          "Icon (32 x 32)", "Icon (48 x 48)"})
        EXPECT_NE(facts.find(fact), std::string::npos) << fact << " not in:\n" << facts;

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
// Grabs the window until it has shown `wanted` different pictures or the
// deadline passed; gives how many it saw.
int waitForDistinctPictures(e2e::Display* display, e2e::Window window, int wanted,
                            std::chrono::milliseconds deadline, std::chrono::milliseconds step) {
    std::vector<std::vector<unsigned long>> pictures;
    for (auto end = std::chrono::steady_clock::now() + deadline;
         int(pictures.size()) < wanted && std::chrono::steady_clock::now() < end;) {
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

// One frame: a yellow square of 24 pixels at (50, 60).
void writeYellowSquare(const std::string& path) {
    const auto yellow = std::vector<std::uint32_t>(24 * 24, 0xFFFFFF00);
    tgltools::writeFile(path, tgltools::TglWriter()
                                  .frame({50, 60, 1000})
                                  .image(tgltools::encodeTga(24, 24, yellow, false))
                                  .build());
}

TEST_F(ViewerUnderXvfb, PlaysTheSampleAndSwitchesToADroppedAnimation) {
    std::filesystem::copy_file(SAMPLE_ANIMATION, dir.file("stand_1.tgl"));
    tgltools::writeFile(dir.file("notes.txt"), {'h', 'i'});
    writeYellowSquare(dir.file("Other.TGL"));

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
    // Twelve frames of 60 to 160 ms: playing shows one after another.
    EXPECT_EQ(waitForDistinctPictures(display, *window, 5, 10s, 20ms), 5)
        << "the sample does not play";

    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("notes.txt")}, 10s))
        << "the drop was not taken";
    EXPECT_EQ(waitForDistinctPictures(display, *window, 3, 10s, 20ms), 3)
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

// Frames of every image format, with partial alpha: the window shows, pixel
// for pixel, what the tool renders; then it takes a drop.
void expectTheWindowShowsWhatTheToolRenders(const TempDir& dir, e2e::XvfbServer& server) {
    tgltools::writeFile(dir.file("stand_1.tgl"), e2e::formatVariantsAnimation(400));
    writeYellowSquare(dir.file("Other.TGL"));
    const std::vector<e2e::Picture> expected =
        e2e::renderedFrames(TGL_TOOL, dir.file("stand_1.tgl"), dir.file("expected"));
    ASSERT_EQ(expected.size(), 4u) << "the tool did not render the animation";

    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server.name(), dir.file("viewer.out"));
    e2e::Display* display = server.display();
    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window);
    std::vector<bool> seen(expected.size(), false);
    for (auto end = std::chrono::steady_clock::now() + 4s;
         std::chrono::steady_clock::now() < end &&
         std::count(seen.begin(), seen.end(), true) < long(seen.size());
         std::this_thread::sleep_for(20ms)) {
        const e2e::Picture shown = e2e::grabWindow(display, *window, 800, 600);
        for (std::size_t i = 0; i < expected.size(); ++i)
            seen[i] = seen[i] || shown == expected[i];
    }
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_TRUE(seen[i]) << "frame " << i << " never showed as the tool renders it";
    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("Other.TGL")}, 10s));
    EXPECT_TRUE(waitForPicture(
        display, *window,
        [](const std::vector<unsigned long>& pixels) {
            return showsOnly(pixels, 0xFFFF00, 50, 60, 24);
        },
        5s));
    e2e::requestClose(display, *window);
    EXPECT_TRUE(viewer.waitForExit(10s));
}

TEST_F(ViewerUnderXvfb, TheWindowShowsWhatTheToolRenders) {
    expectTheWindowShowsWhatTheToolRenders(dir, *server);
}

// The same through SDL2's driver, which sessions without X11 get.
TEST_F(ViewerUnderXvfb, TheSdlDriverShowsTheSame) {
    setenv("QUB_DRIVER", "sdl", 1);
    expectTheWindowShowsWhatTheToolRenders(dir, *server);
    unsetenv("QUB_DRIVER");
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

// A run-length TGA of one colour, 128-pixel runs: a 1024 x 1024 image in 40 KB.
tgltools::Bytes solidRunLengthTga(int side, std::uint32_t argb) {
    tgltools::Bytes b(18, 0);
    b[2] = 10;
    b[12] = b[14] = std::uint8_t(side), b[13] = b[15] = std::uint8_t(side >> 8);
    b[16] = 32;
    b[17] = 0x28; // top-left origin, 8 alpha bits
    for (std::int64_t left = std::int64_t(side) * side; left > 0; left -= 128) {
        b.push_back(std::uint8_t(0x80 | ((left >= 128 ? 128 : left) - 1)));
        for (int shift = 0; shift < 32; shift += 8)
            b.push_back(std::uint8_t(argb >> shift));
    }
    return b;
}

// A file that loads for a while: a blue first frame that decodes to 256 MiB
// (the whole budget), then many blocks that are no image. It plays from its
// first frame on, while the rest still loads.
void writeSlowAnimation(const std::string& path) {
    tgltools::TglWriter w;
    const tgltools::Bytes big = tgltools::zlibCompress(solidRunLengthTga(8192, 0xFF0000FF));
    const tgltools::Bytes junk = tgltools::zlibCompress({1, 2, 3, 4});
    constexpr int kJunk = 300000;
    for (int i = 0; i < 1 + kJunk; ++i)
        w.frame({0, 0, 100});
    w.rawBlock(big);
    for (int i = 0; i < kJunk; ++i)
        w.rawBlock(junk);
    tgltools::writeFile(path, w.build());
}

// A red and a green frame of no duration: the picture changes every engine frame.
void writeFlicker(const std::string& path) {
    const auto red = std::vector<std::uint32_t>(64 * 64, 0xFFFF0000);
    const auto green = std::vector<std::uint32_t>(64 * 64, 0xFF00FF00);
    tgltools::writeFile(path, tgltools::TglWriter()
                                  .defaultDuration(0)
                                  .frame({0, 0, 0})
                                  .frame({0, 0, 0})
                                  .image(tgltools::encodeTga(64, 64, red, false))
                                  .image(tgltools::encodeTga(64, 64, green, false))
                                  .build());
}

bool allBlue(const std::vector<unsigned long>& pixels) {
    return !pixels.empty() &&
           std::all_of(pixels.begin(), pixels.end(), [](unsigned long p) { return p == 0x0000FF; });
}

// While a large file loads the animation on screen keeps playing, and the
// picture keeps changing; then the new one replaces it.
TEST_F(ViewerUnderXvfb, AnAnimationPlaysOnWhileALargeDropLoads) {
    writeFlicker(dir.file("stand_1.tgl"));
    writeSlowAnimation(dir.file("slow.tgl"));
    const std::string output = dir.file("viewer.out");
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server->name(), output);
    e2e::Display* display = server->display();
    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window) << "no window; viewer output:\n" << textOf(output);
    ASSERT_EQ(waitForDistinctPictures(display, *window, 2, 10s, 10ms), 2)
        << "the flicker does not play";

    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("slow.tgl")}, 10s));
    using Clock = std::chrono::steady_clock;
    const auto dropped = Clock::now();
    auto changed = dropped;
    Clock::duration longestStill{};
    int changes = 0;
    std::vector<unsigned long> last = e2e::grabWindow(display, *window, 64, 64);
    while (!allBlue(last) && Clock::now() - dropped < 20s) {
        std::vector<unsigned long> now = e2e::grabWindow(display, *window, 64, 64);
        if (now != last) {
            longestStill = std::max(longestStill, Clock::now() - changed);
            changed = Clock::now();
            ++changes;
        }
        last = std::move(now);
    }
    const auto loading = Clock::now() - dropped;
    std::printf(
        "the load took %lld ms; the picture changed %d times, stood still %lld ms at most\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(loading).count()),
        changes,
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(longestStill).count()));
    EXPECT_TRUE(allBlue(last)) << "the large file never showed";
    EXPECT_GE(changes, 3) << "the old animation stopped while the new one loaded";
    // A window that waited for the load would stand still for all of it.
    EXPECT_LT(longestStill, loading / 2) << "the window stood still while a file loaded";

    e2e::requestClose(display, *window);
    auto exitCode = viewer.waitForExit(10s);
    ASSERT_TRUE(exitCode);
    EXPECT_EQ(*exitCode, 0);
}

// A desktop's ping is answered from the event loop, while a large file loads too.
TEST_F(ViewerUnderXvfb, PingsAreAnsweredWhileALargeDropLoads) {
    writeFlicker(dir.file("stand_1.tgl"));
    writeSlowAnimation(dir.file("slow.tgl"));
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server->name(), dir.file("viewer.out"));
    e2e::Display* display = server->display();
    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window);
    ASSERT_TRUE(e2e::pingRoundTrip(display, *window, 10s)) << "the window does not answer pings";
    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("slow.tgl")}, 10s));
    const auto dropped = std::chrono::steady_clock::now();
    std::vector<long long> trips;
    while (!allBlue(e2e::grabWindow(display, *window, 64, 64)) && trips.size() < 1000)
        trips.push_back(e2e::pingRoundTrip(display, *window, 2s).value_or(2s).count());
    ASSERT_FALSE(trips.empty());
    std::sort(trips.begin(), trips.end());
    std::printf("%zu pings while loading: median %lld ms, longest %lld ms\n", trips.size(),
                trips[trips.size() / 2], trips.back());
    const auto loading = std::chrono::steady_clock::now() - dropped;
    EXPECT_LT(std::chrono::milliseconds(trips.back()), loading / 2) << "a ping waited for the load";
}

// The newest drop wins over a load in progress, and closing the window does
// not wait for a load.
TEST_F(ViewerUnderXvfb, TheLastDropWinsAndALoadDoesNotHoldTheWindowOpen) {
    writeFlicker(dir.file("stand_1.tgl"));
    writeSlowAnimation(dir.file("slow.tgl"));
    writeYellowSquare(dir.file("last.tgl"));
    const std::string output = dir.file("viewer.out");
    e2e::Process viewer(TGLVIEW_PATH, dir.path().string(), server->name(), output);
    e2e::Display* display = server->display();
    auto window = e2e::findWindow(display, kTitle, 30s);
    ASSERT_TRUE(window) << "no window; viewer output:\n" << textOf(output);

    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("slow.tgl")}, 10s));
    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("last.tgl")}, 10s));
    const auto yellowSquare = [](const std::vector<unsigned long>& pixels) {
        return showsOnly(pixels, 0xFFFF00, 50, 60, 24);
    };
    EXPECT_TRUE(waitForPicture(display, *window, yellowSquare, 5s)) << "the last drop is not shown";
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(yellowSquare(e2e::grabWindow(display, *window, 800, 600)))
        << "the earlier drop replaced the last";

    // The load timed, then the same load cut short by a close.
    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("slow.tgl")}, 10s));
    const auto dropped = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitForPicture(display, *window, allBlue, 20s));
    const auto loading = std::chrono::steady_clock::now() - dropped;
    ASSERT_TRUE(e2e::dragAndDrop(display, *window, {dir.file("slow.tgl")}, 10s));
    const auto closing = std::chrono::steady_clock::now();
    e2e::requestClose(display, *window);
    while (e2e::geometry(display, *window) && std::chrono::steady_clock::now() - closing < 10s)
        std::this_thread::sleep_for(5ms);
    EXPECT_LT(std::chrono::steady_clock::now() - closing, loading / 2)
        << "a load held the window open";
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
