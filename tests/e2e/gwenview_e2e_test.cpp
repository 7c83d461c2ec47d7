// KDE's image viewer opens a .tgl file through our Qt plug-in under Xvfb and
// plays it: each of the file's frames in turn, in their own colours.

#include "tests/e2e/x11_session.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

TEST(QtPluginInGwenview, GwenviewPlaysTheAnimation) {
    if (!e2e::XvfbServer::available() || access("/usr/bin/gwenview", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or gwenview is not installed";
    TempDir dir;
    // Our type in a private MIME database, our plug-in where Qt looks.
    const std::string mime = dir.file("data/mime");
    ASSERT_EQ(std::system(("mkdir -p '" + mime + "/packages' && cp '" MIME_XML "' '" + mime +
                           "/packages/' && update-mime-database '" + mime + "'")
                              .c_str()),
              0);
    setenv("XDG_DATA_DIRS", (dir.file("data") + ":/usr/share").c_str(), 1);
    setenv("QT_PLUGIN_PATH", QT_PLUGINS, 1);
    setenv("HOME", dir.path().c_str(), 1); // gwenview keeps its settings there
    const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF};
    tgltools::TglWriter animation;
    for (std::uint32_t colour : colours)
        animation.frame({200, 100, 400})
            .image(tgltools::encodeTga(
                40, 40, std::vector<std::uint32_t>(1600, 0xFF000000u | colour), false));
    tgltools::writeFile(dir.file("walk.tgl"), animation.build());

    e2e::XvfbServer server;
    ASSERT_TRUE(server.started());
    e2e::Watchdog watchdog(60s, "true", server.processId());
    e2e::Process gwenview({"dbus-run-session", "--", "/usr/bin/gwenview", dir.file("walk.tgl")},
                          dir.path().string(), server.name(), dir.file("gwenview.out"));
    // Its title names the file, its size and the zoom.
    const auto window =
        e2e::findWindowStartingWith(server.display(), "walk.tgl - 40x40 - 100%", 30s);
    ASSERT_TRUE(window) << "no gwenview window showing the file at its size";
    const auto geometry = e2e::geometry(server.display(), *window);
    ASSERT_TRUE(geometry);
    std::vector<unsigned long> order; // the colour shown, each time it changes
    for (auto end = std::chrono::steady_clock::now() + 3s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(20ms)) {
        const auto pixels =
            e2e::grabWindow(server.display(), *window, geometry->width, geometry->height);
        for (std::uint32_t colour : colours)
            if (std::count(pixels.begin(), pixels.end(), colour) >= 1600 &&
                (order.empty() || order.back() != colour))
                order.push_back(colour);
    }
    EXPECT_GE(order.size(), 3u) << "gwenview does not play the animation";
    for (std::size_t i = 1; i < order.size(); ++i)
        EXPECT_EQ(order[i],
                  colours[(std::find(colours, colours + 3, order[i - 1]) - colours + 1) % 3])
            << "frames out of the file's order";
}

} // namespace
