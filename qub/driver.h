#pragma once

#include "engine/engine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The seam between the engine core and a window system. The core owns states,
// the loop, texture handles, the log and drop coalescing; a driver owns the
// window, its events, textures made from pixels, quad drawing, present and
// read-back. The platform's drivers are built in; createDriver picks one.
// Everything is called on the thread that called init.
namespace qub {

struct WindowSettings {
    std::string title;
    int width = 800;
    int height = 600;
    bool windowed = true;
    bool offscreen = false; // an off-screen target of the same size, no display needed
};

// What a driver reports while it pumps events.
class DriverEvents {
  public:
    virtual void windowClosed() = 0;
    // A drop of several files: begun, one call per path in order, completed.
    virtual void dropBegan() = 0;
    virtual void fileDropped(const char* path) = 0;
    virtual void dropCompleted() = 0;

  protected:
    ~DriverEvents() = default;
};

using DriverTexture = std::uintptr_t; // 0 = none

class Driver {
  public:
    virtual ~Driver() = default;

    // False, with a line on standard error, when no window (or no off-screen
    // target) can be made; close then releases whatever was made.
    virtual bool open(const WindowSettings& settings) = 0;
    virtual void close() = 0;
    virtual void setTitle(const char* title) = 0;
    virtual WindowHandle windowHandle() const = 0;

    // Reports closes and drops to `events`. Keys go to the window procedure
    // as WM_KEYDOWN (the virtual-key code) and WM_CHAR (the character typed),
    // as Windows sends them, so that one window procedure serves both.
    virtual void pumpEvents(DriverEvents& events) = 0;
    virtual bool hasFocus() const = 0;
    // Sleeps until an event arrives or the time is up.
    virtual void waitForEvents(int milliseconds) = 0;
    // Sends one dropped-files message listing these paths to the window.
    virtual void deliverDrop(const std::vector<std::string>& paths) = 0;

    // Straight 0xAARRGGBB pixels, rows top to bottom, copied (argb null: transparent).
    virtual DriverTexture createTexture(int width, int height, const std::uint32_t* argb) = 0;
    // The pixels stay the caller's, read in place until release(context).
    virtual DriverTexture adoptTexture(int width, int height, std::uint32_t* argb,
                                       void (*release)(void* context), void* context) = 0;
    virtual void freeTexture(DriverTexture texture) = 0;

    virtual bool beginFrame() = 0;
    virtual void clear(std::uint32_t argb) = 0;
    // texture 0: untextured, in the vertex colours.
    virtual void drawQuad(const Quad& quad, DriverTexture texture) = 0;
    virtual void present() = 0;
    virtual bool backBufferSize(int& width, int& height) = 0;
    // The top-left width x height pixels as 0xAARRGGBB, rows top to bottom.
    virtual bool readBack(std::uint32_t* argb, int width, int height) = 0;
};

// A driver for a window, or for an off-screen target.
std::unique_ptr<Driver> createDriver(bool offscreen);

// The platform's own driver, which serves every session it can, and
// off-screen targets: Win32 on Windows, Xlib elsewhere.
std::unique_ptr<Driver> createPlatformDriver();

} // namespace qub
