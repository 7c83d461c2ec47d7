// The Qt image-format plug-in as Qt programs meet it: found through
// QT_PLUGIN_PATH, read with QImageReader and played with QMovie.

#include "format/animation.h"
#include "format/thumbnail.h"
#include "image/blend.h"
#include "image/image.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QImageReader>
#include <QMovie>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

class QtPlugin : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("QT_PLUGIN_PATH", QT_PLUGINS, 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1); // QMovie's pixmaps, with no display
        static int argc = 1;
        static char name[] = "qt_plugin_test";
        static char* argv[] = {name, nullptr};
        application = new QGuiApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete application; }

    static QGuiApplication* application;
    TempDir dir;
};
QGuiApplication* QtPlugin::application = nullptr;

imaging::DecodedImage png(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    imaging::DecodedImage image;
    imaging::decodeImage(bytes.data(), bytes.size(), image);
    return image;
}

// Each frame, in order and for its own time, is what `tgl render` draws in the frames' box.
TEST_F(QtPlugin, QImageReaderGivesEveryFrameAsTglRenderDrawsIt) {
    tglformat::Animation sample;
    std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(SAMPLE);
    ASSERT_TRUE(source && tglformat::readAnimation(*source, sample));
    const tglformat::Box box = tglformat::shownBox(sample);
    const std::string rendered = dir.file("rendered");
    ASSERT_EQ(
        std::system(("'" TGL_TOOL "' render '" SAMPLE "' --all -o '" + rendered + "'").c_str()), 0);

    QImageReader reader(SAMPLE);
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    EXPECT_EQ(reader.format(), "tgl");
    EXPECT_TRUE(reader.supportsAnimation());
    EXPECT_EQ(reader.size(), QSize(box.width(), box.height()));
    ASSERT_EQ(reader.imageCount(), int(sample.frames.size()));
    EXPECT_EQ(reader.loopCount(), -1);
    for (std::size_t i = 0; i < sample.frames.size(); ++i) {
        const QImage frame = reader.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(frame.isNull()) << "frame " << i;
        EXPECT_EQ(reader.nextImageDelay(), std::max(sample.frames[i].duration, 20)) << i;
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%03zu.png", i);
        const imaging::DecodedImage window = png(rendered + name);
        int differing = 0;
        for (int y = 0; y < box.height(); ++y)
            for (int x = 0; x < box.width(); ++x)
                differing += imaging::blendOver(frame.pixel(x, y), 0xFFFFFFFF) !=
                             window.pixels[std::size_t((box.top + y) * 800 + box.left + x)];
        EXPECT_EQ(differing, 0) << "frame " << i;
    }
    EXPECT_FALSE(reader.canRead()) << "past the last frame";
    EXPECT_TRUE(reader.jumpToImage(3));
    EXPECT_EQ(reader.read().size(), QSize(box.width(), box.height()));
    EXPECT_EQ(reader.currentImageNumber(), 3);
}

TEST_F(QtPlugin, QMoviePlaysTheFramesInALoop) {
    QMovie movie(SAMPLE);
    ASSERT_TRUE(movie.isValid());
    EXPECT_EQ(movie.frameCount(), 12);
    std::vector<int> shown;
    QObject::connect(&movie, &QMovie::frameChanged, [&](int frame) { shown.push_back(frame); });
    movie.start();
    QEventLoop loop;
    QTimer::singleShot(1600, &loop, &QEventLoop::quit); // the sample's loop is 1168 ms
    loop.exec();
    movie.stop();
    ASSERT_GE(shown.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(shown[i], int(i));
    EXPECT_EQ(shown[12 % shown.size()], 0) << "it did not loop";
}

// Found by its first bytes, whatever the name; a name alone is not enough.
TEST_F(QtPlugin, TheMagicDecides) {
    std::filesystem::copy_file(SAMPLE, dir.path() / "sprite.png");
    tgltools::writeFile(dir.file("other.tgl"), {'n', 'o', 't', ' ', 't', 'g', 'l'});
    EXPECT_EQ(QImageReader(QString::fromStdString(dir.file("sprite.png"))).format(), "tgl");
    QImageReader other(QString::fromStdString(dir.file("other.tgl")));
    EXPECT_TRUE(other.read().isNull());
}

// The hostile files the viewer's load is fuzzed with: an error or a picture
// within the window, never a crash.
TEST_F(QtPlugin, EveryHostileCorpusFileGivesAnErrorOrAPictureWithinTheLimits) {
    int pictures = 0, errors = 0;
    for (const auto& entry : std::filesystem::directory_iterator(HOSTILE_CORPUS)) {
        QImageReader reader(QString::fromStdString(entry.path().string()), "tgl");
        const QImage image = reader.read();
        if (image.isNull()) {
            ++errors;
            continue;
        }
        EXPECT_LE(image.width(), 800) << entry.path();
        EXPECT_LE(image.height(), 600) << entry.path();
        ++pictures;
    }
    std::printf("hostile corpus: %d pictures, %d errors\n", pictures, errors);
    EXPECT_GT(errors, 0);
}

} // namespace
