#include "qub/qub_engine.h"

#include "qub/image/input_file.h"
#include "qub/image/limits.h"

#include <cstdio>
#include <cstdlib>

namespace qub {

// Only a regular file below the resource limit is read.
void* QubEngine::loadResource(const char* fileName, std::uint32_t* size) {
    if (size) *size = 0;
    const InputFile input = openInputFile(fileName, InputLimits::kMaxResourceBytes);
    if (input.status != InputFileStatus::Ok) return nullptr;
    const std::size_t length = static_cast<std::size_t>(input.size);
    char* data = static_cast<char*>(std::malloc(length + 1));
    if (data && std::fread(data, 1, length, input.file) == length) {
        data[length] = '\0';
        if (size) *size = static_cast<std::uint32_t>(length);
    } else {
        std::free(data);
        data = nullptr;
    }
    std::fclose(input.file);
    return data;
}

void QubEngine::freeResource(void* resource) { std::free(resource); }

// Nothing is logged when an image does not load: the caller sees 0.
TextureHandle QubEngine::loadTexture(const char* nameOrData, std::uint32_t size, bool /*mipmap*/) {
    if (!driver_ || !nameOrData) return 0;
    if (size != 0) return adopt(reinterpret_cast<const std::uint8_t*>(nameOrData), size);
    std::uint32_t fileSize = 0;
    void* file = loadResource(nameOrData, &fileSize);
    const TextureHandle texture = adopt(static_cast<const std::uint8_t*>(file), fileSize);
    freeResource(file);
    return texture;
}

TextureHandle QubEngine::adopt(const std::uint8_t* data, std::size_t size) {
    DecodedImage image;
    if (!data || decodeImage(data, size, image) != ImageStatus::Ok) return 0;
    const DriverTexture texture = driver_->createTexture(image);
    if (texture == 0) return 0;
    return textures_.add(TextureTable::Entry{texture, image.width, image.height});
}

void QubEngine::freeTexture(TextureHandle texture) {
    const DriverTexture made = textures_.remove(texture);
    if (made != 0) driver_->freeTexture(made);
}

// Textures are never padded, so the original size is the size.
int QubEngine::textureWidth(TextureHandle texture, bool) {
    const TextureTable::Entry* entry = textures_.find(texture);
    return entry ? entry->width : 0;
}

int QubEngine::textureHeight(TextureHandle texture, bool) {
    const TextureTable::Entry* entry = textures_.find(texture);
    return entry ? entry->height : 0;
}

} // namespace qub
