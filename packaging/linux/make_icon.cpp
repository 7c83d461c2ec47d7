// Draws the icon of tglview.svg as PNGs of the hicolor sizes, each pixel the
// coverage of 16 samples: make_icon FOLDER writes FOLDER/NxN.png.

#include "image/image.h"

#include <cmath>
#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
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
                    byte(a) << 24 | (a > 0 ? byte(sum[0] / sum[3]) << 16 |
                                                 byte(sum[1] / sum[3]) << 8 | byte(sum[2] / sum[3])
                                           : 0u);
            }
        const std::string path =
            std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size) + ".png";
        if (!imaging::writePngFile(path.c_str(), pixels.data(), size, size)) return 1;
    }
    return 0;
}
