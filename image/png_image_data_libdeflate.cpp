#include "image/png_image_data.h"

#include <libdeflate.h>

#include <vector>

namespace imaging {

// The whole stream, inflated at the first call.
struct PngImageData::Inflater {
    const PngLayout& layout;
    std::uint8_t* rows;
    std::size_t size;
    bool tried = false, exact = false;

    void inflateAll() {
        tried = true;
        if (layout.data.empty()) return;
        std::vector<std::uint8_t> joined;
        const std::uint8_t* stream = layout.data[0].first;
        std::size_t length = layout.data[0].second;
        if (layout.data.size() > 1) {
            for (const auto& [bytes, chunkLength] : layout.data)
                joined.insert(joined.end(), bytes, bytes + chunkLength);
            stream = joined.data();
            length = joined.size();
        }
        if (length < 2 || !isZlibHeader(stream[0], stream[1])) return;
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        if (!d) return;
        // With no room for the size it gives, it succeeds only where the stream fills `size`
        // exactly.
        exact = libdeflate_deflate_decompress(d, stream + 2, length - 2, rows, size, nullptr) ==
                LIBDEFLATE_SUCCESS;
        libdeflate_free_decompressor(d);
    }
};

PngImageData::PngImageData(const PngLayout& layout, std::uint8_t* rows, std::size_t size)
    : inflater_(new Inflater{layout, rows, size}) {}

PngImageData::~PngImageData() = default;

bool PngImageData::inflatedUpTo(std::size_t length) {
    if (!inflater_->tried) inflater_->inflateAll();
    return inflater_->exact && length <= inflater_->size;
}

bool PngImageData::endsWhereTheRowsDo() { return inflatedUpTo(inflater_->size); }

} // namespace imaging
