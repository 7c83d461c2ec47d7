#include "tools/common/tga_writer.h"

#include "platform/file_names.h"

namespace tgltools {

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Little-endian ARGB is the file's BGRA.
void putPixel(Bytes& out, std::uint32_t argb) {
    put16(out, argb & 0xFFFF);
    put16(out, argb >> 16);
}

// Runs of equal pixels become run packets, everything else raw packets; no
// packet crosses a row.
void putRunLengthRow(Bytes& out, const std::uint32_t* row, int width) {
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 128 && row[x + run] == row[x])
            ++run;
        if (run > 1) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
            putPixel(out, row[x]);
            x += run;
            continue;
        }
        int raw = 1;
        while (x + raw < width && raw < 128 && row[x + raw] != row[x + raw - 1])
            ++raw;
        if (x + raw < width && raw > 1) --raw; // the last one starts a run
        out.push_back(static_cast<std::uint8_t>(raw - 1));
        for (int i = 0; i < raw; ++i)
            putPixel(out, row[x + i]);
        x += raw;
    }
}

} // namespace

Bytes encodeTga(int width, int height, const std::vector<std::uint32_t>& pixels,
                bool runLengthEncoded) {
    Bytes out;
    out.push_back(0);                         // no image id
    out.push_back(0);                         // no colour map
    out.push_back(runLengthEncoded ? 10 : 2); // true colour
    for (int i = 0; i < 5; ++i)
        out.push_back(0);
    put16(out, 0); // origin
    put16(out, 0);
    put16(out, static_cast<unsigned>(width));
    put16(out, static_cast<unsigned>(height));
    out.push_back(32);
    out.push_back(0x28); // top-left origin, 8 alpha bits
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels.data() + std::size_t(y) * std::size_t(width);
        if (runLengthEncoded) {
            putRunLengthRow(out, row, width);
        } else {
            for (int x = 0; x < width; ++x)
                putPixel(out, row[x]);
        }
    }
    return out;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    return !filenames::writeWholeFile(path, bytes);
}

} // namespace tgltools
