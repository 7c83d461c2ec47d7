#include "tools/tgl/play/play_overlay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(PlayOverlay, SaysWhereTheFrameIsAndWhyFramesHaveNoImage) {
    using S = tglformat::FrameStatus;
    tgltool::OverlayFacts facts;
    facts.fileName = "walk \xF0\x9F\x8E\x9E \xE3\x82\xA6\xC3\xA9.tgl"; // one '?' a character
    facts.frame = 2;
    facts.frameCount = 9;
    facts.duration = 80;
    facts.x = -3, facts.y = 40, facts.aux1 = 1, facts.aux2 = 7;
    facts.loopPosition = 160;
    facts.loopMilliseconds = 720;
    facts.speed = 0.25;
    facts.paused = true;
    facts.statuses = {S::Ok,      S::NotZlib,    S::Ok,         S::OverDecodedBudget,
                      S::NoBlock, S::NotAnImage, S::NotAnImage, S::NotAnImage,
                      S::Ok};
    facts.reloadError = "it does not begin with \"DFX\"";
    EXPECT_EQ(tgltool::overlayLines(facts),
              (std::vector<std::string>{
                  "walk ? ??.tgl", "frame 2 / 9  80 ms  x -3  y 40  aux 1 7",
                  "loop 160 / 720 ms  speed 1/4x  paused", "frame 1: no image (not zlib)",
                  "frame 3: no image (over the decoded budget)", "frame 4: no image (no block)",
                  "frame 5: no image (not an image)", "and 2 more without an image",
                  "not reloaded: it does not begin with \"DFX\"; showing the last good version"}));
    EXPECT_EQ(tgltool::speedText(8), "8x");
    EXPECT_EQ(tgltool::speedText(1.5), "1.5x");
    EXPECT_EQ(tgltool::speedText(0.125), "1/8x");
}

} // namespace
