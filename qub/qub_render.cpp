#include "qub/qub_engine.h"

#include <SDL.h>
#include <SDL_image.h>

namespace qub {

namespace {

SDL_Color colourOf(std::uint32_t argb) {
    return SDL_Color{static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
                     static_cast<Uint8>(argb), static_cast<Uint8>(argb >> 24)};
}

SDL_BlendMode blendModeOf(std::int32_t mode) {
    return (mode & 2) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD;
}

constexpr int kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

} // namespace

bool QubEngine::beginScene(std::uint32_t target) {
    if (!renderer_ || target != 0) return false;
    return SDL_SetRenderTarget(renderer_, nullptr) == 0;
}

void QubEngine::endScene() {
    if (!renderer_) return;
    if (beforePresent_ && beforePresent_()) stopAfterThisFrame_ = true;
    SDL_RenderPresent(renderer_);
}

void QubEngine::clearScreen(std::uint32_t argb) {
    if (!renderer_) return;
    SDL_Color c = colourOf(argb);
    SDL_SetRenderDrawColor(renderer_, c.r, c.g, c.b, c.a);
    SDL_RenderClear(renderer_);
}

void QubEngine::drawQuad(const Quad* quad) {
    if (!renderer_ || !quad) return;
    SDL_Texture* texture = nullptr;
    if (quad->texture != 0) {
        texture = textures_.find(quad->texture);
        if (!texture) return; // a freed or unknown texture: nothing to draw
    }

    SDL_Vertex corners[4];
    for (int i = 0; i < 4; ++i) {
        const Vertex& v = quad->vertices[i];
        corners[i] = SDL_Vertex{SDL_FPoint{v.x, v.y}, colourOf(v.colour), SDL_FPoint{v.u, v.v}};
    }
    SDL_BlendMode blend = blendModeOf(quad->blendMode);
    if (texture)
        SDL_SetTextureBlendMode(texture, blend);
    else
        SDL_SetRenderDrawBlendMode(renderer_, blend);
    SDL_RenderGeometry(renderer_, texture, corners, 4, kQuadIndices, 6);
}

bool QubEngine::readBackBuffer(std::uint32_t* argb, int width, int height) {
    if (!renderer_ || !argb || width <= 0 || height <= 0) return false;
    int outputWidth = 0;
    int outputHeight = 0;
    if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0) return false;
    if (width > outputWidth || height > outputHeight) return false;
    SDL_Rect area{0, 0, width, height};
    return SDL_RenderReadPixels(renderer_, &area, SDL_PIXELFORMAT_ARGB8888, argb,
                                width * static_cast<int>(sizeof(std::uint32_t))) == 0;
}

bool QubEngine::saveBackBuffer(const char* pngFileName) {
    if (!renderer_ || !pngFileName) return false;
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0) return false;
    SDL_Surface* frame =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!frame) return false;
    bool saved = readBackBuffer(static_cast<std::uint32_t*>(frame->pixels), width, height) &&
                 IMG_SavePNG(frame, pngFileName) == 0;
    if (!saved) log_.line("qub: cannot save %s: %s", pngFileName, SDL_GetError());
    SDL_FreeSurface(frame);
    return saved;
}

} // namespace qub
