#include "draw/sprite.h"

#include "draw/rect.h"

#include <cmath>
#include <utility>

Engine* Sprite::engine = nullptr;

namespace {

constexpr float kDefaultZ = 0.5f;
constexpr std::uint32_t kDefaultColour = 0xFFFFFFFF;
constexpr std::int32_t kDefaultBlendMode = kBlendAlpha;

} // namespace

Sprite::Sprite(TextureHandle texture, float regionX, float regionY, float width, float height)
    : quad_{}, regionX_(regionX), regionY_(regionY), width_(width), height_(height),
      texSizeX_(1.0f), texSizeY_(1.0f) {
    engine = engineRef_.get();
    if (texture != 0) {
        texSizeX_ = static_cast<float>(engine->textureWidth(texture, false));
        texSizeY_ = static_cast<float>(engine->textureHeight(texture, false));
    }
    quad_.texture = texture;
    quad_.blendMode = kDefaultBlendMode;
    setTextureCoordinates(regionX, regionY, width, height);
    for (Vertex& v : quad_.vertices) {
        v.z = kDefaultZ;
        v.colour = kDefaultColour;
    }
}

Sprite::Sprite(const Sprite& other)
    : engineRef_(other.engineRef_), quad_(other.quad_), regionX_(other.regionX_),
      regionY_(other.regionY_), width_(other.width_), height_(other.height_),
      texSizeX_(other.texSizeX_), texSizeY_(other.texSizeY_), hotSpotX_(other.hotSpotX_),
      hotSpotY_(other.hotSpotY_), flippedX_(other.flippedX_), flippedY_(other.flippedY_),
      hotSpotFlipped_(other.hotSpotFlipped_) {
    engine = engineRef_.get();
}

void Sprite::render(float x, float y) {
    const float left = x - hotSpotX_;
    const float top = y - hotSpotY_;
    const float right = (x + width_) - hotSpotX_;
    const float bottom = (y + height_) - hotSpotY_;
    const float corners[8] = {left, top, right, top, right, bottom, left, bottom};
    setPositions(corners);
    engine->drawQuad(&quad_);
}

void Sprite::transformedCorners(float x, float y, float rotation, float hs, float vs,
                                float corners[8]) const {
    const float a1 = -(hotSpotX_ * hs);
    const float b1 = -(hotSpotY_ * vs);
    const float a2 = (width_ - hotSpotX_) * hs;
    const float b2 = (height_ - hotSpotY_) * vs;
    const float offsets[4][2] = {{a1, b1}, {a2, b1}, {a2, b2}, {a1, b2}};
    if (rotation == 0.0f) {
        for (int i = 0; i < 4; ++i) {
            corners[2 * i] = offsets[i][0] + x;
            corners[2 * i + 1] = offsets[i][1] + y;
        }
        return;
    }
    const float c = static_cast<float>(std::cos(static_cast<double>(rotation)));
    const float s = static_cast<float>(std::sin(static_cast<double>(rotation)));
    for (int i = 0; i < 4; ++i) {
        const float ac = offsets[i][0] * c;
        const float bs = offsets[i][1] * s;
        const float as = offsets[i][0] * s;
        const float bc = offsets[i][1] * c;
        corners[2 * i] = ac - bs + x;
        corners[2 * i + 1] = as + bc + y;
    }
}

void Sprite::renderTransformed(float x, float y, float rotation, float horizontalScale,
                               float verticalScale) {
    if (verticalScale == 0.0f) verticalScale = horizontalScale;
    float corners[8];
    transformedCorners(x, y, rotation, horizontalScale, verticalScale, corners);
    setPositions(corners);
    engine->drawQuad(&quad_);
}

void Sprite::renderStretched(float x1, float y1, float x2, float y2) {
    const float corners[8] = {x1, y1, x2, y1, x2, y2, x1, y2};
    setPositions(corners);
    engine->drawQuad(&quad_);
}

void Sprite::renderCorners(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                           float y3) {
    const float corners[8] = {x0, y0, x1, y1, x2, y2, x3, y3};
    setPositions(corners);
    engine->drawQuad(&quad_);
}

Rect* Sprite::boundingBoxTransformed(float x, float y, float rotation, float horizontalScale,
                                     float verticalScale, Rect* box) const {
    box->clear();
    float corners[8];
    transformedCorners(x, y, rotation, horizontalScale, verticalScale, corners);
    for (int i = 0; i < 4; ++i)
        box->extend(corners[2 * i], corners[2 * i + 1]);
    return box;
}

void Sprite::setColour(std::uint32_t colour, int corner) {
    if (corner == -1) {
        for (Vertex& v : quad_.vertices)
            v.colour = colour;
    } else if (corner >= 0 && corner < 4) {
        quad_.vertices[corner].colour = colour;
    }
}

void Sprite::setZ(float z, int corner) {
    if (corner == -1) {
        for (Vertex& v : quad_.vertices)
            v.z = z;
    } else if (corner >= 0 && corner < 4) {
        quad_.vertices[corner].z = z;
    }
}

void Sprite::setFlip(bool flipX, bool flipY, bool flipHotSpot) {
    // Both hot-spot steps use the mirroring as it was before this call.
    if (hotSpotFlipped_) {
        if (flippedX_) hotSpotX_ = width_ - hotSpotX_;
        if (flippedY_) hotSpotY_ = height_ - hotSpotY_;
    }
    hotSpotFlipped_ = flipHotSpot;
    if (flipHotSpot) {
        if (flippedX_) hotSpotX_ = width_ - hotSpotX_;
        if (flippedY_) hotSpotY_ = height_ - hotSpotY_;
    }
    if (flipX != flippedX_) {
        swapTextureCoordinates(0, 1);
        swapTextureCoordinates(3, 2);
        flippedX_ = !flippedX_;
    }
    if (flipY != flippedY_) {
        swapTextureCoordinates(0, 3);
        swapTextureCoordinates(1, 2);
        flippedY_ = !flippedY_;
    }
}

void Sprite::setTexture(TextureHandle texture) {
    quad_.texture = texture;
    float newWidth = 1.0f;
    float newHeight = 1.0f;
    if (texture != 0) {
        newWidth = static_cast<float>(engine->textureWidth(texture, false));
        newHeight = static_cast<float>(engine->textureHeight(texture, false));
    }
    if (newWidth == texSizeX_ && newHeight == texSizeY_) return;

    // Corners 0 and 2 are read whatever the mirroring, so the flips survive.
    Vertex* v = quad_.vertices;
    const float p1 = v[0].u * texSizeX_;
    const float q1 = v[0].v * texSizeY_;
    const float p2 = v[2].u * texSizeX_;
    const float q2 = v[2].v * texSizeY_;
    texSizeX_ = newWidth;
    texSizeY_ = newHeight;
    v[0].u = v[3].u = p1 / newWidth;
    v[1].u = v[2].u = p2 / newWidth;
    v[0].v = v[1].v = q1 / newHeight;
    v[2].v = v[3].v = q2 / newHeight;
}

void Sprite::setTextureRegion(float x, float y, float w, float h, bool adjustSize) {
    regionX_ = x;
    regionY_ = y;
    if (adjustSize) {
        width_ = w;
        height_ = h;
    }
    setTextureCoordinates(x, y, w, h);
    const bool wasFlippedX = flippedX_;
    const bool wasFlippedY = flippedY_;
    flippedX_ = flippedY_ = false;
    setFlip(wasFlippedX, wasFlippedY, hotSpotFlipped_);
}

void Sprite::setHotSpot(float x, float y) {
    hotSpotX_ = x;
    hotSpotY_ = y;
}

void Sprite::setPositions(const float corners[8]) {
    for (int i = 0; i < 4; ++i) {
        quad_.vertices[i].x = corners[2 * i];
        quad_.vertices[i].y = corners[2 * i + 1];
    }
}

void Sprite::setTextureCoordinates(float x, float y, float w, float h) {
    const float uLeft = x / texSizeX_;
    const float vTop = y / texSizeY_;
    const float uRight = (x + w) / texSizeX_;
    const float vBottom = (y + h) / texSizeY_;
    Vertex* v = quad_.vertices;
    v[0].u = v[3].u = uLeft;
    v[1].u = v[2].u = uRight;
    v[0].v = v[1].v = vTop;
    v[2].v = v[3].v = vBottom;
}

void Sprite::swapTextureCoordinates(int a, int b) {
    std::swap(quad_.vertices[a].u, quad_.vertices[b].u);
    std::swap(quad_.vertices[a].v, quad_.vertices[b].v);
}
