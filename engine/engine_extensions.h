#pragma once

#include "engine/engine.h"

// What the engine offers beyond its table, reached through
// Engine::extensions: textures made straight from pixels, and drawing off
// screen with the picture read back.
class EngineExtensions {
  public:
    // A texture of width x height straight (not premultiplied) 0xAARRGGBB
    // pixels, rows top to bottom, copied; 0 when it cannot be made. Freed with
    // freeTexture; textureWidth and textureHeight give its size.
    virtual TextureHandle createTexture(int width, int height, const std::uint32_t* argb) = 0;
    // As createTexture, with no copy, so that a large image costs the engine
    // thread nothing: the engine reads `argb` in place until it calls
    // release(context), at once when it cannot make the texture (then 0),
    // else when the texture is freed. Any thread may have made the pixels.
    virtual TextureHandle adoptTexture(int width, int height, std::uint32_t* argb,
                                       void (*release)(void* context), void* context) = 0;

    // Before init: draw into an off-screen target of the screen size instead of
    // a window (no display needed); init then fails only if that cannot be made.
    virtual void setOffscreen(bool offscreen) = 0;
    // Copies the top-left width x height pixels of the frame being drawn
    // (between beginScene and endScene) as 0xAARRGGBB, rows top to bottom.
    virtual bool readBackBuffer(std::uint32_t* argb, int width, int height) = 0;
    virtual bool saveBackBuffer(const char* pngFileName) = 0;

  protected:
    ~EngineExtensions() = default;
};

// The extensions of the one engine instance; null where it has none.
inline EngineExtensions* extensionsOf(Engine* engine) {
    return engine ? engine->extensions() : nullptr;
}
