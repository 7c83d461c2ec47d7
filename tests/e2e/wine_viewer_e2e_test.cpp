#include "tests/e2e/player_fixtures.h"
#include "tests/e2e/rendered_frames.h"
#include "tests/e2e/x11_keys.h"
#include "tests/e2e/x11_session.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

// The Windows build's viewer under Wine and Xvfb: the window, the pictures and
// the drops must be those of the Linux build.
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using e2e::Picture;

const char* const kTitle = "QUB Tutorial 03 - Using helper classes";

// Wine's own server for the prefix, bound to the display it started under:
// each test ends it, so the next one starts afresh on its own display.
const char* const kStopWine =
    "(export WINEPREFIX='" WINE_PREFIX "'; wineserver -k; wineserver -w) >/dev/null 2>&1";
void stopWineServer() { std::system(kStopWine); }

class ViewerUnderWine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!e2e::XvfbServer::available() || access("/usr/bin/wine", X_OK) != 0)
            GTEST_SKIP() << "Xvfb or Wine is not installed; Windows end-to-end tests skipped";
        setenv("WINEPREFIX", WINE_PREFIX, 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        setenv("LANG", "C.UTF-8", 1); // Wine reads names and arguments as UTF-8
        stopWineServer();
        server.emplace();
        ASSERT_TRUE(server->started()) << "Xvfb did not start";
        watchdog.emplace(std::chrono::seconds(240), kStopWine, server->processId());
        for (const char* name : {"stand_1.tgl", "font1.fnt", "font1.tga"})
            fs::copy_file(fs::path(SAMPLE_DIR) / name, dir.path() / name);
    }
    void TearDown() override { stopWineServer(); }

    // Starts the viewer (or another program) and finds its window, the client
    // area below Wine's own frame.
    void start(const std::vector<std::string>& command = {"wine", TGLVIEW_EXE},
               const std::string& title = kTitle) {
        viewer.emplace(command, dir.path().string(), server->name(), dir.file("viewer.out"));
        window = e2e::findWindow(server->display(), title, 60s, viewer->id());
        ASSERT_TRUE(window) << "no window titled \"" << title << "\" of the process";
        auto size = e2e::geometry(server->display(), *window);
        ASSERT_TRUE(size);
        border = (size->width - 800) / 2;
        top = size->height - 600 - border;
        ASSERT_GE(border, 0);
        ASSERT_GE(top, 0);
    }
    Picture grab() { return e2e::grabWindow(server->display(), *window, 800, 600, border, top); }

    // True once the window shows `wanted` (one of them), within the time.
    template <typename Wanted> bool waitFor(Wanted wanted, std::chrono::milliseconds timeout) {
        for (auto end = std::chrono::steady_clock::now() + timeout;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms))
            if (wanted(grab())) return true;
        return false;
    }

    void keys(const std::vector<std::string>& names) {
        e2e::pressKeys(server->display(), *window, names);
    }
    void quitsWithZero(const std::string& key) {
        keys({key});
        const auto code = viewer->waitForExit(20s);
        ASSERT_TRUE(code) << key << " did not end the program";
        EXPECT_EQ(*code, 0);
    }

    TempDir dir;
    std::optional<e2e::XvfbServer> server;
    std::optional<e2e::Watchdog> watchdog; // after the server: it goes first
    std::optional<e2e::Process> viewer;
    std::optional<e2e::Window> window;
    int border = 0, top = 0;
};

// Every frame of the sample as the Linux tool renders it.
std::vector<Picture> sampleFrames(const TempDir& dir) {
    return e2e::renderedFrames(TGL_TOOL, SAMPLE_DIR "/stand_1.tgl", dir.file("expected"));
}

TEST_F(ViewerUnderWine, PlaysTheSampleTakesDropsAndExitsZeroWhenClosed) {
    const std::vector<Picture> expected = sampleFrames(dir);
    ASSERT_EQ(expected.size(), 12u) << "the Linux tool did not render the sample";
    fs::create_directory(dir.path() / "a folder Анимация");
    const std::string other = dir.file("a folder Анимация/スプライト Other.TGL");
    tgltools::writeFile(other,
                        tgltools::TglWriter()
                            .frame({50, 60, 1000})
                            .image(tgltools::encodeTga(
                                24, 24, std::vector<std::uint32_t>(24 * 24, 0xFFFFFF00), false))
                            .build());
    tgltools::writeFile(dir.file("notes.txt"), {'h', 'i'});
    tgltools::writeFile(dir.file("invalid.tgl"), {'n', 'o', 'p', 'e'});

    start();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(top - border > 0, true) << "Wine's frame has a caption";

    // The sample's frames, each at its position on white, several of them in turn.
    std::vector<std::size_t> seen;
    for (auto end = std::chrono::steady_clock::now() + 3s;
         std::chrono::steady_clock::now() < end && seen.size() < 5;
         std::this_thread::sleep_for(10ms)) {
        const Picture shown = grab();
        for (std::size_t i = 0; i < expected.size(); ++i)
            if (shown == expected[i] && std::find(seen.begin(), seen.end(), i) == seen.end())
                seen.push_back(i);
    }
    std::printf("sample frames seen, pixel for pixel: %zu of %zu\n", seen.size(), expected.size());
    EXPECT_GE(seen.size(), 5u) << "the window does not show the sample's frames in turn";

    const auto onlyYellowSquare = [](const Picture& pixels) {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const bool inside = x >= 50 && x < 74 && y >= 60 && y < 84;
                if (pixels[std::size_t(y * 800 + x)] != (inside ? 0xFFFF00ul : 0xFFFFFFul))
                    return false;
            }
        return true;
    };
    const auto allWhite = [](const Picture& pixels) {
        return !pixels.empty() && std::all_of(pixels.begin(), pixels.end(),
                                              [](unsigned long p) { return p == 0xFFFFFF; });
    };

    // A name with spaces and outside the code page comes through Wine as
    // Z:\...\a folder Анимация\スプライト Other.TGL, read in UTF-16.
    ASSERT_TRUE(e2e::dragAndDrop(server->display(), *window, {other, dir.file("notes.txt")}, 10s));
    EXPECT_TRUE(waitFor(onlyYellowSquare, 5s)) << "the dropped animation is not shown";

    ASSERT_TRUE(e2e::dragAndDrop(server->display(), *window, {dir.file("notes.txt")}, 10s));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(onlyYellowSquare(grab())) << "a text file replaced the animation";

    ASSERT_TRUE(e2e::dragAndDrop(server->display(), *window, {dir.file("invalid.tgl")}, 10s));
    EXPECT_TRUE(waitFor(allWhite, 5s)) << "an invalid file leaves the window white";

    e2e::requestClose(server->display(), *window);
    auto exitCode = viewer->waitForExit(20s);
    ASSERT_TRUE(exitCode) << "the viewer did not end after its window was closed";
    EXPECT_EQ(*exitCode, 0);
}

using e2e::count;
using e2e::firstOf;
using e2e::kBlue;
using e2e::kGreen;
using e2e::kRed;
using e2e::squares;

// tglplay.exe, the player Explorer opens .tgl files with, takes its keys as
// Windows sends them: Space pauses, Right steps, z zooms, Home resets, o
// hides the overlay, q quits.
TEST_F(ViewerUnderWine, TglplayTakesItsKeys) {
    // As the association starts it: one argument, a name outside the code page.
    const std::string name = "Ελληνικά \xF0\x9F\x8E\x9E.tgl";
    tgltools::writeFile(dir.file(name), squares({{kRed, 100}, {kGreen, 200}, {kBlue, 300}}));
    start({"wine", TGLPLAY_EXE, name}, "tgl play - " + name);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitFor([](const Picture& p) { return count(p, kRed) == 400; }, 10s));

    keys({"space"});
    std::this_thread::sleep_for(300ms);
    const Picture held = grab();
    for (int i = 0; i < 5; ++i, std::this_thread::sleep_for(100ms))
        ASSERT_EQ(grab(), held) << "the paused picture changed";
    const unsigned long order[] = {kRed, kGreen, kBlue};
    int shown = 0;
    while (shown < 3 && count(held, order[shown]) != 400)
        ++shown;
    ASSERT_LT(shown, 3);
    const unsigned long next = order[(shown + 1) % 3];
    keys({"Right"});
    ASSERT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 400; }, 5s));
    keys({"z"});
    EXPECT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 1600; }, 5s))
        << "z did not double the frame's sides";
    keys({"Home"});
    EXPECT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 400; }, 5s))
        << "Home did not reset the zoom";
    const int x = 100 * ((shown + 1) % 3 + 1) + 10; // over the square's middle
    e2e::turnWheel(server->display(), *window, border + x, top + 110, 1);
    EXPECT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 1600; }, 5s))
        << "a wheel notch did not zoom";
    EXPECT_EQ(firstOf(grab(), next), 90 * 800 + (x - 20)); // (x, 110) stayed under the cursor
    keys({"Home"});
    const auto overlayInked = [](const Picture& p) {
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 200; ++x)
                if ((p[std::size_t(y * 800 + x)] & 0xFF) < 0x40) return true;
        return false;
    };
    EXPECT_TRUE(overlayInked(grab())) << "no text in the overlay";
    keys({"o"});
    EXPECT_TRUE(waitFor([&](const Picture& p) { return !overlayInked(p); }, 5s));
    quitsWithZero("q");
}

// With no file it waits for a drop; then saves by rename and in place show,
// and a broken save keeps the last good version.
TEST_F(ViewerUnderWine, TglplayWaitsForADropThenShowsSaves) {
    start({"wine", TGLPLAY_EXE}, "tgl play");
    ASSERT_FALSE(HasFatalFailure());
    const auto inked = [](const Picture& p) {
        return std::any_of(p.begin(), p.end(), [](unsigned long c) { return (c & 0xFF) < 0x40; });
    };
    EXPECT_TRUE(waitFor(inked, 10s)) << "the empty window says nothing";

    const std::string file = dir.file("スプライト edit.tgl");
    tgltools::writeFile(file, squares({{kRed, 100}}));
    ASSERT_TRUE(e2e::dragAndDrop(server->display(), *window, {file}, 10s));
    ASSERT_TRUE(waitFor([](const Picture& p) { return count(p, kRed) == 400; }, 5s))
        << "the dropped file did not play";
    EXPECT_TRUE(e2e::findWindow(server->display(), "tgl play - スプライト edit.tgl", 5s))
        << "the title does not name the file";

    tgltools::writeFile(dir.file("edit.tmp"), squares({{kGreen, 200}}));
    fs::rename(dir.file("edit.tmp"), file);
    EXPECT_TRUE(waitFor([](const Picture& p) { return count(p, kGreen) == 400; }, 5s))
        << "a save by rename did not show";
    tgltools::writeFile(file, squares({{kBlue, 300}}));
    EXPECT_TRUE(waitFor([](const Picture& p) { return count(p, kBlue) == 400; }, 5s))
        << "a save in place did not show";
    tgltools::writeFile(file, {'n', 'o', 'p', 'e'});
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(count(grab(), kBlue), 400) << "a broken save replaced the last good version";
    quitsWithZero("Escape");
}

} // namespace
