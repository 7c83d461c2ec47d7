#pragma once

#include "engine/engine.h"

#include <cstdint>
#include <string>
#include <unordered_map>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Surface;

namespace qub {

class EngineLog;

// Textures by handle. The store owns every texture it made until freeTexture
// or clear; handles are never reused while the store lives.
class TextureStore {
  public:
    TextureStore() = default;
    TextureStore(const TextureStore&) = delete;
    TextureStore& operator=(const TextureStore&) = delete;
    ~TextureStore();

    void attach(SDL_Renderer* renderer, EngineLog* log);
    // Frees every texture; call before the renderer goes.
    void clear();

    TextureHandle loadFromMemory(const void* data, std::uint32_t size);
    TextureHandle loadFromFile(const char* fileName);
    void free(TextureHandle texture);

    SDL_Texture* find(TextureHandle texture) const;
    int width(TextureHandle texture) const;
    int height(TextureHandle texture) const;
    int count() const { return static_cast<int>(textures_.size()); }

  private:
    struct Entry {
        SDL_Texture* texture;
        int width;
        int height;
    };

    TextureHandle adopt(SDL_Surface* decoded, const char* source);
    const Entry* entry(TextureHandle texture) const;

    SDL_Renderer* renderer_ = nullptr;
    EngineLog* log_ = nullptr;
    std::unordered_map<TextureHandle, Entry> textures_;
    TextureHandle lastHandle_ = 0;
};

} // namespace qub
