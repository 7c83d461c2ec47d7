#pragma once

#include "qub/driver.h"
#include "qub/drivers/canvas/canvas.h"

#include <vector>

namespace qub {

// What a driver that draws with the Canvas keeps between the engine's calls:
// the canvas, the textures, the frame being drawn and the one on screen. A
// frame is drawn only at present (or read-back), and a frame that draws
// exactly what the window shows is neither drawn nor shown again, so a still
// picture costs next to nothing.
class CanvasFrames {
  public:
    // Throws std::bad_alloc when the canvas does not fit in memory.
    void resize(int width, int height);
    // Forgets the textures, the canvas and both frames.
    void reset();

    DriverTexture createTexture(int width, int height, const std::uint32_t* argb);
    DriverTexture adoptTexture(int width, int height, std::uint32_t* argb,
                               void (*release)(void* context), void* context);
    void freeTexture(DriverTexture texture);

    void beginFrame();
    void clear(std::uint32_t argb);
    void drawQuad(const Quad& quad, DriverTexture texture);
    // The window may no longer show what it was shown: the next present
    // gives the whole canvas.
    void windowLost() { stale_ = lost_ = true; }
    // Draws the frame if it differs from the one shown, and gives the area of
    // the canvas the window must be sent (empty: none).
    CanvasArea present();

    const Canvas& canvas() const { return canvas_; }
    // The top-left width x height pixels of the frame drawn so far.
    bool readBack(std::uint32_t* argb, int width, int height);

  private:
    // One drawing operation of a frame: a clear (the colour in the first
    // vertex) or a quad. No padding, so that frames compare byte for byte.
    struct Operation {
        DriverTexture texture;
        std::uint32_t clear;
        Quad quad;
        std::uint32_t unused;
    };
    static_assert(sizeof(Operation) == 8 + 4 + sizeof(Quad) + 4, "no padding");

    void render();

    Canvas canvas_;
    CanvasTextures textures_;
    std::vector<Operation> frame_;
    std::vector<Operation> shown_;
    bool rendered_ = false; // frame_ is on the canvas already
    bool stale_ = true;     // the window may not show shown_: textures or exposure changed
    bool lost_ = true;      // the window lost its picture: show all of the canvas
};

} // namespace qub
