// tgl play under Xvfb, driven by key presses from the X server's keyboard.

#include "tests/e2e/player_fixtures.h"
#include "tests/e2e/x11_keys.h"
#include "tests/e2e/x11_session.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace e2e;

class PlayUnderXvfb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!e2e::XvfbServer::available()) GTEST_SKIP() << "Xvfb is not installed";
        server.emplace();
        ASSERT_TRUE(server->started());
    }

    // Starts tgl play on the file and finds its window.
    void play(const std::string& name) {
        output = dir.file("play.out");
        player.emplace(std::vector<std::string>{TGL_TOOL, "play", dir.file(name), "--font", FONT},
                       dir.path().string(), server->name(), output);
        window = e2e::findWindow(display(), "tgl play - " + name, 30s);
        ASSERT_TRUE(window) << "no window";
    }
    e2e::Display* display() { return server->display(); }
    Picture grab() { return e2e::grabWindow(display(), *window, 800, 600); }
    template <typename Wanted> bool waitFor(Wanted wanted, std::chrono::milliseconds timeout) {
        for (auto end = std::chrono::steady_clock::now() + timeout;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms))
            if (wanted(grab())) return true;
        return false;
    }
    void keys(const std::vector<std::string>& names) { e2e::pressKeys(display(), *window, names); }
    void quitsWithZero(const std::string& key) {
        keys({key});
        const auto code = player->waitForExit(5s);
        ASSERT_TRUE(code) << key << " did not end the player";
        EXPECT_EQ(*code, 0);
    }

    TempDir dir;
    std::optional<e2e::XvfbServer> server;
    std::optional<e2e::Process> player;
    std::optional<e2e::Window> window;
    std::string output;
};

TEST_F(PlayUnderXvfb, KeysPauseStepZoomAndHideTheOverlay) {
    tgltools::writeFile(dir.file("three.tgl"), squares({{kRed, 100}, {kGreen, 200}, {kBlue, 300}}));
    play("three.tgl");
    ASSERT_TRUE(waitFor([](const Picture& p) { return count(p, kRed) == 400; }, 5s));

    keys({"space"});
    std::this_thread::sleep_for(200ms);
    const Picture held = grab();
    for (int i = 0; i < 10; ++i, std::this_thread::sleep_for(100ms))
        ASSERT_EQ(grab(), held) << "the paused picture changed";

    const unsigned long order[] = {kRed, kGreen, kBlue};
    const int shown =
        static_cast<int>(std::find_if(std::begin(order), std::end(order),
                                      [&](unsigned long c) { return count(held, c) == 400; }) -
                         std::begin(order));
    ASSERT_LT(shown, 3);
    const unsigned long next = order[(shown + 1) % 3];
    keys({"Right"});
    ASSERT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 400; }, 5s));
    EXPECT_EQ(firstOf(grab(), next), 100 * 800 + 100 * ((shown + 1) % 3 + 1));

    // Zoom 2 about the centre of the frames' box, (100, 100) to (320, 120):
    // its left edge would land at -10, so the view moves it to 0.
    keys({"z"});
    ASSERT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 1600; }, 5s))
        << "zoom 2 did not double the frame's sides";
    const int x = 100 * ((shown + 1) % 3 + 1);
    EXPECT_EQ(firstOf(grab(), next), 90 * 800 + (x - 100) * 2);
    // Back at 1x the frame is at the file's place, not where the view moved it.
    keys({"Z"});
    ASSERT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 400; }, 5s));
    EXPECT_EQ(firstOf(grab(), next), 100 * 800 + x) << "zooming back left the frame off its place";
    keys({"z"});
    ASSERT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 1600; }, 5s));
    keys({"Home"});
    ASSERT_TRUE(waitFor([&](const Picture& p) { return count(p, next) == 400; }, 5s))
        << "Home did not reset the zoom";

    auto overlayInked = [](const Picture& p) {
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 200; ++x)
                if ((p[std::size_t(y * 800 + x)] & 0xFF) < 0x40) return true;
        return false;
    };
    EXPECT_TRUE(overlayInked(grab())) << "no text in the overlay";
    keys({"o"});
    EXPECT_TRUE(waitFor([&](const Picture& p) { return !overlayInked(p); }, 5s))
        << "the overlay stayed";
    quitsWithZero("q");
}

// A wheel notch over a pixel keeps it under the cursor; a drag moves the view with the pointer.
TEST_F(PlayUnderXvfb, TheWheelZoomsAboutTheCursorAndADragPans) {
    tgltools::TglWriter w;
    w.frame({400, 300, 1000})
        .image(tgltools::encodeTga(40, 40, std::vector<std::uint32_t>(1600, 0xFFFF0000u), false));
    tgltools::writeFile(dir.file("one.tgl"), w.build());
    play("one.tgl");
    ASSERT_TRUE(waitFor([](const Picture& p) { return count(p, kRed) == 1600; }, 5s));

    e2e::turnWheel(display(), *window, 410, 310, 1); // (410, 310) stays: the frame from (390, 290)
    ASSERT_TRUE(waitFor([](const Picture& p) { return count(p, kRed) == 6400; }, 5s))
        << "a wheel notch did not zoom 2x";
    EXPECT_EQ(firstOf(grab(), kRed), 290 * 800 + 390);

    e2e::dragPointer(display(), *window, 100, 100, 150, 120);
    EXPECT_TRUE(waitFor([](const Picture& p) { return firstOf(p, kRed) == 310 * 800 + 440; }, 5s))
        << "a drag did not move the view with the pointer";
    e2e::turnWheel(display(), *window, 600, 500, -1);
    EXPECT_TRUE(waitFor([](const Picture& p) { return count(p, kRed) == 1600; }, 5s))
        << "a notch back did not zoom out";
    quitsWithZero("q");
}

// Saves by rename and in place both show within a second; a broken save
// keeps the last good version on screen; a dropped file plays instead.
TEST_F(PlayUnderXvfb, SavesShowWithinASecondAndABrokenSaveKeepsTheLastGood) {
    const std::string file = dir.file("edit.tgl");
    tgltools::writeFile(file, squares({{kRed, 100}}));
    play("edit.tgl");
    ASSERT_TRUE(waitFor([](const Picture& p) { return count(p, kRed) == 400; }, 5s));

    tgltools::writeFile(dir.file("edit.tmp"), squares({{kGreen, 200}}));
    std::filesystem::rename(dir.file("edit.tmp"), file);
    EXPECT_TRUE(waitFor([](const Picture& p) { return count(p, kGreen) == 400; }, 5s))
        << "a save by rename did not show";

    tgltools::writeFile(file, squares({{kBlue, 300}}));
    EXPECT_TRUE(waitFor([](const Picture& p) { return count(p, kBlue) == 400; }, 5s))
        << "a save in place did not show";

    tgltools::writeFile(file, {'n', 'o', 'p', 'e'});
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(count(grab(), kBlue), 400) << "a broken save replaced the last good version";

    tgltools::writeFile(dir.file("other.tgl"), squares({{kRed, 500}}));
    ASSERT_TRUE(e2e::dragAndDrop(display(), *window, {dir.file("other.tgl")}, 10s));
    EXPECT_TRUE(waitFor([](const Picture& p) { return firstOf(p, kRed) == 100 * 800 + 500; }, 5s))
        << "a dropped file did not play";
    quitsWithZero("Escape");
}

TEST(PlayCommand, AFileThatCannotBeReadEndsItWithTwo) {
    TempDir dir;
    e2e::Process player(std::vector<std::string>{TGL_TOOL, "play", dir.file("missing.tgl")},
                        dir.path().string(), "", dir.file("out"));
    const auto code = player.waitForExit(10s);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 2);
}

} // namespace
