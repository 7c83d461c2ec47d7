// Draws the icon of tglview.svg as PNGs of the hicolor sizes, each pixel the
// coverage of 16 samples: make_icon FOLDER writes FOLDER/NxN.png, and
// FOLDER/tglview.ico for Windows (small sizes as bitmaps, 256 as its PNG),
// and FOLDER/window_icon.inc, the X window's _NET_WM_ICON at 16, 32 and 48.

#include "image/image.h"
#include "platform/file_names.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Shape {
    double x, y, width, height, radius; // in the SVG's 64 x 64 units
    std::uint32_t rgb;
    double opacity;
};

// tglview.svg's shapes, in its order.
const Shape kShapes[] = {{2, 2, 60, 60, 12, 0xE8742C, 1},
                         {8, 20, 14, 24, 3, 0xFFFFFF, 0.55},
                         {25, 16, 14, 32, 3, 0xFFFFFF, 0.8},
                         {42, 12, 14, 40, 3, 0xFFFFFF, 1}};

bool inside(const Shape& s, double x, double y) {
    if (x < s.x || y < s.y || x > s.x + s.width || y > s.y + s.height) return false;
    const double cx = std::fmin(std::fmax(x, s.x + s.radius), s.x + s.width - s.radius);
    const double cy = std::fmin(std::fmax(y, s.y + s.radius), s.y + s.height - s.radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= s.radius * s.radius;
}

// Straight colour over straight colour, channels 0 to 1.
void over(double (&to)[4], const double (&from)[4]) {
    const double a = from[3] + to[3] * (1 - from[3]);
    for (int c = 0; c < 3; ++c)
        to[c] = a > 0 ? (from[c] * from[3] + to[c] * to[3] * (1 - from[3])) / a : 0;
    to[3] = a;
}

void put(std::vector<std::uint8_t>& to, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        to.push_back(std::uint8_t(value >> (8 * i)));
}

// An icon entry as Windows reads it: a 32-bit bitmap, bottom-up, of twice the
// height, then an AND mask of zeros (the alpha decides).
std::vector<std::uint8_t> iconBitmap(const std::vector<std::uint32_t>& argb, int size) {
    std::vector<std::uint8_t> bytes;
    const int maskRow = (size + 31) / 32 * 4;
    put(bytes, 40, 4);
    put(bytes, std::uint32_t(size), 4);
    put(bytes, std::uint32_t(size * 2), 4);
    put(bytes, 1, 2);
    put(bytes, 32, 2);
    put(bytes, 0, 4);
    put(bytes, std::uint32_t(size * size * 4 + maskRow * size), 4);
    for (int i = 0; i < 4; ++i)
        put(bytes, 0, 4);
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x)
            put(bytes, argb[std::size_t(y) * std::size_t(size) + std::size_t(x)], 4);
    bytes.resize(bytes.size() + std::size_t(maskRow * size), 0);
    return bytes;
}

bool writeIcon(const std::string& path, const std::vector<std::vector<std::uint8_t>>& entries,
               const std::vector<int>& sizes) {
    std::vector<std::uint8_t> file;
    put(file, 0, 2);
    put(file, 1, 2); // an icon
    put(file, std::uint32_t(entries.size()), 2);
    std::uint32_t offset = std::uint32_t(6 + 16 * entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        file.push_back(std::uint8_t(sizes[i] & 0xFF)); // 0 is 256
        file.push_back(std::uint8_t(sizes[i] & 0xFF));
        put(file, 0, 2);  // no palette, reserved
        put(file, 1, 2);  // planes
        put(file, 32, 2); // bits
        put(file, std::uint32_t(entries[i].size()), 4);
        put(file, offset, 4);
        offset += std::uint32_t(entries[i].size());
    }
    for (const auto& entry : entries)
        file.insert(file.end(), entry.begin(), entry.end());
    return !filenames::writeWholeFile(path, file);
}

// The icon at size x size, 0xAARRGGBB.
std::vector<std::uint32_t> draw(int size) {
    std::vector<std::uint32_t> pixels(std::size_t(size) * std::size_t(size));
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            double sum[4] = {};
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    const double x = (px + (sx + 0.5) / 4) * 64 / size;
                    const double y = (py + (sy + 0.5) / 4) * 64 / size;
                    double colour[4] = {};
                    for (const Shape& s : kShapes)
                        if (inside(s, x, y))
                            over(colour,
                                 {((s.rgb >> 16) & 0xFF) / 255.0, ((s.rgb >> 8) & 0xFF) / 255.0,
                                  (s.rgb & 0xFF) / 255.0, s.opacity});
                    for (int c = 0; c < 3; ++c)
                        sum[c] += colour[c] * colour[3];
                    sum[3] += colour[3];
                }
            const auto byte = [](double v) {
                return std::uint32_t(std::lround(std::fmin(1.0, std::fmax(0.0, v)) * 255));
            };
            const double a = sum[3] / 16;
            pixels[std::size_t(py) * std::size_t(size) + std::size_t(px)] =
                byte(a) << 24 | (a > 0 ? byte(sum[0] / sum[3]) << 16 | byte(sum[1] / sum[3]) << 8 |
                                             byte(sum[2] / sum[3])
                                       : 0u);
        }
    return pixels;
}

// _NET_WM_ICON's CARDINALs, for an array's initialiser: width, height, pixels.
bool writeWindowIcon(const std::string& path,
                     const std::vector<std::pair<int, std::vector<std::uint32_t>>>& sizes) {
    std::ostringstream out;
    out << "// Drawn by make_icon: _NET_WM_ICON, each size as width, height, 0xAARRGGBB pixels.\n";
    for (const auto& [size, pixels] : sizes) {
        out << size << ", " << size << ",\n";
        for (std::size_t i = 0; i < pixels.size(); ++i)
            out << "0x" << std::hex << pixels[i] << std::dec << (i % 8 == 7 ? ",\n" : ", ");
    }
    const std::string text = out.str();
    return !filenames::writeWholeFile(path, text.data(), text.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::vector<std::vector<std::uint8_t>> iconEntries;
    std::vector<int> iconSizes;
    std::vector<std::pair<int, std::vector<std::uint32_t>>> windowSizes;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::vector<std::uint32_t> pixels = draw(size);
        if (size == 16 || size == 32 || size == 48) windowSizes.emplace_back(size, pixels);
        const std::string path =
            std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size) + ".png";
        const std::vector<std::uint8_t> png = imaging::encodePng(pixels.data(), size, size);
        if (png.empty() || filenames::writeWholeFile(path, png)) return 1;
        if (size <= 48 || size == 256) {
            iconEntries.push_back(size <= 48 ? iconBitmap(pixels, size) : png);
            iconSizes.push_back(size);
        }
    }
    return writeIcon(std::string(argv[1]) + "/tglview.ico", iconEntries, iconSizes) &&
                   writeWindowIcon(std::string(argv[1]) + "/window_icon.inc", windowSizes)
               ? 0
               : 1;
}
