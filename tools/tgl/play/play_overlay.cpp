#include "tools/tgl/play/play_overlay.h"

#include "platform/text_encoding.h"
#include "tools/tgl/animation_report.h"

#include <cmath>
#include <cstdio>

namespace tgltool {

std::string speedText(double speed) {
    char text[32];
    const double inverse = 1 / speed;
    if (speed < 1 && inverse == std::floor(inverse))
        std::snprintf(text, sizeof text, "1/%gx", inverse);
    else
        std::snprintf(text, sizeof text, "%gx", speed);
    return text;
}

namespace {

// The bitmap font has ASCII only: each other character of a name shows as
// one '?', not as nothing.
std::string forTheFont(const std::string& utf8) {
    std::string out;
    for (char16_t unit : textencoding::utf16FromUtf8(utf8))
        if (unit < 0xDC00 || unit > 0xDFFF) out += unit < 0x80 ? char(unit) : '?';
    return out;
}

} // namespace

// Frames count from 0, as in `tgl info` and `--frame`.
std::vector<std::string> overlayLines(const OverlayFacts& facts) {
    std::vector<std::string> lines{forTheFont(facts.fileName)};
    if (facts.frameCount == 0) {
        lines.push_back("no frames");
    } else {
        lines.push_back("frame " + std::to_string(facts.frame) + " / " +
                        std::to_string(facts.frameCount) + "  " + std::to_string(facts.duration) +
                        " ms  x " + std::to_string(facts.x) + "  y " + std::to_string(facts.y) +
                        "  aux " + std::to_string(facts.aux1) + " " + std::to_string(facts.aux2));
    }
    lines.push_back("loop " + std::to_string(facts.loopPosition) + " / " +
                    std::to_string(facts.loopMilliseconds) + " ms  speed " +
                    speedText(facts.speed) + (facts.paused ? "  paused" : ""));
    if (facts.zoom != 1 || facts.panX != 0 || facts.panY != 0)
        lines.push_back("zoom " + std::to_string(facts.zoom) + "x  pan " +
                        std::to_string(std::lround(facts.panX)) + " " +
                        std::to_string(std::lround(facts.panY)));
    int named = 0, unnamed = 0;
    for (std::size_t i = 0; i < facts.statuses.size(); ++i) {
        if (facts.statuses[i] == FrameStatus::Ok) continue;
        if (named == kNamedFailures) {
            ++unnamed;
            continue;
        }
        lines.push_back("frame " + std::to_string(i) + ": no image (" +
                        statusText(facts.statuses[i]) + ")");
        ++named;
    }
    if (unnamed > 0) lines.push_back("and " + std::to_string(unnamed) + " more without an image");
    if (!facts.reloadError.empty())
        lines.push_back("not reloaded: " + facts.reloadError + "; showing the last good version");
    return lines;
}

} // namespace tgltool
