#include "qub/qub_engine.h"

#include "image/image.h"

#include <vector>

namespace qub {

bool QubEngine::beginScene(std::uint32_t target) {
    return driver_ && target == 0 && driver_->beginFrame();
}

void QubEngine::endScene() {
    if (!driver_) return;
    if (beforePresent_ && beforePresent_()) stopAfterThisFrame_ = true;
    driver_->present();
}

void QubEngine::clearScreen(std::uint32_t argb) {
    if (driver_) driver_->clear(argb);
}

void QubEngine::drawQuad(const Quad* quad) {
    if (!driver_ || !quad) return;
    DriverTexture texture = 0;
    if (quad->texture != 0) {
        const TextureTable::Entry* entry = textures_.find(quad->texture);
        if (!entry) return; // a freed or unknown texture: nothing to draw
        texture = entry->texture;
    }
    driver_->drawQuad(*quad, texture);
}

bool QubEngine::readBackBuffer(std::uint32_t* argb, int width, int height) {
    if (!driver_ || !argb || width <= 0 || height <= 0) return false;
    int outputWidth = 0;
    int outputHeight = 0;
    if (!driver_->backBufferSize(outputWidth, outputHeight)) return false;
    if (width > outputWidth || height > outputHeight) return false;
    return driver_->readBack(argb, width, height);
}

bool QubEngine::saveBackBuffer(const char* pngFileName) {
    int width = 0;
    int height = 0;
    if (!driver_ || !pngFileName || !driver_->backBufferSize(width, height)) return false;
    std::vector<std::uint32_t> frame(std::size_t(width) * std::size_t(height));
    return readBackBuffer(frame.data(), width, height) &&
           imaging::writePngFile(pngFileName, frame.data(), width, height);
}

} // namespace qub
