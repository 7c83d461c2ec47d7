#include "image/png_image_data.h"

#include <zlib.h>

namespace imaging {

struct PngImageData::Inflater {
    const PngLayout& layout;
    std::uint8_t* rows;
    std::size_t size, inflated = 0;
    z_stream z{};
    bool started = false, ended = false;
    std::size_t chunk = 0, offset = 0; // the first byte not yet read

    Inflater(const PngLayout& l, std::uint8_t* r, std::size_t s) : layout(l), rows(r), size(s) {
        const std::uint32_t method = nextByte(), flags = nextByte();
        started = isZlibHeader(method, flags) && inflateInit2(&z, -15) == Z_OK;
    }
    ~Inflater() {
        if (started) inflateEnd(&z);
    }

    // Inflates into `out` until it is full or the stream ends.
    bool fill(std::uint8_t* out, std::size_t length) {
        z.next_out = out;
        z.avail_out = uInt(length);
        while (z.avail_out > 0 && !ended) {
            if (z.avail_in == 0 && !nextInput()) return false;
            const int result = inflate(&z, Z_NO_FLUSH);
            ended = result == Z_STREAM_END;
            if (result != Z_OK && !ended) return false;
        }
        return true;
    }

    // The unread rest of the current chunk handed to zlib; false at the data's end.
    bool nextInput() {
        if (!skipReadChunks()) return false;
        const auto& [bytes, length] = layout.data[chunk];
        z.next_in = const_cast<Bytef*>(bytes + offset);
        z.avail_in = uInt(length - offset);
        offset = length;
        return true;
    }

    std::uint32_t nextByte() { return skipReadChunks() ? layout.data[chunk].first[offset++] : 0; }

    bool skipReadChunks() {
        while (chunk < layout.data.size() && offset == layout.data[chunk].second) {
            ++chunk;
            offset = 0;
        }
        return chunk < layout.data.size();
    }
};

PngImageData::PngImageData(const PngLayout& layout, std::uint8_t* rows, std::size_t size)
    : inflater_(std::make_unique<Inflater>(layout, rows, size)) {}

PngImageData::~PngImageData() = default;

bool PngImageData::inflatedUpTo(std::size_t length) {
    Inflater& in = *inflater_;
    if (length > in.size || !in.started) return false;
    if (length <= in.inflated) return true;
    if (!in.fill(in.rows + in.inflated, length - in.inflated)) return false;
    in.inflated = length - in.z.avail_out;
    return in.z.avail_out == 0;
}

bool PngImageData::endsWhereTheRowsDo() {
    std::uint8_t extra = 0;
    return inflatedUpTo(inflater_->size) && inflater_->fill(&extra, 1) && inflater_->ended &&
           inflater_->z.avail_out == 1;
}

} // namespace imaging
