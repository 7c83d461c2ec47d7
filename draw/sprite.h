#pragma once

#include "engine/engine.h"
#include "engine/engine_ref.h"

class Rect;

// A rectangular region of an engine texture, drawn as one textured quad. The
// quad's texture coordinates, colours, depth and blend mode are prepared when
// the texture or region changes; a draw writes only the four positions and
// makes one drawQuad call, allocating nothing.
//
// The sprite does not own its texture; whoever loaded it frees it. Every
// sprite, copies included, holds an engine reference of its own.
class Sprite {
  public:
    // Shared by all sprites; set by every constructor from its own reference.
    static Engine* engine;

    Sprite(TextureHandle texture, float regionX, float regionY, float width, float height);
    Sprite(const Sprite& other);
    Sprite& operator=(const Sprite& other) = default;
    ~Sprite() = default; // gives the reference back

    // The hot spot is drawn at (x, y).
    void render(float x, float y);
    // Turned about the hot spot by `rotation` radians (+x towards +y) and scaled;
    // a vertical scale of 0 takes the horizontal one.
    void renderTransformed(float x, float y, float rotation, float horizontalScale,
                           float verticalScale);
    void renderStretched(float x1, float y1, float x2, float y2);
    void renderCorners(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                       float y3);
    // The box of the corners renderTransformed would draw, but with the vertical
    // scale used as passed. Draws nothing; returns `box`.
    Rect* boundingBoxTransformed(float x, float y, float rotation, float horizontalScale,
                                 float verticalScale, Rect* box) const;

    // corner -1 = all four; other indices outside 0..3 are ignored.
    void setColour(std::uint32_t colour, int corner);
    void setZ(float z, int corner);
    void setBlendMode(int blendMode) { quad_.blendMode = blendMode; }
    void setFlip(bool flipX, bool flipY, bool flipHotSpot);
    // Keeps the region in pixels and the mirroring.
    void setTexture(TextureHandle texture);
    void setTextureRegion(float x, float y, float w, float h, bool adjustSize);
    void setHotSpot(float x, float y);

    float regionX() const { return regionX_; }
    float regionY() const { return regionY_; }
    float width() const { return width_; }
    float height() const { return height_; }
    float hotSpotX() const { return hotSpotX_; }
    float hotSpotY() const { return hotSpotY_; }
    bool flippedX() const { return flippedX_; }
    bool flippedY() const { return flippedY_; }
    const Quad& quad() const { return quad_; }

  private:
    // The four corners renderTransformed draws, as x0, y0, x1, y1, ...
    void transformedCorners(float x, float y, float rotation, float horizontalScale,
                            float verticalScale, float corners[8]) const;
    void setPositions(const float corners[8]);
    // Unflipped coordinates of the region at the current texture size.
    void setTextureCoordinates(float x, float y, float w, float h);
    void swapTextureCoordinates(int a, int b);

    EngineRef engineRef_; // first: taken before anything asks the engine
    Quad quad_;
    float regionX_;
    float regionY_;
    float width_;
    float height_;
    float texSizeX_;
    float texSizeY_;
    float hotSpotX_ = 0;
    float hotSpotY_ = 0;
    bool flippedX_ = false;
    bool flippedY_ = false;
    bool hotSpotFlipped_ = false;
};
