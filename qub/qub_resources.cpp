#include "qub/qub_engine.h"

#include "image/image.h"
#include "image/input_file.h"
#include "image/limits.h"

#include <cstdio>
#include <cstdlib>

namespace qub {

// Only a regular file below the resource limit is read.
void* QubEngine::loadResource(const char* fileName, std::uint32_t* size) {
    if (size) *size = 0;
    const imaging::InputFile input =
        imaging::openInputFile(fileName, InputLimits::kMaxResourceBytes);
    if (input.status != imaging::InputFileStatus::Ok) return nullptr;
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
    imaging::DecodedImage image;
    if (!data || imaging::decodeImage(data, size, image) != imaging::ImageStatus::Ok) return 0;
    return createTexture(image.width, image.height, image.pixels.data());
}

namespace {

// Sizes past the image limits are refused, as a decoded image's would be.
bool acceptedSize(int width, int height) {
    return width > 0 && height > 0 && width <= InputLimits::kMaxImageSide &&
           height <= InputLimits::kMaxImageSide &&
           std::uint64_t(width) * std::uint64_t(height) <= InputLimits::kMaxImagePixels;
}

} // namespace

TextureHandle QubEngine::createTexture(int width, int height, const std::uint32_t* argb) {
    if (!driver_ || !acceptedSize(width, height)) return 0;
    const DriverTexture texture = driver_->createTexture(width, height, argb);
    if (texture == 0) return 0;
    return textures_.add(TextureTable::Entry{texture, width, height});
}

TextureHandle QubEngine::adoptTexture(int width, int height, std::uint32_t* argb,
                                      void (*release)(void* context), void* context) {
    if (!driver_ || !argb || !acceptedSize(width, height)) {
        if (release) release(context);
        return 0;
    }
    const DriverTexture texture = driver_->adoptTexture(width, height, argb, release, context);
    if (texture == 0) return 0;
    return textures_.add(TextureTable::Entry{texture, width, height});
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
