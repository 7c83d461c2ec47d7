#include "image/bmp_header.h"

namespace imaging {

bool readBmpHeader(const ByteReader& b, BmpHeader& header) {
    constexpr std::size_t info = BmpHeader::kFileHeaderBytes;
    if (b.size() < info + 12 || !b.holds(0, "BM", 2)) return false;
    header.infoSize = b.le32(info);
    header.pixelOffset = b.le32(10);
    if (header.core()) {
        header.width = b.le16(info + 4);
        header.height = b.le16(info + 6);
        header.bits = b.le16(info + 10);
        header.compression = kBmpRgb;
        return true;
    }
    if (header.infoSize < 16) return false;
    header.width = static_cast<std::int32_t>(b.le32(info + 4));
    header.height = static_cast<std::int32_t>(b.le32(info + 8));
    header.bits = b.le16(info + 14);
    header.compression = header.infoSize >= 20 ? b.le32(info + 16) : kBmpRgb;
    header.paletteUsed = header.infoSize >= 36 ? b.le32(info + 32) : 0;
    return true;
}

} // namespace imaging
