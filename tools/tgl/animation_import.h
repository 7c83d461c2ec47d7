#pragma once

#include "format/compose.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Animations of other formats brought in frame by frame, each frame composed
// as that format's own decoder shows it. Every reader holds one frame (or
// two) at a time, applies the limits of image/limits.h before it allocates,
// and throws CommandError with one plain line for a file it refuses.
namespace tgltool {

// One frame: the whole canvas of the source, straight 0xAARRGGBB.
struct SourceFrame {
    tglformat::Picture canvas;
    std::int32_t duration = 0; // milliseconds
};
using FrameSink = std::function<void(SourceFrame&&)>;

// What is known of the source beyond its frames.
struct SourceInfo {
    // Where the source's canvas sat in the viewer's window when it came
    // from `tgl export --sheet`.
    std::optional<std::pair<std::int32_t, std::int32_t>> origin;
};

// Counts the canvases composed from one source against
// InputLimits::kMaxComposedPixels; throws CommandError past it.
class ComposeBudget {
  public:
    explicit ComposeBudget(std::string source) : source_(std::move(source)) {}
    void spend(std::uint64_t width, std::uint64_t height);

  private:
    std::string source_;
    std::uint64_t spent_ = 0;
};

// Throws CommandError for a canvas larger than the image limits, or empty.
void checkCanvasSize(const std::string& source, std::uint64_t width, std::uint64_t height);

// A GIF's delay of 0 or 1 hundredths shows for this long, as browsers show it.
inline constexpr std::int32_t kShortGifDelay = 100;

// Animated (or still) GIF: disposal, transparency, local and global palettes,
// frames clipped to the logical screen.
SourceInfo importGif(const std::string& path, const FrameSink& sink);
// Animated (or still) WebP, composed by libwebp's animation decoder.
SourceInfo importWebP(const std::string& path, const FrameSink& sink);

// An animated PNG: frames composed with their dispose and blend operations,
// the default image left out when it is not part of the animation.
SourceInfo importApng(const std::string& path, const FrameSink& sink);
// A PNG file with an animation control chunk before its image data.
bool isAnimatedPng(const std::string& path);

// A plain strip or grid of equal cells in one image, with no description.
struct GridOptions {
    int cellWidth = 0, cellHeight = 0; // none: no grid
    int count = 0;                     // cells to take; 0: up to the last that shows anything
    int margin = 0, spacing = 0;       // around the grid, and between cells
    std::int32_t duration = tglformat::kDefaultDuration; // milliseconds, every frame
};
// The cells row by row, left to right.
SourceInfo importGrid(const std::string& path, const GridOptions& grid, const FrameSink& sink);

struct AsepriteOptions {
    std::string tag;                 // the frames of this tag only, in its direction
    std::vector<std::string> layers; // only these layers (and what their groups hold)
};
// An Aseprite sprite: RGBA, grayscale or indexed; visible layers composited in
// order with their opacity (other blend modes drawn as normal, and said so).
SourceInfo importAseprite(const std::string& path, const AsepriteOptions& options,
                          const FrameSink& sink);

struct SheetOptions {
    std::string tag;           // the frames of this frame tag only
    bool allowOutside = false; // meta.image may lie outside the JSON's folder
};
// A sprite sheet's JSON (hash or array of frames) and the sheet it names.
SourceInfo importSheet(const std::string& path, const SheetOptions& options, const FrameSink& sink);

} // namespace tgltool
