#include "qub/drivers/win32/canvas.h"

#include <algorithm>
#include <cmath>

namespace qub {

namespace {

constexpr int kSubpixelBits = 8;
constexpr std::int64_t kOne = std::int64_t{1} << kSubpixelBits;
constexpr std::int64_t kHalf = kOne / 2;
// Far outside any target; keeps the edge products inside 64 bits.
constexpr float kCoordinateLimit = 1 << 20;

int channel(std::uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }

std::uint32_t pack(int a, int r, int g, int b) {
    return std::uint32_t(a) << 24 | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 |
           std::uint32_t(b);
}

int multiply(int x, int y) { return (x * y + 127) / 255; }

// Source over target by the source's alpha; each term rounds, so the sum is held to 255.
int over(int source, int target, int alpha) {
    return std::min(255, multiply(source, alpha) + multiply(target, 255 - alpha));
}

// True for the edges whose own pixels the triangle keeps: its top edge (flat,
// going right) and its left edges (going up), for corners ordered so that the
// area is positive with y pointing down.
bool topLeft(std::int64_t dx, std::int64_t dy) { return dy < 0 || (dy == 0 && dx > 0); }

} // namespace

struct Canvas::Corner {
    std::int64_t x = 0, y = 0; // in 1/256 pixel
    float a = 0, r = 0, g = 0, b = 0;
    float u = 0, v = 0;
};

void Canvas::resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(std::size_t(width_) * std::size_t(height_), 0xFF000000);
}

void Canvas::clear(std::uint32_t argb) { std::fill(pixels_.begin(), pixels_.end(), argb); }

void Canvas::drawQuad(const Quad& quad, const CanvasTexture* texture) {
    Corner corners[4];
    for (int i = 0; i < 4; ++i) {
        const Vertex& vertex = quad.vertices[i];
        if (!std::isfinite(vertex.x) || !std::isfinite(vertex.y)) return;
        Corner& corner = corners[i];
        corner.x = std::llround(std::clamp(vertex.x, -kCoordinateLimit, kCoordinateLimit) * kOne);
        corner.y = std::llround(std::clamp(vertex.y, -kCoordinateLimit, kCoordinateLimit) * kOne);
        corner.a = float(channel(vertex.colour, 24));
        corner.r = float(channel(vertex.colour, 16));
        corner.g = float(channel(vertex.colour, 8));
        corner.b = float(channel(vertex.colour, 0));
        corner.u = std::isfinite(vertex.u) ? vertex.u : 0.0f;
        corner.v = std::isfinite(vertex.v) ? vertex.v : 0.0f;
    }
    const bool alphaBlend = (quad.blendMode & 2) != 0;
    drawTriangle(corners[0], corners[1], corners[2], texture, alphaBlend);
    drawTriangle(corners[0], corners[2], corners[3], texture, alphaBlend);
}

void Canvas::drawTriangle(const Corner& first, const Corner& second, const Corner& third,
                          const CanvasTexture* texture, bool alphaBlend) {
    const Corner* a = &first;
    const Corner* b = &second;
    const Corner* c = &third;
    std::int64_t area = (b->x - a->x) * (c->y - a->y) - (b->y - a->y) * (c->x - a->x);
    if (area == 0) return;
    if (area < 0) {
        std::swap(b, c);
        area = -area;
    }

    const std::int64_t left = std::min({a->x, b->x, c->x});
    const std::int64_t right = std::max({a->x, b->x, c->x});
    const std::int64_t top = std::min({a->y, b->y, c->y});
    const std::int64_t bottom = std::max({a->y, b->y, c->y});
    const int x0 = int(std::max<std::int64_t>(0, (left - kHalf) >> kSubpixelBits));
    const int x1 = int(std::min<std::int64_t>(width_ - 1, (right - kHalf) >> kSubpixelBits));
    const int y0 = int(std::max<std::int64_t>(0, (top - kHalf) >> kSubpixelBits));
    const int y1 = int(std::min<std::int64_t>(height_ - 1, (bottom - kHalf) >> kSubpixelBits));
    if (x0 > x1 || y0 > y1) return;

    // Edge functions at the centre of pixel (x0, y0), each positive inside and
    // zero on its edge; the edge opposite a corner weighs that corner.
    struct Edge {
        std::int64_t value, stepX, stepY;
        std::int64_t bias;
    };
    auto edge = [&](const Corner& from, const Corner& to) {
        const std::int64_t dx = to.x - from.x;
        const std::int64_t dy = to.y - from.y;
        const std::int64_t px = std::int64_t(x0) * kOne + kHalf;
        const std::int64_t py = std::int64_t(y0) * kOne + kHalf;
        return Edge{dx * (py - from.y) - dy * (px - from.x), -dy * kOne, dx * kOne,
                    topLeft(dx, dy) ? 1 : 0};
    };
    Edge weightA = edge(*b, *c);
    Edge weightB = edge(*c, *a);
    Edge weightC = edge(*a, *b);

    const double inverseArea = 1.0 / double(area);
    auto interpolate = [&](double wa, double wb, double wc, float Corner::*field) {
        return float((wa * (a->*field) + wb * (b->*field) + wc * (c->*field)) * inverseArea);
    };
    const bool flatColour = a->a == b->a && a->a == c->a && a->r == b->r && a->r == c->r &&
                            a->g == b->g && a->g == c->g && a->b == b->b && a->b == c->b;

    for (int y = y0; y <= y1; ++y) {
        std::int64_t ea = weightA.value, eb = weightB.value, ec = weightC.value;
        std::uint32_t* row = pixels_.data() + std::size_t(y) * std::size_t(width_);
        for (int x = x0; x <= x1;
             ++x, ea += weightA.stepX, eb += weightB.stepX, ec += weightC.stepX) {
            if (ea + weightA.bias <= 0 || eb + weightB.bias <= 0 || ec + weightC.bias <= 0)
                continue;
            const double wa = double(ea), wb = double(eb), wc = double(ec);
            int sa, sr, sg, sb;
            if (flatColour) {
                sa = int(a->a), sr = int(a->r), sg = int(a->g), sb = int(a->b);
            } else {
                sa = int(std::lround(interpolate(wa, wb, wc, &Corner::a)));
                sr = int(std::lround(interpolate(wa, wb, wc, &Corner::r)));
                sg = int(std::lround(interpolate(wa, wb, wc, &Corner::g)));
                sb = int(std::lround(interpolate(wa, wb, wc, &Corner::b)));
            }
            if (texture) {
                const float u = interpolate(wa, wb, wc, &Corner::u);
                const float v = interpolate(wa, wb, wc, &Corner::v);
                const int tx =
                    std::clamp(int(std::floor(u * float(texture->width))), 0, texture->width - 1);
                const int ty =
                    std::clamp(int(std::floor(v * float(texture->height))), 0, texture->height - 1);
                const std::uint32_t texel =
                    texture
                        ->pixels[std::size_t(ty) * std::size_t(texture->width) + std::size_t(tx)];
                sa = multiply(sa, channel(texel, 24));
                sr = multiply(sr, channel(texel, 16));
                sg = multiply(sg, channel(texel, 8));
                sb = multiply(sb, channel(texel, 0));
            }
            const std::uint32_t target = row[x];
            const int da = channel(target, 24), dr = channel(target, 16), dg = channel(target, 8),
                      db = channel(target, 0);
            if (alphaBlend) {
                if (sa == 0) continue;
                row[x] = pack(std::min(255, sa + multiply(da, 255 - sa)), over(sr, dr, sa),
                              over(sg, dg, sa), over(sb, db, sa));
            } else {
                row[x] = pack(da, std::min(255, dr + multiply(sr, sa)),
                              std::min(255, dg + multiply(sg, sa)),
                              std::min(255, db + multiply(sb, sa)));
            }
        }
        weightA.value += weightA.stepY;
        weightB.value += weightB.stepY;
        weightC.value += weightC.stepY;
    }
}

} // namespace qub
