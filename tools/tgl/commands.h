#pragma once

#include "format/tgl_format.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The tool's commands. Each returns its exit code (0 success, 1 problems
// found) and throws CommandError for usage and input/output errors (2).
namespace tgltool {

int info(const std::string& file, bool json);
int unpack(const std::string& file, const std::string& folder, bool overwrite);

struct PackOptions {
    // One folder with animation.json; one animated GIF, animated WebP or
    // sprite sheet's JSON; or image files.
    std::vector<std::string> inputs;
    std::string output;
    bool overwrite = false;
    bool allowOutside = false; // frame images of animation.json from anywhere
    std::int32_t duration = tglformat::kDefaultDuration;
    std::vector<std::int32_t> durations;
    bool hasAt = false;
    std::pair<std::int32_t, std::int32_t> at;
    std::vector<std::pair<std::int32_t, std::int32_t>> positions;
    // For an animation brought in from another format:
    bool trim = true;                // each frame cut to what shows, and placed there
    std::string format = "png";      // of the frames' images: png, tga or bmp
    std::string tag;                 // a sprite sheet's or an Aseprite file's tag
    std::vector<std::string> layers; // an Aseprite file's layers to draw; none: all
    // A plain strip or grid: cells of gridWidth x gridHeight, row by row.
    int gridWidth = 0, gridHeight = 0;
    int count = 0; // cells to take; 0: up to the last that shows anything
    int margin = 0, spacing = 0;
};
int pack(const PackOptions& options);

enum class RenderMode { Frame, All, Sheet, WebP, Gif, Apng };
// Frames first to last, both included; last -1: to the end.
struct FrameRange {
    int first = 0;
    int last = -1;
};
// An animated GIF may be cropped to the frames' box, and transparent where
// nothing shows instead of white.
struct GifLook {
    bool crop = false;
    bool transparent = false;
};
// Pixel art is scaled by whole numbers only: each pixel a block.
inline constexpr int kMaxScale = 16;
struct RenderOptions {
    RenderMode mode = RenderMode::Frame;
    int frame = 0;
    bool overwrite = false;
    FrameRange range;
    GifLook look;
    int scale = 1; // 1..kMaxScale
};
int render(const std::string& file, const std::string& output, const RenderOptions& options);
// Refuses a scale out of 1..kMaxScale, or one that makes a width x height
// picture larger than the image limits (which every reader here applies).
void checkScale(int scale, int width, int height);

// The frames packed into one sheet, OUT.png, and its JSON frame list beside it
// (OUT.json): a hash of frames by name, or an array.
struct ExportOptions {
    bool powerOfTwoSides = false;
    bool jsonArray = false;
    bool overwrite = false;
    int scale = 1;   // each pixel a block, as render --scale; the JSON's sizes too
    int padding = 1; // pixels between sprites
    int extrude = 0; // each sprite's edge pixels repeated this many times around it
};
// Padding and extrusion are at most this many pixels.
inline constexpr int kMaxSpriteMargin = 64;
int exportSheet(const std::string& file, const std::string& output, const ExportOptions& options);

int verify(const std::vector<std::string>& files);

// The first frame that shows, cropped to the frames' box and fitted into
// size x size, on transparency, as OUT.png; 1 when no frame shows.
int thumbnail(const std::string& file, const std::string& output, int size, bool overwrite);

} // namespace tgltool
