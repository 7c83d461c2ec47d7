// The gdk-pixbuf loader as GTK programs meet it: a loaders cache made by
// gdk-pixbuf-query-loaders over the built module, our MIME type in a fresh
// database, then gdk-pixbuf's own API and its thumbnailer.

#include "format/animation.h"
#include "format/thumbnail.h"
#include "image/blend.h"
#include "image/image.h"
#include "tests/support/mime_database.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

class PixbufLoader : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        ASSERT_TRUE(usePrivateMimeDatabase(*dir, MIME_XML));
        const std::string query =
            "'" QUERY_LOADERS "' '" PIXBUF_MODULE "' > '" + dir->file("loaders.cache") + "'";
        ASSERT_EQ(std::system(query.c_str()), 0);
        setenv("GDK_PIXBUF_MODULE_FILE", dir->file("loaders.cache").c_str(), 1);
        setenv("XDG_DATA_HOME", dir->file("data").c_str(), 1);
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

    static void expectThePlayOfTheSample(GdkPixbufAnimation* animation);

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

// Each frame in turn, for its own time, as `tgl render` shows it in the box.
void PixbufLoader::expectThePlayOfTheSample(GdkPixbufAnimation* animation) {
    tglformat::Animation sample;
    std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(SAMPLE);
    ASSERT_TRUE(source && tglformat::readAnimation(*source, sample));
    EXPECT_FALSE(gdk_pixbuf_animation_is_static_image(animation));
    // Each frame's picture over white is what `tgl render` shows in the box.
    const std::string rendered = dir->file("rendered");
    ASSERT_EQ(
        std::system(
            ("'" TGL_TOOL "' render '" SAMPLE "' --all -o '" + rendered + "' --force").c_str()),
        0);
    const tglformat::Box box = tglformat::shownBox(sample);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GTimeVal now{1000, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &now);
    for (std::size_t i = 0; i <= sample.frames.size(); ++i) {
        const int expected = std::max(sample.frames[i % sample.frames.size()].duration, 20);
        EXPECT_EQ(gdk_pixbuf_animation_iter_get_delay_time(iter), expected) << "frame " << i;
        GdkPixbuf* picture = gdk_pixbuf_animation_iter_get_pixbuf(iter);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(gdk_pixbuf_get_width(picture), box.width());
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%03zu.png", i % sample.frames.size());
        const imaging::DecodedImage window = png(rendered + name);
        int differing = 0;
        for (int y = 0; y < box.height(); ++y)
            for (int x = 0; x < box.width(); ++x)
                differing += imaging::blendOver(argbAt(picture, x, y), 0xFFFFFFFF) !=
                             window.pixels[std::size_t((box.top + y) * 800 + box.left + x)];
        EXPECT_EQ(differing, 0) << "frame " << i;
        g_time_val_add(&now, expected * 1000L);
        EXPECT_TRUE(gdk_pixbuf_animation_iter_advance(iter, &now)) << "frame " << i;
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(iter);
}

TEST_F(PixbufLoader, TheAnimationPlaysEachFrameForItsOwnTime) {
    GError* error = nullptr;
    GdkPixbufAnimation* animation = gdk_pixbuf_animation_new_from_file(SAMPLE, &error);
    ASSERT_NE(animation, nullptr) << (error ? error->message : "");
    expectThePlayOfTheSample(animation);
    g_object_unref(animation);
}

// The road eog and most GTK programs take: the file written to a
// GdkPixbufLoader a few bytes at a time.
TEST_F(PixbufLoader, AnIncrementalLoadGivesTheAnimationAndItsStillImage) {
    std::ifstream in(SAMPLE, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    const auto load = [&](int width, int height) {
        GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
        if (width) gdk_pixbuf_loader_set_size(loader, width, height);
        for (std::size_t at = 0; at < bytes.size(); at += 7)
            EXPECT_TRUE(
                gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data() + at),
                                        std::min<std::size_t>(7, bytes.size() - at), nullptr));
        EXPECT_TRUE(gdk_pixbuf_loader_close(loader, nullptr));
        return loader;
    };
    GdkPixbufLoader* loader = load(0, 0);
    ASSERT_NE(gdk_pixbuf_loader_get_animation(loader), nullptr);
    expectThePlayOfTheSample(gdk_pixbuf_loader_get_animation(loader));
    GdkPixbuf* still = gdk_pixbuf_new_from_file(SAMPLE, nullptr);
    ASSERT_NE(still, nullptr);
    GdkPixbuf* given = gdk_pixbuf_loader_get_pixbuf(loader);
    ASSERT_NE(given, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(given), gdk_pixbuf_get_width(still));
    EXPECT_EQ(argbAt(given, 50, 60), argbAt(still, 50, 60));
    const int width = gdk_pixbuf_get_width(still), height = gdk_pixbuf_get_height(still);
    g_object_unref(loader);

    loader = load(width / 2, height / 2); // the size a program asks for
    GdkPixbufAnimation* scaled = gdk_pixbuf_loader_get_animation(loader);
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(gdk_pixbuf_animation_get_width(scaled), width / 2);
    EXPECT_EQ(gdk_pixbuf_get_height(gdk_pixbuf_loader_get_pixbuf(loader)), height / 2);
    EXPECT_FALSE(gdk_pixbuf_animation_is_static_image(scaled));
    g_object_unref(loader);
    g_object_unref(still);
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

// The hostile files the viewer's load is fuzzed with: each gives an error or
// a picture the library's limits allow, and none takes long.
TEST_F(PixbufLoader, EveryHostileCorpusFileGivesAnErrorOrAPictureWithinTheLimits) {
    int pictures = 0, errors = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(HOSTILE_CORPUS)) {
        GError* error = nullptr;
        GdkPixbufAnimation* animation =
            gdk_pixbuf_animation_new_from_file(entry.path().c_str(), &error);
        if (animation) {
            EXPECT_LE(gdk_pixbuf_animation_get_width(animation), 800) << entry.path();
            EXPECT_LE(gdk_pixbuf_animation_get_height(animation), 600) << entry.path();
            g_object_unref(animation);
            ++pictures;
        } else {
            EXPECT_NE(error, nullptr) << entry.path();
            if (error) g_error_free(error);
            ++errors;
        }
    }
    EXPECT_GT(pictures, 0);
    EXPECT_GT(errors, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

} // namespace
