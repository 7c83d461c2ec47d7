// The gdk-pixbuf loader as GTK programs meet it: a loaders cache made by
// gdk-pixbuf-query-loaders over the built module, our MIME type in a fresh
// database, then gdk-pixbuf's own API and its thumbnailer.

#include "format/animation.h"
#include "image/image.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

class PixbufLoader : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        const std::string mime = dir->file("data/mime");
        const std::string setup = "mkdir -p '" + mime + "/packages' && cp '" MIME_XML "' '" + mime +
                                  "/packages/' && update-mime-database '" + mime +
                                  "' && '" QUERY_LOADERS "' '" PIXBUF_MODULE "' > '" +
                                  dir->file("loaders.cache") + "'";
        ASSERT_EQ(std::system(setup.c_str()), 0);
        setenv("GDK_PIXBUF_MODULE_FILE", dir->file("loaders.cache").c_str(), 1);
        setenv("XDG_DATA_HOME", dir->file("data").c_str(), 1);
        setenv("XDG_DATA_DIRS", (dir->file("data") + ":/usr/share").c_str(), 1);
    }
    static void TearDownTestSuite() { delete dir; }

    static imaging::DecodedImage png(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        imaging::DecodedImage image;
        imaging::decodeImage(bytes.data(), bytes.size(), image);
        return image;
    }
    static std::uint32_t argbAt(GdkPixbuf* pixbuf, int x, int y) {
        const guchar* p =
            gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * 4;
        return std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 |
               p[2];
    }

    static TempDir* dir;
};

TempDir* PixbufLoader::dir = nullptr;

TEST_F(PixbufLoader, TheStillImageIsWhatTglThumbnailDraws) {
    const std::string thumb = dir->file("thumb.png");
    ASSERT_EQ(
        std::system(
            ("'" TGL_TOOL "' thumbnail '" SAMPLE "' '" + thumb + "' --size 4096 --force").c_str()),
        0);
    const imaging::DecodedImage expected = png(thumb);
    GError* error = nullptr;
    GdkPixbuf* still = gdk_pixbuf_new_from_file(SAMPLE, &error);
    ASSERT_NE(still, nullptr) << (error ? error->message : "");
    ASSERT_EQ(gdk_pixbuf_get_width(still), expected.width);
    ASSERT_EQ(gdk_pixbuf_get_height(still), expected.height);
    int differing = 0;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            differing +=
                argbAt(still, x, y) != expected.pixels[std::size_t(y * expected.width + x)];
    EXPECT_EQ(differing, 0);
    g_object_unref(still);

    const std::string small = dir->file("small.png");
    ASSERT_EQ(std::system(("gdk-pixbuf-thumbnailer -s 128 '" SAMPLE "' '" + small + "'").c_str()),
              0);
    const imaging::DecodedImage thumbnail = png(small);
    EXPECT_EQ(std::max(thumbnail.width, thumbnail.height), 128);
}

TEST_F(PixbufLoader, TheAnimationPlaysEachFrameForItsOwnTime) {
    tglformat::Animation sample;
    std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(SAMPLE);
    ASSERT_TRUE(source && tglformat::readAnimation(*source, sample));
    GError* error = nullptr;
    GdkPixbufAnimation* animation = gdk_pixbuf_animation_new_from_file(SAMPLE, &error);
    ASSERT_NE(animation, nullptr) << (error ? error->message : "");
    EXPECT_FALSE(gdk_pixbuf_animation_is_static_image(animation));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GTimeVal now{1000, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &now);
    for (std::size_t i = 0; i <= sample.frames.size(); ++i) {
        const int expected = std::max(sample.frames[i % sample.frames.size()].duration, 20);
        EXPECT_EQ(gdk_pixbuf_animation_iter_get_delay_time(iter), expected) << "frame " << i;
        GdkPixbuf* picture = gdk_pixbuf_animation_iter_get_pixbuf(iter);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(gdk_pixbuf_get_width(picture), gdk_pixbuf_animation_get_width(animation));
        g_time_val_add(&now, expected * 1000L);
        EXPECT_TRUE(gdk_pixbuf_animation_iter_advance(iter, &now)) << "frame " << i;
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(iter);
    g_object_unref(animation);
}

TEST_F(PixbufLoader, HostileFilesGiveAnErrorOfOneSentence) {
    const std::string empty = dir->file("empty.tgl");
    tgltools::writeFile(empty, tgltools::TglWriter().frameCount(1 << 20).frame({1, 2}).build());
    const std::string cut = dir->file("cut.tgl");
    tgltools::writeFile(cut, {'D', 'F', 'X', 0, 1});
    for (const std::string& path : {empty, cut}) {
        GError* error = nullptr;
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
        EXPECT_EQ(pixbuf, nullptr) << path;
        ASSERT_NE(error, nullptr) << path;
        EXPECT_EQ(std::string(error->message).back(), '.') << error->message;
        g_error_free(error);
    }
}

} // namespace
