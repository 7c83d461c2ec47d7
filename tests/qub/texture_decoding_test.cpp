#include "engine/engine_test_hooks.h"
#include "tests/qub/headless_engine.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <string>

namespace {

using testimg::Bytes;
using testimg::Image;

// The software renderer blends with shifts, a few steps off exact rounding.
constexpr int kBlendTolerance = 4;

class TextureDecoding : public HeadlessEngine {
  protected:
    TextureHandle fromMemory(const Bytes& bytes) {
        return engine->loadTexture(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<std::uint32_t>(bytes.size()), false);
    }

    // Draws the texture 1:1 over `background` and compares with the image
    // composited the same way.
    void expectPixels(TextureHandle texture, const Image& image, std::uint32_t background,
                      int tolerance) {
        ASSERT_NE(texture, 0u);
        ASSERT_EQ(engine->textureWidth(texture, false), image.width);
        ASSERT_EQ(engine->textureHeight(texture, false), image.height);
        ASSERT_TRUE(engine->beginScene(0));
        engine->clearScreen(background);
        Quad quad = quadAt(0, 0, static_cast<float>(image.width), static_cast<float>(image.height),
                           texture);
        engine->drawQuad(&quad);
        auto pixels = frame();
        engine->endScene();
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                ASSERT_TRUE(
                    colourNear(pixel(pixels, x, y), over(image.at(x, y), background), tolerance))
                    << "at " << x << "," << y;
    }

    static std::uint32_t over(std::uint32_t source, std::uint32_t background) {
        std::uint32_t alpha = source >> 24;
        std::uint32_t result = 0xFF000000;
        for (int shift = 0; shift < 24; shift += 8) {
            std::uint32_t s = (source >> shift) & 0xFF;
            std::uint32_t d = (background >> shift) & 0xFF;
            result |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
        }
        return result;
    }
};

TEST_F(TextureDecoding, UncompressedTgaWithAlpha) {
    Image image = testimg::pattern(13, 7, true);
    expectPixels(fromMemory(testimg::tga(image, false)), image, 0xFFFFFFFF, kBlendTolerance);
}

TEST_F(TextureDecoding, RunLengthEncodedTgaWithAlpha) {
    Image image = testimg::pattern(20, 6, true);
    for (int x = 3; x < 15; ++x)
        image.pixels[static_cast<std::size_t>(2 * 20 + x)] = 0x40FF00FF; // a long run
    Bytes rle = testimg::tga(image, true);
    EXPECT_LT(rle.size(), testimg::tga(image, false).size());
    expectPixels(fromMemory(rle), image, 0xFF000000, kBlendTolerance);
}

TEST_F(TextureDecoding, Bmp24) {
    Image image = testimg::pattern(7, 5, false); // 21-byte rows: padded
    expectPixels(fromMemory(testimg::bmp24(image)), image, 0xFFFFFFFF, 0);
}

TEST_F(TextureDecoding, Bmp32WithAlpha) {
    Image image = testimg::pattern(9, 4, true);
    expectPixels(fromMemory(testimg::bmp32(image)), image, 0xFFFFFFFF, kBlendTolerance);
}

TEST_F(TextureDecoding, PngWithAlpha) {
    Image image = testimg::pattern(16, 9, true);
    expectPixels(fromMemory(testimg::png(image)), image, 0xFFFFFFFF, kBlendTolerance);
}

TEST_F(TextureDecoding, Jpeg) {
    Image image = testimg::solid(16, 16, 0xFF3080C0);
    expectPixels(fromMemory(testimg::jpeg(image, 95)), image, 0xFFFFFFFF, 6);
}

TEST_F(TextureDecoding, FromFileByName) {
    TempDir dir;
    Image image = testimg::pattern(6, 3, true);
    testimg::writeFile(dir.file("frame.tga"), testimg::tga(image, false));
    testimg::writeFile(dir.file("no_extension"), testimg::tga(image, true));
    testimg::writeFile(dir.file("picture.png"), testimg::png(image));
    expectPixels(engine->loadTexture(dir.file("frame.tga").c_str(), 0, false), image, 0xFFFFFFFF,
                 kBlendTolerance);
    expectPixels(engine->loadTexture(dir.file("no_extension").c_str(), 0, false), image, 0xFFFFFFFF,
                 kBlendTolerance);
    expectPixels(engine->loadTexture(dir.file("picture.png").c_str(), 0, true), image, 0xFFFFFFFF,
                 kBlendTolerance);
    EXPECT_EQ(engine->loadTexture(dir.file("missing.png").c_str(), 0, false), 0u);
    EXPECT_EQ(engine->loadTexture(dir.path().string().c_str(), 0, false), 0u);
}

TEST_F(TextureDecoding, AnythingUndecodableGivesZero) {
    Bytes garbage;
    for (int i = 0; i < 300; ++i)
        garbage.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    EXPECT_EQ(fromMemory(garbage), 0u);

    Bytes png = testimg::png(testimg::pattern(16, 16, true));
    png.resize(png.size() / 2);
    EXPECT_EQ(fromMemory(png), 0u);

    EXPECT_EQ(engine->loadTexture(nullptr, 10, false), 0u);
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), 0);
}

TEST_F(TextureDecoding, TgaCutShortKeepsItsSizeWithTheMissingPixelsTransparent) {
    Image image = testimg::solid(4, 4, 0xFF0000FF);
    Bytes tga = testimg::tga(image, false);
    tga.resize(18 + 6 * 4); // header and six pixels
    for (std::size_t i = 6; i < image.pixels.size(); ++i)
        image.pixels[i] = 0;
    expectPixels(fromMemory(tga), image, 0xFFFFFFFF, 0);
}

TEST_F(TextureDecoding, ImagesWiderThanTheLimitAreRefused) {
    EXPECT_EQ(fromMemory(testimg::tga(testimg::solid(16385, 1, 0xFFFFFFFF), false)), 0u);
    EXPECT_NE(fromMemory(testimg::tga(testimg::solid(16384, 1, 0xFFFFFFFF), false)), 0u);
}

TEST_F(TextureDecoding, HandlesAreDistinctAndNotReused) {
    Bytes bytes = testimg::tga(testimg::solid(2, 2, 0xFF000000), false);
    TextureHandle a = fromMemory(bytes);
    engine->freeTexture(a);
    TextureHandle b = fromMemory(bytes);
    TextureHandle c = fromMemory(bytes);
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, a);
    EXPECT_NE(c, b);
    EXPECT_EQ(engine->testHooks()->liveTextureCount(), 2);
}

} // namespace
