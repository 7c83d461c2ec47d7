// Writes the sample animation "stand_1.tgl": a small creature bouncing and
// waving, twelve 32-bit TGA frames with alpha, each drawn at its own position
// for its own time.
//
//   make_animation OUTPUT_FOLDER

#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 12;
constexpr int kWidth = 96;
constexpr int kHeight = 112;
constexpr double kPi = 3.14159265358979323846;

// Straight-alpha drawing with soft edges, enough for a few round shapes.
class Canvas {
  public:
    Canvas(int width, int height)
        : width_(width), height_(height), pixels_(std::size_t(width * height), 0) {}

    // Everything within `radius` of the segment (x0, y0)-(x1, y1); a disc when
    // the ends meet.
    void capsule(double x0, double y0, double x1, double y1, double radius, std::uint32_t argb) {
        paint(
            [&](double x, double y) {
                const double dx = x1 - x0, dy = y1 - y0;
                const double len2 = dx * dx + dy * dy;
                const double t =
                    len2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0, 1.0) : 0.0;
                return radius - std::hypot(x - (x0 + t * dx), y - (y0 + t * dy));
            },
            argb);
    }
    void ellipse(double cx, double cy, double rx, double ry, std::uint32_t argb) {
        paint(
            [&](double x, double y) {
                const double nx = (x - cx) / rx, ny = (y - cy) / ry;
                return (1.0 - std::sqrt(nx * nx + ny * ny)) * std::min(rx, ry);
            },
            argb);
    }

    const std::vector<std::uint32_t>& pixels() const { return pixels_; }

  private:
    // `inside` gives the signed distance to the shape's edge, positive inside.
    template <typename Inside> void paint(Inside inside, std::uint32_t argb) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const double coverage = std::clamp(inside(x + 0.5, y + 0.5) + 0.5, 0.0, 1.0);
                if (coverage > 0) over(pixels_[std::size_t(y * width_ + x)], argb, coverage);
            }
    }
    static void over(std::uint32_t& dst, std::uint32_t src, double coverage) {
        const double sa = ((src >> 24) / 255.0) * coverage;
        const double da = (dst >> 24) / 255.0;
        const double oa = sa + da * (1 - sa);
        std::uint32_t out = static_cast<std::uint32_t>(std::lround(oa * 255)) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const double s = ((src >> shift) & 0xFF) / 255.0;
            const double d = ((dst >> shift) & 0xFF) / 255.0;
            const double o = oa > 0 ? (s * sa + d * da * (1 - sa)) / oa : 0;
            out |= static_cast<std::uint32_t>(std::lround(o * 255)) << shift;
        }
        dst = out;
    }

    int width_;
    int height_;
    std::vector<std::uint32_t> pixels_;
};

std::vector<std::uint32_t> drawFrame(double phase) {
    Canvas c(kWidth, kHeight);
    const double lift = std::fabs(std::sin(phase));
    const double squash = (1 - lift) * 5;
    const double wave = 0.6 + 0.7 * std::sin(2 * phase);
    const std::uint32_t outline = 0xFF5A2A10, body = 0xFFF08A30, belly = 0xFFFFC07A;

    c.ellipse(48, 106, 26 - lift * 8, 4, 0x50000000); // shadow, smaller as it rises
    c.ellipse(34, 96, 10, 6, outline);                // feet
    c.ellipse(62, 96, 10, 6, outline);
    const double armX = 76 + std::cos(wave) * 16, armY = 58 - std::sin(wave) * 16;
    c.capsule(70, 62, armX, armY, 6, outline); // waving arm
    c.capsule(70, 62, armX, armY, 4, body);
    c.capsule(24, 64, 16, 78, 6, outline); // resting arm
    c.capsule(24, 64, 16, 78, 4, body);
    c.ellipse(48, 60 + squash, 31, 35 - squash, outline);
    c.ellipse(48, 60 + squash, 28, 32 - squash, body);
    c.ellipse(48, 72 + squash, 16, 14 - squash / 2, belly);
    const double look = std::sin(phase) * 2;
    for (double eyeX : {38.0, 58.0}) {
        c.ellipse(eyeX, 48 + squash, 7, 8, 0xFFFFFFFF);
        c.ellipse(eyeX + look, 49 + squash, 3.5, 4, 0xFF202020);
    }
    c.ellipse(48, 64 + squash, 6, 3 + lift * 2, 0xFF7A2010); // mouth
    return c.pixels();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_animation OUTPUT_FOLDER\n");
        return 1;
    }
    tgltools::TglWriter writer;
    writer.perFrameDurations(true).defaultDuration(100);
    for (int i = 0; i < kFrames; ++i) {
        const double phase = kPi * i / kFrames; // one bounce per loop
        tgltools::TglFrame frame;
        frame.x = 352 + static_cast<int>(std::lround(std::sin(2 * phase) * 12));
        frame.y = 250 - static_cast<int>(std::lround(std::sin(phase) * 40));
        frame.duration =
            60 +
            static_cast<int>(std::lround(std::pow(std::sin(phase), 4) * 100)); // hangs at the top
        writer.frame(frame);
        writer.image(tgltools::encodeTga(kWidth, kHeight, drawFrame(phase), i % 2 == 1));
    }
    const std::string path = std::string(argv[1]) + "/stand_1.tgl";
    if (!tgltools::writeFile(path, writer.build())) {
        std::fprintf(stderr, "make_animation: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
