#include "qub/texture_store.h"

#include "qub/engine_log.h"

#include <SDL.h>
#include <SDL_image.h>

namespace qub {

namespace {

// Larger images are refused before a texture is made of them.
constexpr int kMaxTextureSide = 16384;

// Formats with a signature are recognised first; TGA has none, so it is asked
// for by name afterwards.
SDL_Surface* decode(SDL_RWops* source) {
    SDL_Surface* surface = IMG_Load_RW(source, 0);
    if (surface) return surface;
    if (SDL_RWseek(source, 0, RW_SEEK_SET) != 0) return nullptr;
    return IMG_LoadTyped_RW(source, 0, "TGA");
}

} // namespace

TextureStore::~TextureStore() { clear(); }

void TextureStore::attach(SDL_Renderer* renderer, EngineLog* log) {
    renderer_ = renderer;
    log_ = log;
}

void TextureStore::clear() {
    for (auto& item : textures_)
        SDL_DestroyTexture(item.second.texture);
    textures_.clear();
}

TextureHandle TextureStore::loadFromMemory(const void* data, std::uint32_t size) {
    if (!renderer_ || !data || size == 0 || size > INT32_MAX) return 0;
    SDL_RWops* source = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (!source) return 0;
    SDL_Surface* surface = decode(source);
    SDL_RWclose(source);
    return adopt(surface, "memory image");
}

TextureHandle TextureStore::loadFromFile(const char* fileName) {
    if (!renderer_ || !fileName) return 0;
    SDL_RWops* source = SDL_RWFromFile(fileName, "rb");
    if (!source) {
        log_->line("qub: cannot open texture %s: %s", fileName, SDL_GetError());
        return 0;
    }
    SDL_Surface* surface = decode(source);
    SDL_RWclose(source);
    return adopt(surface, fileName);
}

TextureHandle TextureStore::adopt(SDL_Surface* decoded, const char* source) {
    if (!decoded) {
        log_->line("qub: cannot decode %s: %s", source, IMG_GetError());
        return 0;
    }
    if (decoded->w > kMaxTextureSide || decoded->h > kMaxTextureSide) {
        log_->line("qub: %s is too large (%d x %d)", source, decoded->w, decoded->h);
        SDL_FreeSurface(decoded);
        return 0;
    }
    // One pixel format for every texture, so that colour keys and palettes come
    // out as alpha the same way for every image type.
    SDL_Surface* argb = decoded;
    if (decoded->format->format != SDL_PIXELFORMAT_ARGB8888 || SDL_HasColorKey(decoded)) {
        argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(decoded);
    }
    if (!argb) {
        log_->line("qub: cannot convert %s: %s", source, SDL_GetError());
        return 0;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer_, argb);
    int width = argb->w;
    int height = argb->h;
    SDL_FreeSurface(argb);
    if (!texture) {
        log_->line("qub: cannot make a texture of %s: %s", source, SDL_GetError());
        return 0;
    }

    if (++lastHandle_ == 0) ++lastHandle_;
    textures_[lastHandle_] = Entry{texture, width, height};
    return lastHandle_;
}

void TextureStore::free(TextureHandle texture) {
    auto found = textures_.find(texture);
    if (found == textures_.end()) return;
    SDL_DestroyTexture(found->second.texture);
    textures_.erase(found);
}

const TextureStore::Entry* TextureStore::entry(TextureHandle texture) const {
    auto found = textures_.find(texture);
    return found == textures_.end() ? nullptr : &found->second;
}

SDL_Texture* TextureStore::find(TextureHandle texture) const {
    const Entry* e = entry(texture);
    return e ? e->texture : nullptr;
}

int TextureStore::width(TextureHandle texture) const {
    const Entry* e = entry(texture);
    return e ? e->width : 0;
}

int TextureStore::height(TextureHandle texture) const {
    const Entry* e = entry(texture);
    return e ? e->height : 0;
}

} // namespace qub
