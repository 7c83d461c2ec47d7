// A real GTK program opens a .tgl file through our gdk-pixbuf loader under
// Xvfb: its window shows the sprite, pixel for pixel.

#include "tests/e2e/x11_session.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(PixbufLoaderInGtk, AGtkImageShowsTheSprite) {
    if (!e2e::XvfbServer::available() || std::system("/usr/bin/python3 -c 'import gi' 2>/dev/null"))
        GTEST_SKIP() << "Xvfb or GTK's Python bindings are not installed";
    TempDir dir;
    const std::string mime = dir.file("data/mime");
    const std::string setup = "mkdir -p '" + mime + "/packages' && cp '" MIME_XML "' '" + mime +
                              "/packages/' && update-mime-database '" + mime +
                              "' && '" QUERY_LOADERS "' '" PIXBUF_MODULE "' > '" +
                              dir.file("loaders.cache") + "'";
    ASSERT_EQ(std::system(setup.c_str()), 0);
    setenv("GDK_PIXBUF_MODULE_FILE", dir.file("loaders.cache").c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir.file("data") + ":/usr/share").c_str(), 1);

    // One opaque frame, so that what shows does not depend on GTK's background.
    const testimg::Image sprite = testimg::pattern(40, 30, false);
    testimg::writeFile(
        dir.file("sprite.tgl"),
        tgltools::TglWriter().frame({200, 100, 100}).image(testimg::tga(sprite, true)).build());

    e2e::XvfbServer server;
    ASSERT_TRUE(server.started());
    e2e::Process program({"/usr/bin/python3", GTK_PROGRAM, dir.file("sprite.tgl")},
                         dir.path().string(), server.name(), dir.file("gtk.out"));
    const auto window = e2e::findWindow(server.display(), "tgl in GTK", 30s);
    ASSERT_TRUE(window) << "no GTK window";
    const auto geometry = e2e::geometry(server.display(), *window);
    ASSERT_TRUE(geometry);
    const int left = (geometry->width - sprite.width) / 2,
              top = (geometry->height - sprite.height) / 2;
    bool shown = false;
    for (auto end = std::chrono::steady_clock::now() + 10s;
         !shown && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(50ms)) {
        const auto pixels =
            e2e::grabWindow(server.display(), *window, sprite.width, sprite.height, left, top);
        shown = pixels.size() == sprite.pixels.size();
        for (std::size_t i = 0; shown && i < pixels.size(); ++i)
            shown = pixels[i] == (sprite.pixels[i] & 0xFFFFFF);
    }
    EXPECT_TRUE(shown) << "the window does not show the sprite";
}

} // namespace
