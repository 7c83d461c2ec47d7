#pragma once

#include "qub/driver.h"
#include "qub/drivers/canvas/canvas_frames.h"

namespace qub {

// What the drivers that draw with the Canvas share: textures, drawing and
// read-back through CanvasFrames while there is a window (or an off-screen
// target). Each adds its window, its events and how it shows the canvas.
class CanvasDriver : public Driver {
  public:
    DriverTexture createTexture(int width, int height, const std::uint32_t* argb) override;
    DriverTexture adoptTexture(int width, int height, std::uint32_t* argb,
                               void (*release)(void* context), void* context) override;
    void freeTexture(DriverTexture texture) override;

    bool beginFrame() override;
    void clear(std::uint32_t argb) override;
    void drawQuad(const Quad& quad, DriverTexture texture) override;
    bool backBufferSize(int& width, int& height) override;
    bool readBack(std::uint32_t* argb, int width, int height) override;

  protected:
    // Whether there is a window, or an off-screen target, to draw for.
    virtual bool ready() const = 0;
    // A canvas of the window's size; false, saying why, when it does not fit in memory.
    bool makeCanvas(int width, int height);

    CanvasFrames frames_;
};

} // namespace qub
