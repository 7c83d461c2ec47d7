#pragma once

#include "draw/font.h"
#include "tests/support/recording_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Fonts over the recording engine: description files and image sizes are
// given to it, and what the font asks and draws is read back from it.
class FontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine.reset();
        engine.textureFiles["fonts/glyphs.tga"] = 5;
        engine.textureSizes[5] = {128, 64};
    }
    void TearDown() override {
        EXPECT_EQ(engine.references, 0) << "every reference given back";
        EXPECT_EQ(engine.resourcesHeld, 0) << "the description went back to the engine";
    }

    std::unique_ptr<Font> fontFrom(const std::string& description,
                                   const std::string& name = "fonts/test.fnt") {
        engine.resources[name] = description;
        return std::make_unique<Font>(name.c_str(), false);
    }
    bool called(const std::string& call) const {
        for (const auto& c : engine.calls)
            if (c == call) return true;
        return false;
    }

    RecordingEngine& engine = RecordingEngine::instance();
};
