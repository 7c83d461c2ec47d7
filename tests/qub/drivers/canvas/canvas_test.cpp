#include "qub/drivers/canvas/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using qub::Canvas;
using qub::CanvasTexture;

constexpr std::int32_t kAlphaBlend = 2;
constexpr std::int32_t kAdditive = 0;

// Corners (left, top), (right, top), (right, bottom), (left, bottom), as a sprite makes them.
Quad quad(const float (&x)[4], const float (&y)[4], std::uint32_t colour, std::int32_t blend) {
    Quad q{};
    const float u[4] = {0, 1, 1, 0}, v[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i)
        q.vertices[i] = Vertex{x[i], y[i], 0.5f, colour, u[i], v[i]};
    q.blendMode = blend;
    return q;
}

Quad box(float left, float top, float right, float bottom, std::uint32_t colour,
         std::int32_t blend = kAlphaBlend) {
    return quad({left, right, right, left}, {top, top, bottom, bottom}, colour, blend);
}

std::uint32_t at(const Canvas& canvas, int x, int y) {
    return canvas.pixels()[y * canvas.width() + x];
}

int count(const Canvas& canvas, std::uint32_t argb) {
    int n = 0;
    for (int i = 0; i < canvas.width() * canvas.height(); ++i)
        n += canvas.pixels()[i] == argb;
    return n;
}

// The same rectangle with its corners listed from the second one: drawn as two
// general triangles rather than as an upright sprite.
Quad turnedCorners(const Quad& upright) {
    Quad q = upright;
    for (int i = 0; i < 4; ++i)
        q.vertices[i] = upright.vertices[(i + 1) % 4];
    return q;
}

TEST(Canvas, ATextureLandsTexelForPixelAtItsPositionByEitherPath) {
    const CanvasTexture texture{
        3, 2, {0xFF000001, 0xFF000002, 0xFF000003, 0x80000004, 0xFF000005, 0x00000006}};
    for (bool general : {false, true}) {
        SCOPED_TRACE(general ? "two triangles" : "upright");
        Canvas canvas;
        canvas.resize(16, 12);
        canvas.clear(0xFFFFFFFF);
        const Quad sprite = box(5, 4, 8, 6, 0xFFFFFFFF);
        canvas.drawQuad(general ? turnedCorners(sprite) : sprite, &texture);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                std::uint32_t expected = 0xFFFFFFFF;
                if (x >= 5 && x < 8 && y >= 4 && y < 6) {
                    const std::uint32_t texel = texture.pixels[std::size_t((y - 4) * 3 + x - 5)];
                    expected = texel >> 24 == 0xFF ? texel
                               : texel >> 24 == 0  ? 0xFFFFFFFF
                                                   : 0xFF7F7F81;
                }
                EXPECT_EQ(at(canvas, x, y), expected) << x << "," << y;
            }
    }
}

TEST(Canvas, NoPixelIsBlendedTwiceAlongTheDiagonalOrBetweenNeighbours) {
    Canvas canvas;
    canvas.resize(32, 32);
    canvas.clear(0xFFFFFFFF);
    // Two half-transparent quads that share an edge at a fractional x.
    canvas.drawQuad(box(1.3f, 2.7f, 13.6f, 29.2f, 0x80FF0000), nullptr);
    canvas.drawQuad(box(13.6f, 2.7f, 30.1f, 29.2f, 0x80FF0000), nullptr);
    // Pixel centres 1.5 .. 29.5 across, 3.5 .. 28.5 down: 29 x 26, each blended once.
    EXPECT_EQ(count(canvas, 0xFFFF7F7F), 29 * 26);
    EXPECT_EQ(count(canvas, 0xFFFFFFFF), 32 * 32 - 29 * 26);
}

TEST(Canvas, AdditiveBlendingAddsAndTheColourMultipliesTheTexture) {
    Canvas canvas;
    canvas.resize(4, 4);
    canvas.clear(0xFF404040);
    canvas.drawQuad(box(0, 0, 2, 4, 0x80FF0000, kAdditive), nullptr);
    EXPECT_EQ(at(canvas, 1, 1), 0xFFC04040u);
    EXPECT_EQ(at(canvas, 3, 1), 0xFF404040u);

    const CanvasTexture grey{1, 1, {0xFF808080}};
    canvas.drawQuad(box(2, 0, 4, 4, 0xFFFF0080), &grey);
    EXPECT_EQ(at(canvas, 3, 3), 0xFF800040u);
}

TEST(Canvas, ATurnedQuadCoversItsAreaAndWildCornersAreSafe) {
    Canvas canvas;
    canvas.resize(64, 64);
    canvas.clear(0xFFFFFFFF);
    const float r = 20 / std::sqrt(2.0f); // a 20 x 20 square turned by 45 degrees
    canvas.drawQuad(quad({32, 32 + r, 32, 32 - r}, {32 - r, 32, 32 + r, 32}, 0xFF000000, 2),
                    nullptr);
    EXPECT_EQ(count(canvas, 0xFF000000), 420) << "pixel centres inside the diamond";

    canvas.clear(0xFFFFFFFF);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    canvas.drawQuad(box(nan, 0, 10, 10, 0xFF000000), nullptr);
    EXPECT_EQ(count(canvas, 0xFFFFFFFF), 64 * 64);
    canvas.drawQuad(box(-1e30f, -1e30f, 1e30f, 1e30f, 0xFF000000), nullptr);
    EXPECT_EQ(count(canvas, 0xFF000000), 64 * 64);

    // Texture coordinates far outside 0 to 1 clamp to the edge texels.
    const CanvasTexture two{2, 1, {0xFF0000FF, 0xFF00FF00}};
    Quad far = box(0, 0, 64, 64, 0xFFFFFFFF);
    for (Vertex& corner : far.vertices)
        corner.u = corner.u > 0 ? 1e30f : -1e30f;
    for (const Quad& q : {far, turnedCorners(far)}) {
        canvas.drawQuad(q, &two);
        EXPECT_EQ(count(canvas, 0xFF0000FF) + count(canvas, 0xFF00FF00), 64 * 64);
    }
}

TEST(Canvas, ClearingAgainLeavesNothingBehindAndTheChangesCoverWhatMoved) {
    Canvas canvas;
    canvas.resize(40, 30);
    canvas.clear(0xFFFFFFFF);
    canvas.takeChanges();
    canvas.drawQuad(box(2, 3, 12, 9, 0xFF102030), nullptr);
    canvas.clear(0xFFFFFFFF);
    canvas.drawQuad(box(20, 10, 25, 30, 0xFF102030), nullptr);
    const qub::CanvasArea changes = canvas.takeChanges();
    EXPECT_EQ(count(canvas, 0xFF102030), 5 * 20) << "the first quad was cleared away";
    EXPECT_EQ((std::vector<int>{changes.left, changes.top, changes.right, changes.bottom}),
              (std::vector<int>{2, 3, 25, 30}));

    canvas.clear(0xFF000000); // another colour: every pixel
    EXPECT_EQ(count(canvas, 0xFF000000), 40 * 30);
    EXPECT_EQ(canvas.takeChanges().right, 40);
    EXPECT_TRUE(canvas.takeChanges().empty());
}

} // namespace
