#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An Aseprite file (.aseprite, .ase) as its chunks describe it, read from
// bytes held in memory: the cels keep pointers into those bytes, so that
// their images are inflated only when a frame is drawn.
namespace tgltool::aseprite {

enum class ColourMode { Rgba = 32, Grayscale = 16, Indexed = 8 };

struct Layer {
    std::string name;
    int parent = -1; // index of the group holding it
    bool visible = true, background = false, group = false, tilemap = false;
    int blendMode = 0; // 0: normal
    int opacity = 255;
};

struct Cel {
    int layer = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int opacity = 255, zIndex = 0;
    bool compressed = false;
    const std::uint8_t* data = nullptr; // the pixels, inflated or raw
    std::size_t size = 0;
};

struct Tag {
    std::string name;
    int from = 0, to = 0, direction = 0, repeat = 0;
};

struct Frame {
    std::int32_t duration = 0; // milliseconds
    std::vector<Cel> cels;
};

struct File {
    int width = 0, height = 0;
    ColourMode mode = ColourMode::Rgba;
    int transparentIndex = 0;
    std::vector<std::uint32_t> palette; // 0xAARRGGBB, 256 entries
    std::vector<Layer> layers;
    std::vector<Frame> frames;
    std::vector<Tag> tags;
};

// The file's structure; throws std::runtime_error naming what is wrong.
// Linked cels are resolved to the cel they link to.
File read(const std::vector<std::uint8_t>& bytes);

} // namespace tgltool::aseprite
