#include "image/blend.h"
#include "image/image.h"
#include "image/input_file.h"
#include "image/limits.h"
#include "image/png_chunks.h"
#include "platform/file_names.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/output.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>

namespace tgltool {

namespace {

enum Dispose : std::uint8_t { kDisposeNone, kDisposeBackground, kDisposePrevious };
enum Blend : std::uint8_t { kBlendSource, kBlendOver };

struct FrameControl {
    std::uint32_t width, height, left, top;
    std::int32_t milliseconds;
    std::uint8_t dispose, blend;
};

FrameControl frameControl(const imaging::PngChunk& chunk, std::uint32_t width,
                          std::uint32_t height) {
    const std::uint8_t* d = chunk.data;
    if (chunk.length < 26) throw std::runtime_error("an fcTL chunk is cut short");
    const std::uint32_t numerator = std::uint32_t(d[20]) << 8 | d[21];
    std::uint32_t denominator = std::uint32_t(d[22]) << 8 | d[23];
    if (denominator == 0) denominator = 100; // as the format says
    const FrameControl control{imaging::readBigEndian32(d + 4),
                               imaging::readBigEndian32(d + 8),
                               imaging::readBigEndian32(d + 12),
                               imaging::readBigEndian32(d + 16),
                               std::int32_t(std::lround(numerator * 1000.0 / denominator)),
                               d[24],
                               d[25]};
    if (control.width == 0 || control.height == 0 || control.left > width || control.top > height ||
        control.width > width - control.left || control.height > height - control.top)
        throw std::runtime_error("a frame lies outside the canvas");
    if (control.dispose > kDisposePrevious || control.blend > kBlendOver)
        throw std::runtime_error("a frame has an unknown dispose or blend operation");
    return control;
}

// An APNG, frame by frame: each frame's data is a PNG stream of the frame's
// size, decoded by the one PNG decoder, then drawn and disposed of.
class ApngReader {
  public:
    ApngReader(std::string path, const FrameSink& sink) : path_(std::move(path)), sink_(sink) {}
    void read();

  private:
    bool take(const imaging::PngChunk& chunk);
    void header(const imaging::PngChunk& chunk);
    void finishFrame();
    void readDefaultImage(const std::vector<std::uint8_t>& bytes);
    void draw(const imaging::DecodedImage& image);
    void dispose();
    void checkSequence(const std::uint8_t* data);

    std::string path_;
    const FrameSink& sink_;
    std::vector<std::uint8_t> ihdr_, shared_; // the header, and PLTE and tRNS as found
    std::uint32_t width_ = 0, height_ = 0, expectedSequence_ = 0;
    bool inFrame_ = false, sawImageData_ = false;
    std::int64_t frameLimit_ = -1; // acTL's frame count; -1 before it, 0 for none
    FrameControl control_{};
    std::vector<std::uint8_t> data_; // the current frame's image data
    tglformat::Picture canvas_, saved_;
    int frames_ = 0;
    std::unique_ptr<ComposeBudget> budget_;
};

void ApngReader::read() {
    const std::vector<std::uint8_t> bytes = readWhole(path_);
    budget_ = std::make_unique<ComposeBudget>(path_);
    try {
        if (!imaging::walkPngChunks(bytes.data(), bytes.size(),
                                    [this](const imaging::PngChunk& c) { return take(c); }))
            throw std::runtime_error("a chunk is broken or cut short");
        if (inFrame_) finishFrame();
        if (frameLimit_ == 0 || (frameLimit_ < 0 && frames_ == 0)) readDefaultImage(bytes);
    } catch (const std::runtime_error& problem) {
        if (dynamic_cast<const CommandError*>(&problem)) throw;
        throw CommandError(path_ + ": " + problem.what());
    }
    if (frames_ == 0) throw CommandError(path_ + ": has no frames");
}

bool ApngReader::take(const imaging::PngChunk& chunk) {
    if (chunk.type == "IHDR") {
        header(chunk);
    } else if (chunk.type == "acTL" && chunk.length >= 8 && !sawImageData_ && frameLimit_ < 0) {
        // A count past 2^31 - 1 is no animation: the file is its default image.
        const std::uint32_t count = imaging::readBigEndian32(chunk.data);
        frameLimit_ = count > 0x7FFFFFFFu ? 0 : std::int64_t(count);
    } else if (chunk.type == "PLTE" || chunk.type == "tRNS") {
        imaging::appendPngChunk(shared_, chunk.type.c_str(), chunk.data, chunk.length);
    } else if (chunk.type == "fcTL") {
        if (inFrame_) finishFrame();
        if (frameLimit_ >= 0 && frames_ >= frameLimit_) return false; // past the count: not shown
        checkSequence(chunk.data);
        control_ = frameControl(chunk, width_, height_);
        inFrame_ = true;
    } else if (chunk.type == "IDAT") {
        sawImageData_ = true;
        // Image data with no fcTL before it is the default image, outside the animation.
        if (inFrame_) data_.insert(data_.end(), chunk.data, chunk.data + chunk.length);
    } else if (chunk.type == "fdAT") {
        if (!inFrame_ || !sawImageData_ || chunk.length < 4)
            throw std::runtime_error("an fdAT chunk stands where it cannot");
        checkSequence(chunk.data);
        data_.insert(data_.end(), chunk.data + 4, chunk.data + chunk.length);
    }
    return true;
}

// A PNG decoder that knows no animation shows the default image, for as long
// as any still image shows.
void ApngReader::readDefaultImage(const std::vector<std::uint8_t>& bytes) {
    imaging::DecodedImage image;
    if (imaging::decodeImage(bytes.data(), bytes.size(), image) != imaging::ImageStatus::Ok)
        throw CommandError(path_ + ": cannot be decoded");
    SourceFrame still{tglformat::Picture(), tglformat::kDefaultDuration};
    still.canvas.width = image.width;
    still.canvas.height = image.height;
    still.canvas.pixels = std::move(image.pixels);
    sink_(std::move(still));
    ++frames_;
}

void ApngReader::header(const imaging::PngChunk& chunk) {
    if (chunk.length != 13) throw std::runtime_error("the IHDR chunk is not 13 bytes");
    width_ = imaging::readBigEndian32(chunk.data);
    height_ = imaging::readBigEndian32(chunk.data + 4);
    checkCanvasSize(path_, width_, height_);
    ihdr_.assign(chunk.data, chunk.data + chunk.length);
    canvas_ = tglformat::Picture(int(width_), int(height_), 0);
}

void ApngReader::checkSequence(const std::uint8_t* data) {
    if (imaging::readBigEndian32(data) != expectedSequence_++)
        throw std::runtime_error("the frames' sequence numbers are out of order");
}

void ApngReader::finishFrame() {
    inFrame_ = false;
    if (frames_ >= InputLimits::kMaxFrames)
        throw CommandError(path_ + ": more than " + std::to_string(InputLimits::kMaxFrames) +
                           " frames");
    budget_->spend(width_, height_);
    std::vector<std::uint8_t> png(std::begin(imaging::kPngSignature),
                                  std::end(imaging::kPngSignature));
    std::vector<std::uint8_t> header; // the file's, with the frame's size
    imaging::appendBigEndian32(header, control_.width);
    imaging::appendBigEndian32(header, control_.height);
    header.insert(header.end(), ihdr_.begin() + 8, ihdr_.end());
    imaging::appendPngChunk(png, "IHDR", header.data(), header.size());
    png.insert(png.end(), shared_.begin(), shared_.end());
    imaging::appendPngChunk(png, "IDAT", data_.data(), data_.size());
    imaging::appendPngChunk(png, "IEND", nullptr, 0);
    data_.clear();
    imaging::DecodedImage image;
    if (imaging::decodeImage(png.data(), png.size(), image) != imaging::ImageStatus::Ok)
        throw CommandError(path_ + ": frame " + std::to_string(frames_) + " cannot be decoded");
    if (control_.dispose == kDisposePrevious) saved_ = canvas_;
    draw(image);
    sink_({canvas_, control_.milliseconds});
    ++frames_;
    dispose();
}

void ApngReader::draw(const imaging::DecodedImage& image) {
    for (std::uint32_t y = 0; y < control_.height; ++y) {
        std::uint32_t* to =
            canvas_.pixels.data() + std::size_t(control_.top + y) * width_ + control_.left;
        const std::uint32_t* from = image.pixels.data() + std::size_t(y) * control_.width;
        for (std::uint32_t x = 0; x < control_.width; ++x)
            to[x] = control_.blend == kBlendSource ? from[x] : imaging::composeOver(from[x], to[x]);
    }
}

void ApngReader::dispose() {
    // A first frame disposed to the previous is disposed to the background.
    if (control_.dispose == kDisposePrevious && frames_ > 1) {
        canvas_ = std::move(saved_);
    } else if (control_.dispose != kDisposeNone) {
        for (std::uint32_t y = 0; y < control_.height; ++y)
            std::fill_n(canvas_.pixels.data() + std::size_t(control_.top + y) * width_ +
                            control_.left,
                        control_.width, 0u);
    }
    saved_ = {};
}

} // namespace

bool isAnimatedPng(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(filenames::openFile(path, "rb"),
                                                         std::fclose);
    std::uint8_t head[8];
    if (!file || std::fread(head, 1, 8, file.get()) != 8 ||
        !std::equal(head, head + 8, imaging::kPngSignature))
        return false;
    // acTL comes before the first IDAT: the chunks before it are enough.
    while (std::fread(head, 1, 8, file.get()) == 8) {
        const std::string type(reinterpret_cast<const char*>(head + 4), 4);
        if (type == "acTL") return true;
        if (type == "IDAT" || type == "IEND") return false;
        if (std::fseek(file.get(), long(imaging::readBigEndian32(head)) + 4, SEEK_CUR) != 0)
            return false;
    }
    return false;
}

SourceInfo importApng(const std::string& path, const FrameSink& sink) {
    ApngReader(path, sink).read();
    return {};
}

} // namespace tgltool
