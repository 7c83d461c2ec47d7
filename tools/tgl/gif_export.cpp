#include "tools/tgl/gif_export.h"
#include "tools/tgl/gif_error.h"

#include "tools/tgl/gif_palette.h"

#include "tools/tgl/output.h"

#include <gif_lib.h>

#include <algorithm>
#include <cmath>

namespace tgltool {

namespace {

// Browsers show shorter delays as 100 ms.
constexpr int kShortestDelay = 2;     // hundredths
constexpr int kLongestDelay = 0xFFFF; // what the field holds

int appendToBytes(GifFileType* gif, const GifByteType* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    bytes->insert(bytes->end(), data, data + size);
    return size;
}

struct Region {
    int left = 0, top = 0, width = 0, height = 0;
};

} // namespace

struct GifWriter::State {
    int width, height;
    bool transparent;
    std::vector<std::uint8_t> bytes;
    GifFileType* gif = nullptr;
    std::vector<std::uint32_t> shown;   // what the GIF shows after the last frame written
    std::vector<std::uint32_t> pending; // the picture not written yet, and its time
    std::int64_t pendingEnd = 0;        // milliseconds from the start to its end
    std::int64_t writtenHundredths = 0; // time written so far
    bool hasPending = false;

    void check(int result) const {
        if (result == GIF_ERROR) throw CommandError("GIF: " + gifError(gif->Error));
    }

    // Where `picture` differs from what shows; all of it when transparency is
    // kept, as a pixel cannot become transparent over one left in place.
    Region changed(const std::vector<std::uint32_t>& picture) const {
        if (transparent || shown.empty()) return {0, 0, width, height};
        int left = width, top = height, right = 0, bottom = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
                if (picture[i] == shown[i]) continue;
                left = std::min(left, x), right = std::max(right, x + 1);
                top = std::min(top, y), bottom = y + 1;
            }
        if (right <= left) return {0, 0, 1, 1}; // a frame of time only
        return {left, top, right - left, bottom - top};
    }

    void write(const std::vector<std::uint32_t>& picture, int hundredths) {
        const Region r = changed(picture);
        std::vector<std::uint32_t> region;
        region.reserve(std::size_t(r.width) * std::size_t(r.height));
        for (int y = r.top; y < r.top + r.height; ++y)
            for (int x = r.left; x < r.left + r.width; ++x)
                region.push_back(picture[std::size_t(y) * std::size_t(width) + std::size_t(x)]);
        const auto isShown = [this](std::uint32_t p) { return !transparent || (p >> 24) >= 128; };

        // The shown pixels' own palette; the rest take the transparent index.
        std::vector<std::uint32_t> shownColours;
        for (std::uint32_t p : region)
            if (isShown(p)) shownColours.push_back(p);
        IndexedPixels indexed = indexPixels(shownColours, transparent ? 255 : 256);
        std::vector<GifColorType>& palette = indexed.palette;
        std::vector<GifByteType> indexes(region.size());
        for (std::size_t i = 0, next = 0; i < region.size(); ++i)
            if (isShown(region[i])) indexes[i] = indexed.indexes[next++];
        const int transparentIndex = transparent ? int(palette.size()) : NO_TRANSPARENT_COLOR;
        if (transparent) {
            palette.push_back({0, 0, 0});
            for (std::size_t i = 0; i < region.size(); ++i)
                if (!isShown(region[i])) indexes[i] = GifByteType(transparentIndex);
        }
        int bits = 1;
        while ((1u << bits) < palette.size())
            ++bits;
        palette.resize(std::size_t(1) << bits, GifColorType{0, 0, 0});

        GraphicsControlBlock control{transparent ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT, false,
                                     hundredths, transparentIndex};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension));
        ColorMapObject* map = GifMakeMapObject(int(palette.size()), palette.data());
        if (!map) throw CommandError("GIF: out of memory");
        const int described = EGifPutImageDesc(gif, r.left, r.top, r.width, r.height, false, map);
        GifFreeMapObject(map);
        check(described);
        for (int y = 0; y < r.height; ++y)
            check(
                EGifPutLine(gif, indexes.data() + std::size_t(y) * std::size_t(r.width), r.width));

        // Pixels the region leaves as they were stay shown.
        if (transparent)
            shown = picture;
        else if (shown.empty())
            shown = picture;
        else
            for (int y = r.top; y < r.top + r.height; ++y)
                std::copy_n(picture.begin() + std::ptrdiff_t(y) * width + r.left, r.width,
                            shown.begin() + std::ptrdiff_t(y) * width + r.left);
    }

    // The pending picture, its delay rounded so that the times add up.
    void flush() {
        if (!hasPending) return;
        const std::int64_t end = std::llround(double(pendingEnd) / 10);
        const int hundredths =
            int(std::clamp<std::int64_t>(end - writtenHundredths, kShortestDelay, kLongestDelay));
        write(pending, hundredths);
        writtenHundredths += hundredths;
        hasPending = false;
    }
};

GifWriter::GifWriter(int width, int height, bool transparent)
    : state_(new State{width, height, transparent, {}, nullptr, {}, {}, 0, 0, false}) {
    int error = 0;
    state_->gif = EGifOpen(&state_->bytes, appendToBytes, &error);
    if (!state_->gif) throw CommandError("GIF: " + gifError(error));
    EGifSetGifVersion(state_->gif, true);
    state_->check(EGifPutScreenDesc(state_->gif, width, height, 8, 0, nullptr));
    // Loop for ever, as the viewer does.
    const GifByteType loop[] = {1, 0, 0};
    state_->check(EGifPutExtensionLeader(state_->gif, APPLICATION_EXT_FUNC_CODE));
    state_->check(EGifPutExtensionBlock(state_->gif, 11, "NETSCAPE2.0"));
    state_->check(EGifPutExtensionBlock(state_->gif, 3, loop));
    state_->check(EGifPutExtensionTrailer(state_->gif));
}

GifWriter::~GifWriter() {
    if (state_->gif) {
        int error = 0;
        EGifCloseFile(state_->gif, &error);
    }
}

void GifWriter::add(std::vector<std::uint32_t> picture, std::int32_t milliseconds) {
    State& s = *state_;
    if (!(s.hasPending && picture == s.pending)) {
        s.flush();
        s.pending = std::move(picture);
        s.hasPending = true;
    }
    s.pendingEnd += std::max(milliseconds, 0);
}

std::vector<std::uint8_t> GifWriter::finish() {
    State& s = *state_;
    s.flush();
    int error = 0;
    const int closed = EGifCloseFile(s.gif, &error);
    s.gif = nullptr;
    if (closed == GIF_ERROR) throw CommandError("GIF: " + gifError(error));
    return std::move(s.bytes);
}

} // namespace tgltool
