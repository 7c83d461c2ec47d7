#include "qub/drivers/canvas/canvas_driver.h"

#include <cstdio>
#include <new>

namespace qub {

bool CanvasDriver::makeCanvas(int width, int height) {
    try {
        frames_.resize(width, height);
        return true;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "qub: no memory for a %d x %d picture\n", width, height);
        return false;
    }
}

DriverTexture CanvasDriver::createTexture(int width, int height, const std::uint32_t* argb) {
    return ready() ? frames_.createTexture(width, height, argb) : 0;
}

DriverTexture CanvasDriver::adoptTexture(int width, int height, std::uint32_t* argb,
                                         void (*release)(void* context), void* context) {
    if (ready()) return frames_.adoptTexture(width, height, argb, release, context);
    if (release) release(context);
    return 0;
}

void CanvasDriver::freeTexture(DriverTexture texture) { frames_.freeTexture(texture); }

bool CanvasDriver::beginFrame() {
    frames_.beginFrame();
    return ready();
}

void CanvasDriver::clear(std::uint32_t argb) { frames_.clear(argb); }

void CanvasDriver::drawQuad(const Quad& quad, DriverTexture texture) {
    frames_.drawQuad(quad, texture);
}

bool CanvasDriver::backBufferSize(int& width, int& height) {
    if (!ready()) return false;
    width = frames_.canvas().width();
    height = frames_.canvas().height();
    return true;
}

bool CanvasDriver::readBack(std::uint32_t* argb, int width, int height) {
    return ready() && frames_.readBack(argb, width, height);
}

} // namespace qub
