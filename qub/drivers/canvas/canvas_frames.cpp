#include "qub/drivers/canvas/canvas_frames.h"

#include <cstring>

namespace qub {

void CanvasFrames::resize(int width, int height) { canvas_.resize(width, height); }

void CanvasFrames::reset() {
    textures_.clear();
    canvas_.resize(0, 0);
    frame_.clear();
    shown_.clear();
    rendered_ = false;
    stale_ = lost_ = true;
}

DriverTexture CanvasFrames::createTexture(int width, int height, const std::uint32_t* argb) {
    return textures_.add(width, height, argb);
}

DriverTexture CanvasFrames::adoptTexture(int width, int height, std::uint32_t* argb,
                                         void (*release)(void* context), void* context) {
    return textures_.adopt(width, height, argb, release, context);
}

void CanvasFrames::freeTexture(DriverTexture texture) {
    textures_.remove(texture);
    stale_ = true; // a texture made later may take its address
}

void CanvasFrames::beginFrame() {
    frame_.clear();
    rendered_ = false;
}

void CanvasFrames::clear(std::uint32_t argb) {
    Operation clear{0, 1, Quad{}, 0};
    clear.quad.vertices[0].colour = argb;
    frame_.push_back(clear);
}

void CanvasFrames::drawQuad(const Quad& quad, DriverTexture texture) {
    frame_.push_back(Operation{texture, 0, quad, 0});
}

void CanvasFrames::render() {
    if (rendered_) return;
    rendered_ = true;
    for (const Operation& op : frame_) {
        if (op.clear != 0) {
            canvas_.clear(op.quad.vertices[0].colour);
            continue;
        }
        const CanvasTexture* texture = op.texture ? textures_.find(op.texture) : nullptr;
        if (op.texture == 0 || texture) canvas_.drawQuad(op.quad, texture);
    }
}

// Byte for byte, so that a NaN corner compares equal to itself.
CanvasArea CanvasFrames::present() {
    const bool same = frame_.size() == shown_.size() &&
                      (frame_.empty() || std::memcmp(frame_.data(), shown_.data(),
                                                     frame_.size() * sizeof(Operation)) == 0);
    if (same && !stale_ && !rendered_) return CanvasArea{};
    render();
    shown_.swap(frame_);
    stale_ = false;
    CanvasArea changed = canvas_.takeChanges();
    if (lost_) changed = CanvasArea{0, 0, canvas_.width(), canvas_.height()};
    lost_ = false;
    return changed;
}

bool CanvasFrames::readBack(std::uint32_t* argb, int width, int height) {
    render();
    return canvas_.copyTopLeft(argb, width, height);
}

} // namespace qub
