// KDE's thumbnailer for .tgl files: file managers such as Dolphin show the
// first frame that shows, cropped to the frames and fitted into the size
// asked, as `tgl thumbnail` draws it. Read through the format library.

#include "format/byte_source.h"
#include "format/thumbnail.h"

#include <KIO/ThumbnailCreator>
#include <KPluginFactory>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstring>
#include <new>

class TglThumbnailCreator : public KIO::ThumbnailCreator {
    Q_OBJECT

  public:
    TglThumbnailCreator(QObject* parent, const QVariantList& args)
        : KIO::ThumbnailCreator(parent, args) {}

    KIO::ThumbnailResult create(const KIO::ThumbnailRequest& request) override {
        const QByteArray path = QFile::encodeName(request.url().toLocalFile());
        const std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(path.constData());
        tglformat::Animation animation;
        tglformat::Picture picture;
        try {
            if (!source || !tglformat::readAnimation(*source, animation))
                return KIO::ThumbnailResult::fail();
            const QSize size = request.targetSize();
            picture = tglformat::thumbnailOf(animation, std::max(size.width(), size.height()));
        } catch (const std::bad_alloc&) {
            return KIO::ThumbnailResult::fail();
        }
        if (picture.pixels.empty()) return KIO::ThumbnailResult::fail();
        QImage image(picture.width, picture.height, QImage::Format_ARGB32); // 0xAARRGGBB
        for (int y = 0; y < picture.height; ++y)
            std::memcpy(image.scanLine(y), picture.pixels.data() + std::size_t(y) * picture.width,
                        std::size_t(picture.width) * 4);
        return KIO::ThumbnailResult::pass(image);
    }
};

K_PLUGIN_CLASS_WITH_JSON(TglThumbnailCreator, "tglthumbnail.json")

#include "tgl_thumbnail_creator.moc"
