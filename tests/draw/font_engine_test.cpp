#include "draw/font.h"
#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The sample font over our engine, headless: the text's pixels lie where
// textWidth and the line height say, and nowhere else.
TEST(FontOverTheEngine, SampleTextLandsWhereItIsMeasured) {
    Engine* engine = qubCreate(kQubInterfaceVersion);
    engine->extensions()->setOffscreen(true);
    ASSERT_TRUE(engine->init());
    {
        Font font(SAMPLE_FONT, false);
        ASSERT_NE(font.texture(), 0u) << "the sample font's image did not load";
        ASSERT_GT(font.lineHeight(), 0);
        font.setColour(0xFF000000);

        const char* text = "Hello, tglview!";
        const float x = 100, y = 200;
        ASSERT_TRUE(engine->beginScene(0));
        engine->clearScreen(0xFFFFFFFF);
        font.render(x, y, Font::ALIGN_LEFT, text);
        std::vector<std::uint32_t> pixels(800 * 600);
        ASSERT_TRUE(engine->extensions()->readBackBuffer(pixels.data(), 800, 600));
        engine->endScene();

        const float right = x + font.textWidth(text, false);
        const float bottom = y + font.lineHeight();
        int inked = 0;
        int inkedOutside = 0;
        for (int py = 0; py < 600; ++py)
            for (int px = 0; px < 800; ++px) {
                if (pixels[static_cast<std::size_t>(py * 800 + px)] == 0xFFFFFFFFu) continue;
                ++inked;
                if (px < x || px >= std::ceil(right) || py < y || py >= bottom) ++inkedOutside;
            }
        EXPECT_GT(inked, 100) << "the text is visible";
        EXPECT_EQ(inkedOutside, 0);
    }
    engine->shutdown();
    engine->release();
}

} // namespace
