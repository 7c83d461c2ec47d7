// Real GTK programs open a .tgl file through our gdk-pixbuf loader under Xvfb:
// a GtkImage of ours shows the sprite pixel for pixel, and eog, GNOME's image
// viewer, plays the animation.

#include "tests/e2e/colour_frames.h"
#include "tests/e2e/x11_session.h"
#include "tests/support/image_files.h"
#include "tests/support/mime_database.h"
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

// Our loader in a private loaders cache, our type in a private MIME database,
// as the package installs them.
void useOurLoader(const TempDir& dir) {
    ASSERT_TRUE(usePrivateMimeDatabase(dir, MIME_XML));
    const std::string query =
        "'" QUERY_LOADERS "' '" PIXBUF_MODULE "' > '" + dir.file("loaders.cache") + "'";
    ASSERT_EQ(std::system(query.c_str()), 0);
    setenv("GDK_PIXBUF_MODULE_FILE", dir.file("loaders.cache").c_str(), 1);
}

TEST(PixbufLoaderInGtk, AGtkImageShowsTheSprite) {
    if (!e2e::XvfbServer::available() || std::system("/usr/bin/python3 -c 'import gi' 2>/dev/null"))
        GTEST_SKIP() << "Xvfb or GTK's Python bindings are not installed";
    TempDir dir;
    useOurLoader(dir);

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

// eog opens files through GdkPixbufLoader: the window must show each of the
// file's frames in turn, in their own colours.
TEST(PixbufLoaderInGtk, EogPlaysTheAnimation) {
    if (!e2e::XvfbServer::available() || access("/usr/bin/eog", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or eog is not installed";
    TempDir dir;
    useOurLoader(dir);
    setenv("HOME", dir.path().c_str(), 1); // eog keeps its settings there
    const auto shown = e2e::coloursPlayedBy("/usr/bin/eog", dir, "walk.tgl");
    ASSERT_TRUE(shown) << "no eog window titled with the file's name";
    EXPECT_GE(shown->size(), 3u) << "eog does not play the animation";
    EXPECT_TRUE(e2e::inTheFilesOrder(*shown)) << "frames out of the file's order";
}

} // namespace
