// KDE's thumbnailer as a file manager asks for it: a KIO::PreviewJob, whose
// thumbnail worker (kio-extras) loads our plug-in from QT_PLUGIN_PATH. The
// thumbnail is what `tgl thumbnail` draws.

#include "image/image.h"
#include "tests/support/mime_database.h"
#include "tests/support/temp_dir.h"

#include <KFileItem>
#include <KIO/PreviewJob>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

TEST(KdeThumbnailer, APreviewJobGivesWhatTglThumbnailDraws) {
    if (access("/usr/lib/x86_64-linux-gnu/qt5/plugins/kf5/kio/thumbnail.so", R_OK) != 0)
        GTEST_SKIP() << "kio-extras' thumbnail worker is not installed";
    TempDir dir;
    ASSERT_TRUE(usePrivateMimeDatabase(dir, MIME_XML));
    setenv("QT_PLUGIN_PATH", QT_PLUGINS, 1);
    setenv("HOME", dir.path().c_str(), 1); // the thumbnail cache goes there
    setenv("KDE_FORK_SLAVES", "1", 1);     // the worker started by the job, no launcher
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string expected = dir.file("expected.png");
    ASSERT_EQ(std::system(
                  ("'" TGL_TOOL "' thumbnail '" SAMPLE "' '" + expected + "' --size 128").c_str()),
              0);

    int argc = 1;
    char name[] = "kde_thumbnail_test";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    const QStringList plugins{QStringLiteral("tglthumbnail")};
    KIO::PreviewJob* job =
        KIO::filePreview(KFileItemList{KFileItem(QUrl::fromLocalFile(QStringLiteral(SAMPLE)))},
                         QSize(128, 128), &plugins);
    QImage thumbnail;
    QObject::connect(
        job, &KIO::PreviewJob::gotPreview,
        [&](const KFileItem&, const QPixmap& preview) { thumbnail = preview.toImage(); });
    QObject::connect(job, &KJob::result, &application, &QApplication::quit);
    application.exec();

    ASSERT_FALSE(thumbnail.isNull()) << "no thumbnail from KDE's thumbnail worker";
    std::ifstream in(expected, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    imaging::DecodedImage drawn;
    ASSERT_EQ(imaging::decodeImage(bytes.data(), bytes.size(), drawn), imaging::ImageStatus::Ok);
    ASSERT_EQ(thumbnail.size(), QSize(drawn.width, drawn.height));
    // A pixmap holds premultiplied pixels: the picture drawn goes the same way.
    QImage drawnImage(drawn.width, drawn.height, QImage::Format_ARGB32);
    for (int y = 0; y < drawn.height; ++y)
        for (int x = 0; x < drawn.width; ++x)
            drawnImage.setPixel(x, y, drawn.pixels[std::size_t(y * drawn.width + x)]);
    EXPECT_EQ(thumbnail.convertToFormat(QImage::Format_ARGB32_Premultiplied),
              drawnImage.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

} // namespace
