// KDE's image viewer opens a .tgl file through our Qt plug-in under Xvfb and
// plays it: each of the file's frames in turn, in their own colours.

#include "tests/e2e/colour_frames.h"
#include "tests/e2e/x11_session.h"
#include "tests/support/mime_database.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

TEST(QtPluginInGwenview, GwenviewPlaysTheAnimation) {
    if (!e2e::XvfbServer::available() || access("/usr/bin/gwenview", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or gwenview is not installed";
    TempDir dir;
    // Our type in a private MIME database, our plug-in where Qt looks.
    ASSERT_TRUE(usePrivateMimeDatabase(dir, MIME_XML));
    setenv("QT_PLUGIN_PATH", QT_PLUGINS, 1);
    setenv("HOME", dir.path().c_str(), 1); // gwenview keeps its settings there
    // Its title names the file, its size and the zoom.
    const auto shown = e2e::coloursPlayedBy("/usr/bin/gwenview", dir, "walk.tgl - 40x40 - 100%");
    ASSERT_TRUE(shown) << "no gwenview window showing the file at its size";
    EXPECT_GE(shown->size(), 3u) << "gwenview does not play the animation";
    EXPECT_TRUE(e2e::inTheFilesOrder(*shown)) << "frames out of the file's order";
}

} // namespace
