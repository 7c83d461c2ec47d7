// Our image decoders beside SDL2_image over libpng and libjpeg, the Linux
// decoder the viewer used before, on photograph-like frames of 256 x 256 and
// 800 x 600 in each format. Both give 0xAARRGGBB pixels.
//     build/bin/image_bench

#include "image/image.h"
#include "tools/common/tga_writer.h"

#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

enum Format { kPng, kJpeg, kBmp, kTga, kTgaRle };

// Smooth shading with grain and a soft alpha edge, as a rendered sprite has.
SDL_Surface* photograph(int width, int height) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    std::uint32_t seed = 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int grain = int(seed >> 16) % 16;
            const auto channel = [&](double v) {
                return std::uint32_t(std::min(255.0, std::max(0.0, v + grain)));
            };
            const std::uint32_t r = channel(128 + 100 * std::sin(x * 0.02 + y * 0.01));
            const std::uint32_t g = channel(128 + 100 * std::cos(y * 0.03));
            const std::uint32_t b = channel(60 + (x * y) % 150);
            const int edge = std::min({x, y, width - 1 - x, height - 1 - y});
            const std::uint32_t a = edge < 16 ? std::uint32_t(edge * 16) : 255;
            static_cast<std::uint32_t*>(s->pixels)[y * s->pitch / 4 + x] =
                a << 24 | r << 16 | g << 8 | b;
        }
    return s;
}

Bytes encoded(Format format, int width, int height) {
    SDL_Surface* s = photograph(width, height);
    const std::string path = (std::filesystem::temp_directory_path() / "tgl-image-bench").string();
    Bytes bytes;
    if (format == kTga || format == kTgaRle) {
        std::vector<std::uint32_t> pixels(static_cast<std::uint32_t*>(s->pixels),
                                          static_cast<std::uint32_t*>(s->pixels) + width * height);
        bytes = tgltools::encodeTga(width, height, pixels, format == kTgaRle);
    } else {
        if (format == kPng) IMG_SavePNG(s, path.c_str());
        if (format == kJpeg) IMG_SaveJPG(s, path.c_str(), 90);
        if (format == kBmp) SDL_SaveBMP(s, path.c_str());
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    SDL_FreeSurface(s);
    return bytes;
}

void ours(benchmark::State& state, Format format) {
    const Bytes bytes = encoded(format, int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        imaging::DecodedImage out;
        if (imaging::decodeImage(bytes.data(), bytes.size(), out) != imaging::ImageStatus::Ok)
            state.SkipWithError("not decoded");
        benchmark::DoNotOptimize(out.pixels.data());
    }
    state.counters["bytes"] = double(bytes.size());
}

void sdlImage(benchmark::State& state, Format format) {
    const Bytes bytes = encoded(format, int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        SDL_RWops* source = SDL_RWFromConstMem(bytes.data(), int(bytes.size()));
        SDL_Surface* decoded = format == kPng    ? IMG_LoadPNG_RW(source)
                               : format == kJpeg ? IMG_LoadJPG_RW(source)
                               : format == kBmp  ? IMG_LoadBMP_RW(source)
                                                 : IMG_LoadTGA_RW(source);
        SDL_RWclose(source);
        if (!decoded) state.SkipWithError("not decoded");
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(decoded);
        benchmark::DoNotOptimize(argb->pixels);
        SDL_FreeSurface(argb);
    }
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({256, 256})->Args({800, 600})->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK_CAPTURE(ours, png, kPng)->Apply(sizes);
BENCHMARK_CAPTURE(sdlImage, png, kPng)->Apply(sizes);
BENCHMARK_CAPTURE(ours, jpeg, kJpeg)->Apply(sizes);
BENCHMARK_CAPTURE(sdlImage, jpeg, kJpeg)->Apply(sizes);
BENCHMARK_CAPTURE(ours, bmp, kBmp)->Apply(sizes);
BENCHMARK_CAPTURE(sdlImage, bmp, kBmp)->Apply(sizes);
BENCHMARK_CAPTURE(ours, tga, kTga)->Apply(sizes);
BENCHMARK_CAPTURE(sdlImage, tga, kTga)->Apply(sizes);
BENCHMARK_CAPTURE(ours, tga_rle, kTgaRle)->Apply(sizes);
BENCHMARK_CAPTURE(sdlImage, tga_rle, kTgaRle)->Apply(sizes);

BENCHMARK_MAIN();
