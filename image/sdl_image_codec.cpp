#include "image/image_decoder.h"

#include <SDL.h>
#include <SDL_image.h>

#include <climits>
#include <cstring>

namespace imaging {

namespace {

// SDL2_image's loader for exactly the probed format, never its general one,
// which would try every format it knows.
SDL_Surface* loadAs(ImageFormat format, SDL_RWops* source) {
    switch (format) {
    case ImageFormat::Png: return IMG_LoadPNG_RW(source);
    case ImageFormat::Bmp: return IMG_LoadBMP_RW(source);
    case ImageFormat::Jpeg: return IMG_LoadJPG_RW(source);
    case ImageFormat::Tga: return IMG_LoadTGA_RW(source);
    }
    return nullptr;
}

class SdlImageDecoder final : public ImageDecoder {
  public:
    bool decode(const std::uint8_t* data, std::size_t size, const ImageHeader& header,
                DecodedImage& out) const override {
        if (size > INT_MAX) return false;
        SDL_RWops* source = SDL_RWFromConstMem(data, static_cast<int>(size));
        if (!source) return false;
        SDL_Surface* decoded = loadAs(header.format, source);
        SDL_RWclose(source);
        if (!decoded) return false;
        // One pixel format for every image, so that colour keys and palettes
        // come out as alpha the same way for every type.
        SDL_Surface* argb = decoded;
        if (decoded->format->format != SDL_PIXELFORMAT_ARGB8888 || SDL_HasColorKey(decoded)) {
            argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
            SDL_FreeSurface(decoded);
        }
        if (!argb) return false;
        const bool fits = argb->w == header.width && argb->h == header.height;
        if (fits) {
            out.width = argb->w;
            out.height = argb->h;
            out.pixels.resize(std::size_t(argb->w) * std::size_t(argb->h));
            const std::size_t rowBytes = std::size_t(argb->w) * sizeof(std::uint32_t);
            for (int y = 0; y < argb->h; ++y)
                std::memcpy(out.pixels.data() + std::size_t(y) * std::size_t(argb->w),
                            static_cast<const std::uint8_t*>(argb->pixels) +
                                std::size_t(y) * std::size_t(argb->pitch),
                            rowBytes);
        }
        SDL_FreeSurface(argb);
        return fits;
    }
};

} // namespace

const ImageDecoder& platformImageDecoder() {
    static const SdlImageDecoder decoder;
    return decoder;
}

bool writePngFile(const char* path, const std::uint32_t* argb, int width, int height) {
    if (!path || !argb || width <= 0 || height <= 0) return false;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint32_t*>(argb), width, height, 32, width * 4, SDL_PIXELFORMAT_ARGB8888);
    const bool saved = surface && IMG_SavePNG(surface, path) == 0;
    SDL_FreeSurface(surface);
    return saved;
}

} // namespace imaging
