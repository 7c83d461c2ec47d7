// The bitmap-font description parser, reached through the engine's resources.

#include "draw/font.h"
#include "tests/support/recording_engine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RecordingEngine& engine = RecordingEngine::instance();
    engine.reset();
    engine.keepRecords = false;
    engine.resources["fonts/fuzz.fnt"] = std::string(reinterpret_cast<const char*>(data), size);
    engine.textureFiles["fonts/glyphs.tga"] = 5;
    engine.textureSizes[5] = {256, 128};
    {
        Font font("fonts/fuzz.fnt", false);
        font.renderFormattedInBox(0, 0, 120, 80, Font::ALIGN_CENTRE | Font::ALIGN_MIDDLE, "%s",
                                  "The quick brown fox\njumps");
        font.textWidth("measure me\nand me", true);
    }
    if (engine.references != 0 || engine.resourcesHeld != 0) std::abort(); // something leaked
    return 0;
}
