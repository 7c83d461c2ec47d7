#pragma once

#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_ref.h"
#include "engine/engine_test_hooks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// A fixture holding an initialised engine that renders off-screen with the
// software renderer, unpaced.
class HeadlessEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        reference.acquire();
        engine = reference.get();
        ASSERT_NE(engine, nullptr);
        engine->extensions()->setOffscreen(true);
        engine->setIntState(QubState::kFrameRate, 0);
        ASSERT_TRUE(engine->init());
    }
    void TearDown() override {
        engine->shutdown();
        reference.reset();
    }

    // The whole 800 x 600 frame drawn so far.
    std::vector<std::uint32_t> frame() {
        std::vector<std::uint32_t> pixels(800 * 600);
        EXPECT_TRUE(engine->extensions()->readBackBuffer(pixels.data(), 800, 600));
        return pixels;
    }
    static std::uint32_t pixel(const std::vector<std::uint32_t>& frame, int x, int y) {
        return frame[static_cast<std::size_t>(y * 800 + x)];
    }

    // A quad with corners at whole pixels covering the whole texture.
    static Quad quadAt(float left, float top, float width, float height, TextureHandle texture,
                       std::uint32_t colour = 0xFFFFFFFF, std::int32_t blendMode = 2) {
        Quad q{};
        const float xs[4] = {left, left + width, left + width, left};
        const float ys[4] = {top, top, top + height, top + height};
        const float us[4] = {0, 1, 1, 0};
        const float vs[4] = {0, 0, 1, 1};
        for (int i = 0; i < 4; ++i)
            q.vertices[i] = Vertex{xs[i], ys[i], 0.5f, colour, us[i], vs[i]};
        q.texture = texture;
        q.blendMode = blendMode;
        return q;
    }

    EngineRef reference{EngineRef::kNone};
    Engine* engine = nullptr;
};

// Channel-wise comparison with a tolerance, for blended and lossy results.
::testing::AssertionResult colourNear(std::uint32_t actual, std::uint32_t expected, int tolerance);
