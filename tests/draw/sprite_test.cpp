#include "draw/rect.h"
#include "draw/sprite.h"
#include "tests/support/recording_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

class SpriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine.reset();
        engine.textureSizes[7] = {64, 32};
        engine.textureSizes[8] = {128, 32};
        engine.textureSizes[9] = {64, 32};
    }
    void TearDown() override { EXPECT_EQ(engine.references, 0) << "every reference given back"; }

    // Corners of the last drawn quad as x0, y0, x1, y1, ...
    std::vector<float> lastCorners() const {
        std::vector<float> corners;
        for (const Vertex& v : engine.quads.back().vertices) {
            corners.push_back(v.x);
            corners.push_back(v.y);
        }
        return corners;
    }
    static std::vector<float> uvs(const Sprite& s) {
        std::vector<float> out;
        for (const Vertex& v : s.quad().vertices) {
            out.push_back(v.u);
            out.push_back(v.v);
        }
        return out;
    }

    RecordingEngine& engine = RecordingEngine::instance();
};

TEST_F(SpriteTest, NewSpriteDefaults) {
    Sprite s(7, 16, 8, 32, 16);
    EXPECT_EQ(engine.references, 1);
    for (const Vertex& v : s.quad().vertices) {
        EXPECT_EQ(v.colour, 0xFFFFFFFFu);
        EXPECT_EQ(v.z, 0.5f);
    }
    EXPECT_EQ(s.quad().blendMode, 2);
    EXPECT_EQ(s.quad().texture, 7u);
    EXPECT_EQ(s.hotSpotX(), 0);
    EXPECT_EQ(s.hotSpotY(), 0);
    EXPECT_FALSE(s.flippedX());
    EXPECT_FALSE(s.flippedY());
    // Corners 0..3: (left, top), (right, top), (right, bottom), (left, bottom).
    EXPECT_EQ(uvs(s), (std::vector<float>{0.25f, 0.25f, 0.75f, 0.25f, 0.75f, 0.75f, 0.25f, 0.75f}));
    const std::vector<std::string> asked(engine.calls.end() - 2, engine.calls.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"textureWidth(7)", "textureHeight(7)"}))
        << "width first";
}

TEST_F(SpriteTest, TextureZeroGivesPixelCoordinatesWithoutAskingTheEngine) {
    Sprite s(0, 3, 4, 10, 20);
    EXPECT_EQ(uvs(s), (std::vector<float>{3, 4, 13, 4, 13, 24, 3, 24}));
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"qubCreate"}));
}

TEST_F(SpriteTest, RenderPutsTheHotSpotAtThePosition) {
    Sprite s(7, 0, 0, 32, 16);
    s.render(100, 50);
    EXPECT_EQ(lastCorners(), (std::vector<float>{100, 50, 132, 50, 132, 66, 100, 66}));
    s.setHotSpot(4, 2);
    s.render(100, 50);
    EXPECT_EQ(lastCorners(), (std::vector<float>{96, 48, 128, 48, 128, 64, 96, 64}));
    EXPECT_EQ(engine.quads.size(), 2u) << "one drawQuad per draw";
}

TEST_F(SpriteTest, TransformedAtAngleZeroAndScaleOneIsRender) {
    Sprite s(7, 0, 0, 32, 16);
    s.setHotSpot(5, 3);
    s.render(40, 30);
    const auto plain = lastCorners();
    s.renderTransformed(40, 30, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(lastCorners(), plain);
    s.renderTransformed(40, 30, -0.0f, 1.0f, 0.0f);
    EXPECT_EQ(lastCorners(), plain);
}

TEST_F(SpriteTest, TransformedTurnsAboutTheHotSpotWithFloatProducts) {
    Sprite s(7, 0, 0, 32, 16);
    s.setHotSpot(8, 4);
    const float rot = 0.7f;
    s.renderTransformed(200, 100, rot, 2.0f, 0.5f);
    const float c = static_cast<float>(std::cos(static_cast<double>(rot)));
    const float sn = static_cast<float>(std::sin(static_cast<double>(rot)));
    const float a1 = -(8.0f * 2.0f), b1 = -(4.0f * 0.5f), a2 = (32.0f - 8.0f) * 2.0f,
                b2 = (16.0f - 4.0f) * 0.5f;
    auto cx = [&](float a, float b) {
        float p = a * c;
        float q = b * sn;
        return p - q + 200.0f;
    };
    auto cy = [&](float a, float b) {
        float p = a * sn;
        float q = b * c;
        return p + q + 100.0f;
    };
    EXPECT_EQ(lastCorners(), (std::vector<float>{cx(a1, b1), cy(a1, b1), cx(a2, b1), cy(a2, b1),
                                                 cx(a2, b2), cy(a2, b2), cx(a1, b2), cy(a1, b2)}));
}

TEST_F(SpriteTest, VerticalScaleZeroDrawsWithTheHorizontalButBoxesFlat) {
    Sprite s(7, 0, 0, 32, 16);
    s.renderTransformed(0, 0, 0.0f, 2.0f, 0.0f);
    EXPECT_EQ(lastCorners(), (std::vector<float>{0, 0, 64, 0, 64, 32, 0, 32}));

    Rect box(1, 2, 3, 4);
    EXPECT_EQ(s.boundingBoxTransformed(10, 20, 0.0f, 2.0f, 0.0f, &box), &box);
    EXPECT_FALSE(box.empty);
    EXPECT_EQ(box.minX, 10);
    EXPECT_EQ(box.maxX, 74);
    EXPECT_EQ(box.minY, 20);
    EXPECT_EQ(box.maxY, 20) << "zero height";
    EXPECT_EQ(engine.quads.size(), 1u) << "the box draws nothing";
}

TEST_F(SpriteTest, BoundingBoxOfATurnedSpriteHoldsEveryCorner) {
    Sprite s(7, 0, 0, 32, 16);
    Rect box;
    s.boundingBoxTransformed(100, 100, 3.14159265f / 2, 1.0f, 1.0f, &box);
    s.renderTransformed(100, 100, 3.14159265f / 2, 1.0f, 1.0f);
    const auto corners = lastCorners();
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(corners[2 * i], box.minX);
        EXPECT_LE(corners[2 * i], box.maxX);
        EXPECT_GE(corners[2 * i + 1], box.minY);
        EXPECT_LE(corners[2 * i + 1], box.maxY);
    }
    EXPECT_NEAR(box.maxY - box.minY, 32, 1e-4);
}

TEST_F(SpriteTest, StretchedAndCornersDrawWhereTheyAreTold) {
    Sprite s(7, 0, 0, 32, 16);
    s.setHotSpot(3, 3);
    s.renderStretched(1, 2, 30, 40);
    EXPECT_EQ(lastCorners(), (std::vector<float>{1, 2, 30, 2, 30, 40, 1, 40}));
    s.renderCorners(1, 2, 3, 4, 5, 6, 7, 8);
    EXPECT_EQ(lastCorners(), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(SpriteTest, ColourAndDepthForOneCornerOrAll) {
    Sprite s(7, 0, 0, 32, 16);
    s.setColour(0x80FF0000, -1);
    for (const Vertex& v : s.quad().vertices)
        EXPECT_EQ(v.colour, 0x80FF0000u);
    s.setColour(0xFF00FF00, 2);
    EXPECT_EQ(s.quad().vertices[2].colour, 0xFF00FF00u);
    EXPECT_EQ(s.quad().vertices[1].colour, 0x80FF0000u);
    s.setColour(0x12345678, 4);
    s.setColour(0x12345678, -2);
    for (int i : {0, 1, 3})
        EXPECT_EQ(s.quad().vertices[i].colour, 0x80FF0000u);
    s.setZ(0.25f, 0);
    EXPECT_EQ(s.quad().vertices[0].z, 0.25f);
    EXPECT_EQ(s.quad().vertices[1].z, 0.5f);
    s.setZ(0.75f, -1);
    for (const Vertex& v : s.quad().vertices)
        EXPECT_EQ(v.z, 0.75f);
    s.setZ(0.1f, 99);
    s.setBlendMode(0);
    EXPECT_EQ(s.quad().blendMode, 0);
}

TEST_F(SpriteTest, FlippingTwiceTheSameWayChangesNothingMore) {
    Sprite s(7, 16, 8, 32, 16);
    const auto plain = uvs(s);
    s.setFlip(true, false, false);
    const auto mirrored = uvs(s);
    EXPECT_EQ(mirrored, (std::vector<float>{plain[2], plain[3], plain[0], plain[1], plain[6],
                                            plain[7], plain[4], plain[5]}));
    s.setFlip(true, false, false);
    EXPECT_EQ(uvs(s), mirrored);
    s.setFlip(true, true, false);
    EXPECT_EQ(uvs(s), (std::vector<float>{plain[4], plain[5], plain[6], plain[7], plain[0],
                                          plain[1], plain[2], plain[3]}));
    s.setFlip(false, false, false);
    EXPECT_EQ(uvs(s), plain);
}

TEST_F(SpriteTest, TheHotSpotFollowsTheMirroringFromTheNextCallOn) {
    Sprite s(7, 0, 0, 32, 16);
    s.setHotSpot(5, 3);
    s.setFlip(true, false, true);
    EXPECT_TRUE(s.flippedX());
    EXPECT_EQ(s.hotSpotX(), 5) << "the mirroring was off before this call";
    s.setFlip(true, false, false);
    EXPECT_EQ(s.hotSpotX(), 27);
    EXPECT_EQ(s.hotSpotY(), 3);
}

TEST_F(SpriteTest, NewTextureKeepsTheRegionInPixelsAndTheMirroring) {
    Sprite s(7, 16, 8, 32, 16);
    const auto before = uvs(s);
    s.setTexture(9); // same size
    EXPECT_EQ(s.quad().texture, 9u);
    EXPECT_EQ(uvs(s), before);

    s.setFlip(true, false, false);
    const auto mirrored = uvs(s);
    s.setTexture(8); // twice as wide
    const auto wide = uvs(s);
    for (int i = 0; i < 8; i += 2) {
        EXPECT_FLOAT_EQ(wide[i], mirrored[i] / 2);
        EXPECT_FLOAT_EQ(wide[i + 1], mirrored[i + 1]);
    }
    EXPECT_GT(wide[0], wide[2]) << "still mirrored left-right";
    s.setTexture(0);
    EXPECT_FLOAT_EQ(uvs(s)[0], 48.0f) << "pixels again";
}

TEST_F(SpriteTest, NewRegionWhileMirroredStaysMirrored) {
    Sprite s(7, 0, 0, 32, 16);
    s.setFlip(true, false, false);
    s.setTextureRegion(32, 16, 16, 8, false);
    EXPECT_EQ(uvs(s), (std::vector<float>{0.75f, 0.5f, 0.5f, 0.5f, 0.5f, 0.75f, 0.75f, 0.75f}));
    EXPECT_TRUE(s.flippedX());
    EXPECT_EQ(s.width(), 32) << "no adjustSize: the drawn size stays";
    EXPECT_EQ(s.regionX(), 32);
    s.setTextureRegion(0, 0, 16, 8, true);
    EXPECT_EQ(s.width(), 16);
    EXPECT_EQ(s.height(), 8);
}

TEST_F(SpriteTest, EveryCopyHoldsItsOwnEngineReference) {
    auto original = std::make_unique<Sprite>(7, 0, 0, 32, 16);
    original->setHotSpot(2, 2);
    auto copy = std::make_unique<Sprite>(*original);
    EXPECT_EQ(engine.references, 2);
    EXPECT_EQ(copy->hotSpotX(), 2);
    EXPECT_EQ(copy->quad().texture, 7u);
    original.reset();
    EXPECT_EQ(engine.references, 1);
    copy->render(0, 0);
    copy.reset();
}

} // namespace
