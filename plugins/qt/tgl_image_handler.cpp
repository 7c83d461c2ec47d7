#include "plugins/qt/tgl_image_handler.h"

#include "format/byte_source.h"
#include "format/tgl_format.h"
#include "image/limits.h"

#include <QIODevice>
#include <QImage>
#include <QVariant>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Frames of no time show as long as the shortest delay image programs honour.
constexpr int kShortestDelay = 20;

// The device's bytes from where it stands, or nothing when they reach the limit.
bool readAll(QIODevice* device, std::vector<std::uint8_t>& bytes) {
    char chunk[1 << 16];
    for (qint64 n; (n = device->read(chunk, sizeof chunk)) > 0;) {
        if (bytes.size() + std::size_t(n) >= InputLimits::kMaxFileBytes) return false;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return true;
}

} // namespace

bool TglImageHandler::canRead(QIODevice* device) {
    constexpr int length = int(tglformat::kMagicBytes);
    return device && device->peek(length) == QByteArray(tglformat::kMagic, length);
}

bool TglImageHandler::canRead() const {
    if (state_ == State::Read) return next_ < int(animation_.frames.size());
    if (state_ == State::Refused || !canRead(device())) return false;
    const_cast<TglImageHandler*>(this)->setFormat("tgl");
    return true;
}

bool TglImageHandler::load() const {
    if (state_ != State::Unread) return state_ == State::Read;
    state_ = State::Refused;
    std::vector<std::uint8_t> bytes;
    try {
        if (!device() || !readAll(device(), bytes)) return false;
        tglformat::MemorySource source(bytes.data(), bytes.size());
        if (!tglformat::readAnimation(source, animation_)) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    box_ = tglformat::shownBox(animation_);
    if (box_.empty() || animation_.frames.empty()) return false;
    state_ = State::Read;
    return true;
}

bool TglImageHandler::read(QImage* image) {
    if (!load() || next_ >= int(animation_.frames.size())) return false;
    const tglformat::Picture picture =
        tglformat::croppedFrame(animation_, std::size_t(next_), box_);
    // 0xAARRGGBB, straight alpha: Qt's ARGB32 as it is.
    QImage frame(picture.width, picture.height, QImage::Format_ARGB32);
    if (frame.isNull()) return false;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(frame.scanLine(y), picture.pixels.data() + std::size_t(y) * picture.width,
                    std::size_t(picture.width) * 4);
    *image = frame;
    current_ = next_++;
    return true;
}

bool TglImageHandler::supportsOption(ImageOption option) const {
    return option == Size || option == Animation;
}

QVariant TglImageHandler::option(ImageOption option) const {
    if (option == Animation) return true;
    if (option == Size && load()) return QSize(box_.width(), box_.height());
    return {};
}

int TglImageHandler::imageCount() const { return load() ? int(animation_.frames.size()) : 0; }

int TglImageHandler::currentImageNumber() const { return current_; }

bool TglImageHandler::jumpToNextImage() { return jumpToImage(next_); }

bool TglImageHandler::jumpToImage(int number) {
    if (!load() || number < 0 || number >= int(animation_.frames.size())) return false;
    next_ = number;
    return true;
}

int TglImageHandler::nextImageDelay() const {
    if (!load() || current_ < 0) return 0;
    return std::max(animation_.frames[std::size_t(current_)].duration, kShortestDelay);
}

int TglImageHandler::loopCount() const { return -1; } // forever, as the viewer plays
