#include "qub/qub_engine.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace qub {

void* QubEngine::loadResource(const char* fileName, std::uint32_t* size) {
    if (size) *size = 0;
    if (!fileName) return nullptr;
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return nullptr;

    struct stat info {};
    char* data = nullptr;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size < UINT32_MAX) {
        std::size_t length = static_cast<std::size_t>(info.st_size);
        data = static_cast<char*>(std::malloc(length + 1));
        if (data && std::fread(data, 1, length, file) == length) {
            data[length] = '\0';
            if (size) *size = static_cast<std::uint32_t>(length);
        } else {
            std::free(data);
            data = nullptr;
        }
    }
    std::fclose(file);
    return data;
}

void QubEngine::freeResource(void* resource) { std::free(resource); }

TextureHandle QubEngine::loadTexture(const char* nameOrData, std::uint32_t size, bool /*mipmap*/) {
    return size == 0 ? textures_.loadFromFile(nameOrData)
                     : textures_.loadFromMemory(nameOrData, size);
}

void QubEngine::freeTexture(TextureHandle texture) { textures_.free(texture); }

// Textures are never padded, so the original size is the size.
int QubEngine::textureWidth(TextureHandle texture, bool) { return textures_.width(texture); }

int QubEngine::textureHeight(TextureHandle texture, bool) { return textures_.height(texture); }

} // namespace qub
