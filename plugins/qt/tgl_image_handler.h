#pragma once

#include "format/animation.h"
#include "format/thumbnail.h"

#include <QImageIOHandler>

#include <vector>

// A .tgl file as Qt's image readers and QMovie see it: a sequence of images,
// each frame as the viewer draws it on transparency inside the frames' box,
// shown for the frame's own time, looping forever. The file is read once,
// through the format library and its limits; a file it refuses is an error.
class TglImageHandler : public QImageIOHandler {
  public:
    // Whether the device's next bytes begin a .tgl file ("DFX"), without consuming them.
    static bool canRead(QIODevice* device);

    bool canRead() const override;
    bool read(QImage* image) override;

    bool supportsOption(ImageOption option) const override;
    QVariant option(ImageOption option) const override;

    int imageCount() const override;
    int currentImageNumber() const override;
    bool jumpToNextImage() override;
    bool jumpToImage(int number) override;
    int nextImageDelay() const override;
    int loopCount() const override;

  private:
    enum class State { Unread, Read, Refused };
    bool load() const; // false when the file is refused

    mutable State state_ = State::Unread;
    mutable tglformat::Animation animation_;
    mutable tglformat::Box box_;
    int next_ = 0;     // the frame read() gives next
    int current_ = -1; // the frame read() gave last
};
