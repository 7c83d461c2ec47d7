// The Qt image-format plug-in: Qt programs (KDE's among them) read .tgl files
// through TglImageHandler, a still image or an animation.

#include "plugins/qt/tgl_image_handler.h"

#include <QImageIOPlugin>

class TglImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QImageIOHandlerFactoryInterface" FILE "tgl.json")

  public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override {
        if (format == "tgl") return CanRead;
        if (!format.isEmpty() || !device || !device->isOpen()) return {};
        return TglImageHandler::canRead(device) ? CanRead : Capabilities();
    }

    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
        auto* handler = new TglImageHandler;
        handler->setDevice(device);
        handler->setFormat(format.isEmpty() ? QByteArray("tgl") : format);
        return handler;
    }
};

#include "tgl_image_plugin.moc"
