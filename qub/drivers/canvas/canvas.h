#pragma once

#include "engine/engine.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// A CPU rasteriser for the engine's quads into 0xAARRGGBB pixels, rows top to
// bottom, which is also the memory layout of a top-down 32-bit Windows DIB.
// A quad is two triangles (corners 0-1-2 and 0-2-3) filled at pixel centres
// with a top-left rule, so neighbouring triangles never cover a pixel twice.
// Colour and texture coordinates are interpolated across each triangle; the
// texture is sampled nearest-neighbour, clamped to its edges, and multiplied
// by the colour.
namespace qub {

// 0xAARRGGBB texels, rows top to bottom: held in `owned`, or lent by whoever
// made them until `release` is called with `context`.
struct CanvasTexture {
    int width = 0;
    int height = 0;
    std::uint32_t* pixels = nullptr;
    std::vector<std::uint32_t> owned;
    void (*release)(void* context) = nullptr;
    void* context = nullptr;

    CanvasTexture() = default;
    CanvasTexture(int width, int height, std::vector<std::uint32_t> texels)
        : width(width), height(height), owned(std::move(texels)) {
        pixels = owned.data();
    }
    CanvasTexture(const CanvasTexture&) = delete;
    CanvasTexture& operator=(const CanvasTexture&) = delete;
    ~CanvasTexture() {
        if (release) release(context);
    }
};

// A driver's textures by the handles it gives out (their addresses, never 0).
class CanvasTextures {
  public:
    // A copy of `argb`, or transparent pixels when it is null; 0 without memory.
    std::uintptr_t add(int width, int height, const std::uint32_t* argb);
    // `argb` read in place until release(context), which a failure calls at once.
    std::uintptr_t adopt(int width, int height, std::uint32_t* argb, void (*release)(void* context),
                         void* context);
    void remove(std::uintptr_t texture) { textures_.erase(texture); }
    const CanvasTexture* find(std::uintptr_t texture) const;
    void clear() { textures_.clear(); }

  private:
    std::uintptr_t keep(std::unique_ptr<CanvasTexture> texture);

    std::unordered_map<std::uintptr_t, std::unique_ptr<CanvasTexture>> textures_;
};

// A rectangle of pixels, right and bottom excluded.
struct CanvasArea {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    void add(const CanvasArea& other);
};

struct CanvasCorner; // a quad's corner on the canvas, in subpixels

class Canvas {
  public:
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    const std::uint32_t* pixels() const { return pixels_.data(); }
    // The top-left width x height pixels, rows top to bottom; false for a
    // size that is empty or larger than the canvas.
    bool copyTopLeft(std::uint32_t* argb, int width, int height) const;

    // Clearing again to the same colour refills only what was drawn since, so
    // a frame costs what its quads cover, not the whole canvas.
    void clear(std::uint32_t argb);
    // texture null: the quad in its vertex colours. Blend mode bit 1 set:
    // alpha blending; clear: additive.
    void drawQuad(const Quad& quad, const CanvasTexture* texture);

    // Where pixels may have changed since the last call; the rest are as they were.
    CanvasArea takeChanges();

  private:
    bool drawUpright(const CanvasCorner (&corners)[4], const CanvasTexture* texture,
                     bool alphaBlend);
    void drawTriangle(const CanvasCorner& a, const CanvasCorner& b, const CanvasCorner& c,
                      const CanvasTexture* texture, bool alphaBlend);
    void touched(const CanvasArea& area);

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
    bool cleared_ = false; // every pixel outside drawn_ has the colour clearColour_
    std::uint32_t clearColour_ = 0;
    CanvasArea drawn_;         // drawn since the last clear
    CanvasArea changed_;       // changed since the last takeChanges
    std::vector<int> columns_; // texel column of each pixel column of an upright quad
};

} // namespace qub
