#include "app/win_main.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "platform/window_host.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

// What a frame showed: the colour and top-left corner of what was drawn.
struct Seen {
    std::uint32_t colour;
    int x;
    int y;
    bool operator==(const Seen& o) const { return colour == o.colour && x == o.x && y == o.y; }
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << std::hex << s.colour << std::dec << "@" << s.x << "," << s.y;
}

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kYellow = 0xFFFFFF00;

Engine* hooked = nullptr;
std::uint32_t fakeNow = 0;
std::vector<Seen> seen;
int dropAtFrame = -1;
std::string dropPath;

// After each frame: note what it showed, then let 10 ms pass.
bool observeFrame() {
    std::vector<std::uint32_t> pixels(800 * 600);
    hooked->extensions()->readBackBuffer(pixels.data(), 800, 600);
    Seen s{0xFFFFFFFF, -1, -1};
    for (int i = 0; i < 800 * 600 && s.x < 0; ++i)
        if (pixels[static_cast<std::size_t>(i)] != 0xFFFFFFFF)
            s = Seen{pixels[static_cast<std::size_t>(i)], i % 800, i / 800};
    if (static_cast<int>(seen.size()) == dropAtFrame) {
        const char* paths[] = {dropPath.c_str()};
        hooked->testHooks()->queueDrop(paths, 1);
    }
    seen.push_back(s);
    fakeNow += 10;
    return false;
}

tgltools::Bytes square(std::uint32_t argb) {
    return tgltools::encodeTga(20, 20, std::vector<std::uint32_t>(400, argb), false);
}

// WinMain over our engine, headless, on a fake clock, with a drop scripted
// through the engine's event queue.
class ViewerInProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        cwd.emplace(dir.path());
        tgltools::TglWriter startup;
        startup.perFrameDurations(true)
            .frame({100, 100, 30})
            .image(square(kRed))
            .frame({300, 200, 50})
            .image(square(kGreen))
            .frame({500, 300, 20})
            .image(square(kBlue));
        tgltools::writeFile("stand_1.tgl", startup.build());
        tgltools::writeFile(
            "other.TGL",
            tgltools::TglWriter().frame({50, 60, 1000}).image(square(kYellow)).build());

        hooked = qubCreate(kQubInterfaceVersion);
        hooked->extensions()->setOffscreen(true);
        hooked->testHooks()->setBeforePresent(observeFrame);
        fakeNow = 1000;
        platform::setTimeSource([] { return fakeNow; });
        seen.clear();
    }
    void TearDown() override {
        platform::setTimeSource(nullptr);
        hooked->release();
        cwd.reset();
    }
    void run(int frames) {
        hooked->testHooks()->setStopAfterFrames(frames);
        char commandLine[] = "";
        EXPECT_EQ(WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL), 0);
    }

    TempDir dir;
    std::optional<CurrentDirectory> cwd;
};

TEST_F(ViewerInProcess, EachFrameShowsAtItsPlaceForItsTime) {
    dropAtFrame = -1;
    run(16);
    const Seen red{kRed, 100, 100}, green{kGreen, 300, 200}, blue{kBlue, 500, 300};
    // Frames every 10 ms: red until 30, green until 80, blue until 100, then red again.
    const std::vector<Seen> expected = {red,  red,  red, green, green, green, green, green,
                                        blue, blue, red, red,   red,   green, green, green};
    EXPECT_EQ(seen, expected);
}

TEST_F(ViewerInProcess, ADropSwitchesAtTheNextFrame) {
    dropAtFrame = 4;
    dropPath = dir.file("other.TGL");
    run(8);
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[4], (Seen{kGreen, 300, 200}));
    for (int i = 5; i < 8; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], (Seen{kYellow, 50, 60})) << i;
}

TEST_F(ViewerInProcess, DroppingAnythingElseChangesNothing) {
    tgltools::writeFile("notes.txt", {'h', 'i'});
    dropAtFrame = 1;
    dropPath = dir.file("notes.txt");
    run(4);
    const Seen red{kRed, 100, 100}, green{kGreen, 300, 200};
    EXPECT_EQ(seen, (std::vector<Seen>{red, red, red, green}));
}

TEST_F(ViewerInProcess, WithoutTheStartupFileTheWindowStaysWhiteUntilADrop) {
    std::filesystem::remove("stand_1.tgl");
    dropAtFrame = 2;
    dropPath = dir.file("other.TGL");
    run(5);
    const Seen white{0xFFFFFFFF, -1, -1}, yellow{kYellow, 50, 60};
    EXPECT_EQ(seen, (std::vector<Seen>{white, white, white, yellow, yellow}));
}

} // namespace
