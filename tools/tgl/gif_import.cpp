#include "image/input_file.h"
#include "image/limits.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/gif_error.h"
#include "tools/tgl/output.h"

#include <gif_lib.h>

#include <cstdio>
#include <memory>

namespace tgltool {

namespace {

int readFromFile(GifFileType* gif, GifByteType* to, int size) {
    return int(std::fread(to, 1, std::size_t(size), static_cast<std::FILE*>(gif->UserData)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// The rows of an interlaced image come in four passes.
std::vector<int> rowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            rows.push_back(y);
    return rows;
}

// One GIF file, record by record: each image drawn over the screen as
// browsers draw it, then disposed of as its control block says.
class GifReader {
  public:
    explicit GifReader(const std::string& path);
    // Calls `sink` with the screen after each image; gives the number of images.
    int readAll(const FrameSink& sink);

  private:
    CommandError broken() const;
    CommandError frameError(const std::string& what) const;
    void readExtension();
    void readImage(const FrameSink& sink);
    void drawRows(const GifImageDesc& desc, const ColorMapObject& palette);
    void dispose(const GifImageDesc& desc);

    std::string path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, std::fclose};
    std::unique_ptr<GifFileType, GifCloser> gif_;
    int width_ = 0, height_ = 0;
    // Browsers start from a transparent screen and clear to transparency: the
    // background colour is not drawn.
    tglformat::Picture canvas_, saved_;
    ComposeBudget budget_{path_};
    GraphicsControlBlock control_{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    std::vector<GifByteType> line_;
    int frames_ = 0;
};

GifReader::GifReader(const std::string& path) : path_(path) {
    const imaging::InputFile input =
        imaging::openInputFile(path.c_str(), InputLimits::kMaxFileBytes);
    if (input.status != imaging::InputFileStatus::Ok)
        throw CommandError(path + ": " + imaging::inputFileProblem(input.status));
    file_.reset(input.file);
    int error = 0;
    gif_.reset(DGifOpen(file_.get(), readFromFile, &error));
    if (!gif_) throw CommandError(path + ": not a GIF file (" + gifError(error) + ")");
    width_ = gif_->SWidth;
    height_ = gif_->SHeight;
    if (!InputLimits::withinImageLimits(std::uint64_t(width_), std::uint64_t(height_)))
        throw CommandError(path + ": a screen of " + std::to_string(width_) + " x " +
                           std::to_string(height_) + " is past the image limits");
    canvas_ = tglformat::Picture(width_, height_, 0);
}

CommandError GifReader::broken() const {
    return CommandError(path_ + ": broken at frame " + std::to_string(frames_) + " (" +
                        gifError(gif_->Error) + ")");
}

CommandError GifReader::frameError(const std::string& what) const {
    return CommandError(path_ + ": frame " + std::to_string(frames_) + " " + what);
}

int GifReader::readAll(const FrameSink& sink) {
    for (GifRecordType type = UNDEFINED_RECORD_TYPE; type != TERMINATE_RECORD_TYPE;) {
        if (DGifGetRecordType(gif_.get(), &type) == GIF_ERROR) throw broken();
        if (type == EXTENSION_RECORD_TYPE) readExtension();
        if (type == IMAGE_DESC_RECORD_TYPE) readImage(sink);
    }
    return frames_;
}

void GifReader::readExtension() {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif_.get(), &code, &block) == GIF_ERROR) throw broken();
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        DGifExtensionToGCB(block[0], block + 1, &control_);
    while (block)
        if (DGifGetExtensionNext(gif_.get(), &block) == GIF_ERROR) throw broken();
}

void GifReader::readImage(const FrameSink& sink) {
    if (DGifGetImageDesc(gif_.get()) == GIF_ERROR) throw broken();
    const GifImageDesc desc = gif_->Image;
    if (frames_ >= InputLimits::kMaxFrames)
        throw CommandError(path_ + ": more than " + std::to_string(InputLimits::kMaxFrames) +
                           " frames");
    if (!InputLimits::withinImageLimits(std::uint64_t(desc.Width), std::uint64_t(desc.Height)))
        throw frameError("is past the image limits");
    const ColorMapObject* palette = desc.ColorMap ? desc.ColorMap : gif_->SColorMap;
    if (!palette) throw frameError("has no palette");
    budget_.spend(std::uint64_t(width_), std::uint64_t(height_));
    if (control_.DisposalMode == DISPOSE_PREVIOUS) saved_ = canvas_;
    drawRows(desc, *palette);
    sink({canvas_, control_.DelayTime <= 1 ? kShortGifDelay : control_.DelayTime * 10});
    ++frames_;
    dispose(desc);
    control_ = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    // giflib keeps every image's description; a long animation needs none of them.
    GifFreeSavedImages(gif_.get());
    gif_->ImageCount = 0;
}

void GifReader::drawRows(const GifImageDesc& desc, const ColorMapObject& palette) {
    line_.resize(std::size_t(desc.Width));
    for (const int row : rowOrder(desc.Height, desc.Interlace)) {
        if (DGifGetLine(gif_.get(), line_.data(), desc.Width) == GIF_ERROR) throw broken();
        const int y = desc.Top + row;
        if (y < 0 || y >= height_) continue; // past the screen: clipped
        std::uint32_t* to = canvas_.pixels.data() + std::size_t(y) * std::size_t(width_);
        for (int x = 0; x < desc.Width; ++x) {
            const int index = line_[std::size_t(x)];
            const int at = desc.Left + x;
            if (index == control_.TransparentColor || index >= palette.ColorCount || at >= width_)
                continue;
            const GifColorType c = palette.Colors[index];
            to[at] =
                0xFF000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
        }
    }
}

void GifReader::dispose(const GifImageDesc& desc) {
    if (control_.DisposalMode == DISPOSE_BACKGROUND) {
        for (int y = std::max(desc.Top, 0); y < std::min(desc.Top + desc.Height, height_); ++y)
            for (int x = std::max(desc.Left, 0); x < std::min(desc.Left + desc.Width, width_); ++x)
                canvas_.pixels[std::size_t(y) * std::size_t(width_) + std::size_t(x)] = 0;
    } else if (control_.DisposalMode == DISPOSE_PREVIOUS) {
        canvas_ = std::move(saved_);
        saved_ = {};
    }
}

} // namespace

SourceInfo importGif(const std::string& path, const FrameSink& sink) {
    if (GifReader(path).readAll(sink) == 0) throw CommandError(path + ": has no frames");
    return {};
}

} // namespace tgltool
