#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "tests/qub/headless_engine.h"
#include "tests/support/image_files.h"

namespace {

class EngineDrawing : public HeadlessEngine {
  protected:
    TextureHandle load(const testimg::Image& image) {
        auto bytes = testimg::tga(image, false);
        TextureHandle handle = engine->loadTexture(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::uint32_t>(bytes.size()), false);
        EXPECT_NE(handle, 0u);
        return handle;
    }
    void beginWith(std::uint32_t clearColour) {
        ASSERT_TRUE(engine->beginScene(0));
        engine->clearScreen(clearColour);
    }
};

TEST_F(EngineDrawing, ClearFillsTheFrameWithTheArgbColour) {
    beginWith(0xFF123456);
    auto pixels = frame();
    EXPECT_EQ(pixel(pixels, 0, 0), 0xFF123456u);
    EXPECT_EQ(pixel(pixels, 799, 599), 0xFF123456u);
    engine->endScene();
}

TEST_F(EngineDrawing, QuadAtWholePixelsCoversExactlyThosePixels) {
    auto image = testimg::pattern(32, 16, false);
    TextureHandle texture = load(image);
    beginWith(0xFFFFFFFF);
    Quad quad = quadAt(100, 50, 32, 16, texture);
    engine->drawQuad(&quad);
    auto pixels = frame();
    engine->endScene();

    for (int y = 45; y < 71; ++y)
        for (int x = 95; x < 137; ++x) {
            bool inside = x >= 100 && x < 132 && y >= 50 && y < 66;
            std::uint32_t expected = inside ? image.at(x - 100, y - 50) : 0xFFFFFFFFu;
            ASSERT_EQ(pixel(pixels, x, y), expected) << "at " << x << "," << y;
        }
}

TEST_F(EngineDrawing, VertexColourMultipliesTheTexture) {
    TextureHandle texture = load(testimg::solid(8, 8, 0xFFFFFFFF));
    beginWith(0xFF000000);
    Quad quad = quadAt(10, 10, 8, 8, texture, 0xFF804020);
    engine->drawQuad(&quad);
    EXPECT_TRUE(colourNear(pixel(frame(), 12, 12), 0xFF804020, 1));
    engine->endScene();
}

TEST_F(EngineDrawing, BlendModeBitOneBlendsByAlphaOtherwiseAdds) {
    TextureHandle halfRed = load(testimg::solid(8, 8, 0x80FF0000));
    TextureHandle blue = load(testimg::solid(8, 8, 0xFF000064));
    beginWith(0xFF323232);
    Quad blended = quadAt(0, 0, 8, 8, halfRed, 0xFFFFFFFF, 2);
    Quad added = quadAt(20, 0, 8, 8, blue, 0xFFFFFFFF, 0);
    engine->drawQuad(&blended);
    engine->drawQuad(&added);
    auto pixels = frame();
    engine->endScene();

    // 0x32 + (0xFF - 0x32) * 128/255 in red, 0x32 * 127/255 in the others.
    EXPECT_TRUE(colourNear(pixel(pixels, 4, 4), 0xFF981919, 2));
    EXPECT_TRUE(colourNear(pixel(pixels, 24, 4), 0xFF323296, 1));
}

TEST_F(EngineDrawing, TextureZeroDrawsTheVertexColours) {
    beginWith(0xFFFFFFFF);
    Quad quad = quadAt(300, 200, 10, 5, 0, 0xFF00FF00);
    engine->drawQuad(&quad);
    auto pixels = frame();
    engine->endScene();
    EXPECT_EQ(pixel(pixels, 300, 200), 0xFF00FF00u);
    EXPECT_EQ(pixel(pixels, 309, 204), 0xFF00FF00u);
    EXPECT_EQ(pixel(pixels, 310, 204), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(pixels, 309, 205), 0xFFFFFFFFu);
}

TEST_F(EngineDrawing, FreedOrUnknownTexturesDrawNothing) {
    TextureHandle texture = load(testimg::solid(8, 8, 0xFF000000));
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), 1);
    engine->freeTexture(texture);
    engine->freeTexture(texture);
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), 0);
    EXPECT_EQ(engine->textureWidth(texture, false), 0);

    beginWith(0xFFFFFFFF);
    Quad freed = quadAt(0, 0, 8, 8, texture);
    Quad unknown = quadAt(10, 0, 8, 8, 0xDEADBEEF);
    engine->drawQuad(&freed);
    engine->drawQuad(&unknown);
    engine->drawQuad(nullptr);
    auto pixels = frame();
    engine->endScene();
    EXPECT_EQ(pixel(pixels, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(pixels, 14, 4), 0xFFFFFFFFu);
}

TEST_F(EngineDrawing, OnlyTheScreenIsATargetAndReadsStayInside) {
    EXPECT_FALSE(engine->beginScene(1));
    beginWith(0xFFFFFFFF);
    std::vector<std::uint32_t> big(801 * 600);
    EXPECT_FALSE(engine->extensions()->readBackBuffer(big.data(), 801, 600));
    EXPECT_FALSE(engine->extensions()->readBackBuffer(big.data(), 0, 1));
    EXPECT_FALSE(engine->extensions()->readBackBuffer(nullptr, 1, 1));
    engine->endScene();
}

} // namespace
