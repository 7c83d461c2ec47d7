#include "qub/drivers/canvas/canvas.h"

#include "image/blend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

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

// The source colour, times the texel when there is one, onto the target pixel.
// A row of a sprite drawn in white, as nearly every quad is: what put gives,
// with opaque and clear texels, the most of any sprite, taken at once.
void putSpriteRow(std::uint32_t* row, const std::uint32_t* texels, const int* columns, int count);

inline void put(std::uint32_t& target, int sa, int sr, int sg, int sb, const std::uint32_t* texel,
                bool alphaBlend) {
    if (texel) {
        sa = multiply(sa, channel(*texel, 24));
        sr = multiply(sr, channel(*texel, 16));
        sg = multiply(sg, channel(*texel, 8));
        sb = multiply(sb, channel(*texel, 0));
    }
    const int da = channel(target, 24), dr = channel(target, 16), dg = channel(target, 8),
              db = channel(target, 0);
    if (alphaBlend) {
        if (sa == 0) return;
        target = sa == 255
                     ? pack(255, sr, sg, sb)
                     : pack(std::min(255, sa + multiply(da, 255 - sa)),
                            imaging::blendChannel(sr, dr, sa), imaging::blendChannel(sg, dg, sa),
                            imaging::blendChannel(sb, db, sa));
    } else {
        target = pack(da, std::min(255, dr + multiply(sr, sa)),
                      std::min(255, dg + multiply(sg, sa)), std::min(255, db + multiply(sb, sa)));
    }
}

// The texel a coordinate (0 to 1 across the texture) falls in, clamped to the
// edges before it becomes an integer, whatever its size.
int texelIndexOf(double coordinate, int size) {
    return int(std::clamp(std::floor(coordinate * double(size)), 0.0, double(size - 1)));
}

// The first pixel whose centre is at or right of (below) a position in 1/256 pixel.
int firstCentreFrom(std::int64_t position) { return int(-((kHalf - position) >> kSubpixelBits)); }

// True for the edges whose own pixels the triangle keeps: its top edge (flat,
// going right) and its left edges (going up), for corners ordered so that the
// area is positive with y pointing down.
bool topLeft(std::int64_t dx, std::int64_t dy) { return dy < 0 || (dy == 0 && dx > 0); }

void putSpriteRow(std::uint32_t* row, const std::uint32_t* texels, const int* columns, int count) {
    for (int x = 0; x < count; ++x) {
        const std::uint32_t texel = texels[columns[x]];
        const std::uint32_t alpha = texel >> 24;
        if (alpha == 255)
            row[x] = texel;
        else if (alpha != 0)
            put(row[x], 255, 255, 255, 255, &texel, true);
    }
}

} // namespace

struct CanvasCorner {
    std::int64_t x = 0, y = 0; // in 1/256 pixel
    float a = 0, r = 0, g = 0, b = 0;
    float u = 0, v = 0;
};

std::uintptr_t CanvasTextures::keep(std::unique_ptr<CanvasTexture> texture) {
    const auto handle = reinterpret_cast<std::uintptr_t>(texture.get());
    textures_.emplace(handle, std::move(texture));
    return handle;
}

std::uintptr_t CanvasTextures::add(int width, int height, const std::uint32_t* argb) {
    try {
        const std::size_t count = std::size_t(width) * std::size_t(height);
        std::vector<std::uint32_t> texels = argb ? std::vector<std::uint32_t>(argb, argb + count)
                                                 : std::vector<std::uint32_t>(count);
        return keep(std::make_unique<CanvasTexture>(width, height, std::move(texels)));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::uintptr_t CanvasTextures::adopt(int width, int height, std::uint32_t* argb,
                                     void (*release)(void* context), void* context) {
    std::unique_ptr<CanvasTexture> texture;
    try {
        texture = std::make_unique<CanvasTexture>();
    } catch (const std::bad_alloc&) {
        if (release) release(context);
        return 0;
    }
    texture->width = width;
    texture->height = height;
    texture->pixels = argb;
    texture->release = release;
    texture->context = context;
    try {
        return keep(std::move(texture));
    } catch (const std::bad_alloc&) {
        return 0; // the texture, freed on the way out, released the pixels
    }
}

const CanvasTexture* CanvasTextures::find(std::uintptr_t texture) const {
    auto found = textures_.find(texture);
    return found == textures_.end() ? nullptr : found->second.get();
}

void CanvasArea::add(const CanvasArea& other) {
    if (other.empty()) return;
    if (empty()) {
        *this = other;
        return;
    }
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
}

bool Canvas::copyTopLeft(std::uint32_t* argb, int width, int height) const {
    if (!argb || width <= 0 || height <= 0 || width > width_ || height > height_) return false;
    for (int y = 0; y < height; ++y)
        std::memcpy(argb + std::size_t(y) * std::size_t(width),
                    pixels_.data() + std::size_t(y) * std::size_t(width_),
                    std::size_t(width) * sizeof(std::uint32_t));
    return true;
}

void Canvas::resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(std::size_t(width_) * std::size_t(height_), 0xFF000000);
    cleared_ = false;
    drawn_ = CanvasArea{};
    changed_ = CanvasArea{0, 0, width_, height_};
}

void Canvas::clear(std::uint32_t argb) {
    const CanvasArea area =
        cleared_ && argb == clearColour_ ? drawn_ : CanvasArea{0, 0, width_, height_};
    for (int y = area.top; y < area.bottom; ++y) {
        std::uint32_t* row = pixels_.data() + std::size_t(y) * std::size_t(width_);
        std::fill(row + area.left, row + area.right, argb);
    }
    changed_.add(area);
    cleared_ = true;
    clearColour_ = argb;
    drawn_ = CanvasArea{};
}

CanvasArea Canvas::takeChanges() {
    const CanvasArea changes = changed_;
    changed_ = CanvasArea{};
    return changes;
}

void Canvas::touched(const CanvasArea& area) {
    drawn_.add(area);
    changed_.add(area);
}

void Canvas::drawQuad(const Quad& quad, const CanvasTexture* texture) {
    CanvasCorner corners[4];
    for (int i = 0; i < 4; ++i) {
        const Vertex& vertex = quad.vertices[i];
        if (!std::isfinite(vertex.x) || !std::isfinite(vertex.y)) return;
        CanvasCorner& corner = corners[i];
        corner.x = std::llround(std::clamp(vertex.x, -kCoordinateLimit, kCoordinateLimit) * kOne);
        corner.y = std::llround(std::clamp(vertex.y, -kCoordinateLimit, kCoordinateLimit) * kOne);
        corner.a = float(channel(vertex.colour, 24));
        corner.r = float(channel(vertex.colour, 16));
        corner.g = float(channel(vertex.colour, 8));
        corner.b = float(channel(vertex.colour, 0));
        corner.u = std::isfinite(vertex.u) ? vertex.u : 0.0f;
        corner.v = std::isfinite(vertex.v) ? vertex.v : 0.0f;
    }
    const bool alphaBlend = (quad.blendMode & kBlendAlpha) != 0;
    if (drawUpright(corners, texture, alphaBlend)) return;
    drawTriangle(corners[0], corners[1], corners[2], texture, alphaBlend);
    drawTriangle(corners[0], corners[2], corners[3], texture, alphaBlend);
}

// The quad of an unturned sprite, much the commonest: an upright rectangle in
// one colour whose texture coordinates follow x and y alone. It covers the
// pixels the two triangles would, with no edge tests and one texel column per x.
bool Canvas::drawUpright(const CanvasCorner (&c)[4], const CanvasTexture* texture,
                         bool alphaBlend) {
    const bool upright = c[0].y == c[1].y && c[2].y == c[3].y && c[0].x == c[3].x &&
                         c[1].x == c[2].x && c[0].x < c[1].x && c[0].y < c[3].y;
    const bool oneColour = std::all_of(c + 1, c + 4, [&](const CanvasCorner& k) {
        return k.a == c[0].a && k.r == c[0].r && k.g == c[0].g && k.b == c[0].b;
    });
    const bool separable =
        c[0].u == c[3].u && c[1].u == c[2].u && c[0].v == c[1].v && c[2].v == c[3].v;
    if (!upright || !oneColour || !separable) return false;

    const int x0 = std::max(0, firstCentreFrom(c[0].x));
    const int x1 = std::min(width_, firstCentreFrom(c[1].x));
    const int y0 = std::max(0, firstCentreFrom(c[0].y));
    const int y1 = std::min(height_, firstCentreFrom(c[3].y));
    if (x0 >= x1 || y0 >= y1) return true;
    touched(CanvasArea{x0, y0, x1, y1});

    // Where a pixel centre falls between the edges, 0 to 1, mapped onto a texel.
    auto texelIndex = [](int pixel, std::int64_t from, std::int64_t to, float t0, float t1,
                         int size) {
        const double along = double(std::int64_t(pixel) * kOne + kHalf - from) / double(to - from);
        const double t = double(t0) + along * double(t1 - t0);
        return texelIndexOf(t, size);
    };
    columns_.clear();
    if (texture)
        for (int x = x0; x < x1; ++x)
            columns_.push_back(texelIndex(x, c[0].x, c[1].x, c[0].u, c[1].u, texture->width));

    const int sa = int(c[0].a), sr = int(c[0].r), sg = int(c[0].g), sb = int(c[0].b);
    const bool plainSprite = texture && alphaBlend && (sa & sr & sg & sb) == 255;
    for (int y = y0; y < y1; ++y) {
        std::uint32_t* row = pixels_.data() + std::size_t(y) * std::size_t(width_);
        const std::uint32_t* texels = nullptr;
        if (texture)
            texels = texture->pixels +
                     std::size_t(texelIndex(y, c[0].y, c[3].y, c[0].v, c[3].v, texture->height)) *
                         std::size_t(texture->width);
        if (plainSprite) {
            putSpriteRow(row + x0, texels, columns_.data(), x1 - x0);
            continue;
        }
        for (int x = x0; x < x1; ++x)
            put(row[x], sa, sr, sg, sb, texels ? texels + columns_[std::size_t(x - x0)] : nullptr,
                alphaBlend);
    }
    return true;
}

namespace {

// An edge function at the centre of a pixel: positive inside, zero on the
// edge; the edge opposite a corner weighs that corner.
struct Edge {
    std::int64_t value, stepX, stepY;
    std::int64_t bias; // top-left rule: pixels on a top or left edge are inside
    bool outside(std::int64_t at) const { return at + bias <= 0; }
};

Edge edgeAt(const CanvasCorner& from, const CanvasCorner& to, int x, int y) {
    const std::int64_t dx = to.x - from.x;
    const std::int64_t dy = to.y - from.y;
    const std::int64_t px = std::int64_t(x) * kOne + kHalf;
    const std::int64_t py = std::int64_t(y) * kOne + kHalf;
    return Edge{dx * (py - from.y) - dy * (px - from.x), -dy * kOne, dx * kOne,
                topLeft(dx, dy) ? 1 : 0};
}

// A triangle's colour and texel at a point, from the corners' weights there.
class TriangleShading {
  public:
    TriangleShading(const CanvasCorner& a, const CanvasCorner& b, const CanvasCorner& c,
                    std::int64_t area, const CanvasTexture* texture)
        : a_(a), b_(b), c_(c), inverseArea_(1.0 / double(area)), texture_(texture),
          flatColour_(a.a == b.a && a.a == c.a && a.r == b.r && a.r == c.r && a.g == b.g &&
                      a.g == c.g && a.b == b.b && a.b == c.b) {}

    void colourAt(double wa, double wb, double wc, int& sa, int& sr, int& sg, int& sb) const {
        if (flatColour_) {
            sa = int(a_.a), sr = int(a_.r), sg = int(a_.g), sb = int(a_.b);
            return;
        }
        sa = int(std::lround(interpolate(wa, wb, wc, &CanvasCorner::a)));
        sr = int(std::lround(interpolate(wa, wb, wc, &CanvasCorner::r)));
        sg = int(std::lround(interpolate(wa, wb, wc, &CanvasCorner::g)));
        sb = int(std::lround(interpolate(wa, wb, wc, &CanvasCorner::b)));
    }

    const std::uint32_t* texelAt(double wa, double wb, double wc) const {
        if (!texture_) return nullptr;
        const int tx = texelIndexOf(interpolate(wa, wb, wc, &CanvasCorner::u), texture_->width);
        const int ty = texelIndexOf(interpolate(wa, wb, wc, &CanvasCorner::v), texture_->height);
        return &texture_->pixels[std::size_t(ty) * std::size_t(texture_->width) + std::size_t(tx)];
    }

  private:
    float interpolate(double wa, double wb, double wc, float CanvasCorner::*field) const {
        return float((wa * (a_.*field) + wb * (b_.*field) + wc * (c_.*field)) * inverseArea_);
    }

    const CanvasCorner a_, b_, c_;
    double inverseArea_;
    const CanvasTexture* texture_;
    bool flatColour_;
};

} // namespace

// The pixels whose centres the triangle covers, wound either way.
void Canvas::drawTriangle(const CanvasCorner& first, const CanvasCorner& second,
                          const CanvasCorner& third, const CanvasTexture* texture,
                          bool alphaBlend) {
    const CanvasCorner* a = &first;
    const CanvasCorner* b = &second;
    const CanvasCorner* c = &third;
    std::int64_t area = (b->x - a->x) * (c->y - a->y) - (b->y - a->y) * (c->x - a->x);
    if (area == 0) return;
    if (area < 0) {
        std::swap(b, c);
        area = -area;
    }
    const int x0 =
        int(std::max<std::int64_t>(0, (std::min({a->x, b->x, c->x}) - kHalf) >> kSubpixelBits));
    const int x1 = int(std::min<std::int64_t>(width_ - 1, (std::max({a->x, b->x, c->x}) - kHalf) >>
                                                              kSubpixelBits));
    const int y0 =
        int(std::max<std::int64_t>(0, (std::min({a->y, b->y, c->y}) - kHalf) >> kSubpixelBits));
    const int y1 = int(std::min<std::int64_t>(height_ - 1, (std::max({a->y, b->y, c->y}) - kHalf) >>
                                                               kSubpixelBits));
    if (x0 > x1 || y0 > y1) return;
    touched(CanvasArea{x0, y0, x1 + 1, y1 + 1});

    Edge weightA = edgeAt(*b, *c, x0, y0), weightB = edgeAt(*c, *a, x0, y0),
         weightC = edgeAt(*a, *b, x0, y0);
    const TriangleShading shading(*a, *b, *c, area, texture);
    for (int y = y0; y <= y1; ++y) {
        std::int64_t ea = weightA.value, eb = weightB.value, ec = weightC.value;
        std::uint32_t* row = pixels_.data() + std::size_t(y) * std::size_t(width_);
        for (int x = x0; x <= x1;
             ++x, ea += weightA.stepX, eb += weightB.stepX, ec += weightC.stepX) {
            if (weightA.outside(ea) || weightB.outside(eb) || weightC.outside(ec)) continue;
            const double wa = double(ea), wb = double(eb), wc = double(ec);
            int sa, sr, sg, sb;
            shading.colourAt(wa, wb, wc, sa, sr, sg, sb);
            put(row[x], sa, sr, sg, sb, shading.texelAt(wa, wb, wc), alphaBlend);
        }
        weightA.value += weightA.stepY;
        weightB.value += weightB.stepY;
        weightC.value += weightC.stepY;
    }
}

} // namespace qub
