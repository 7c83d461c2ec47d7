// GIF in and out of tgl beside giflib's own decode and encode of the same
// frames: a 100-frame 256 x 256 GIF, each frame a full image with a palette
// of its own.
//   build/bin/gif_bench

#include "tools/tgl/animation_import.h"
#include "tools/tgl/commands.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int kSide = 256, kFrames = 100;

struct Frames {
    std::vector<std::vector<GifByteType>> indexes;
    std::vector<std::vector<GifColorType>> palettes;
};

// A ball of colour bands moving over a gradient, different in every frame.
const Frames& frames() {
    static const Frames made = [] {
        Frames f;
        for (int i = 0; i < kFrames; ++i) {
            std::vector<GifColorType> palette(256);
            for (int c = 0; c < 256; ++c)
                palette[std::size_t(c)] = {GifByteType(c), GifByteType((c * 3 + i) & 0xFF),
                                           GifByteType(255 - c)};
            std::vector<GifByteType> pixels(kSide * kSide);
            const int cx = 40 + i * 2, cy = 128;
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x) {
                    const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                    pixels[std::size_t(y * kSide + x)] =
                        GifByteType(d < 1600 ? (d / 16 + i) & 0xFF : (x + y) / 2);
                }
            f.indexes.push_back(std::move(pixels));
            f.palettes.push_back(std::move(palette));
        }
        return f;
    }();
    return made;
}

int toFile(GifFileType* gif, const GifByteType* data, int size) {
    return int(std::fwrite(data, 1, std::size_t(size), static_cast<std::FILE*>(gif->UserData)));
}

// giflib's own writing of the frames: EGifSpew of a whole in-memory GIF.
void writeWithGiflib(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    int error = 0;
    GifFileType* gif = EGifOpen(file, toFile, &error);
    gif->SWidth = gif->SHeight = kSide;
    gif->SColorResolution = 8;
    gif->SBackGroundColor = 0;
    for (int i = 0; i < kFrames; ++i) {
        SavedImage* image = GifMakeSavedImage(gif, nullptr);
        image->ImageDesc = {0,     0,
                            kSide, kSide,
                            false, GifMakeMapObject(256, frames().palettes[std::size_t(i)].data())};
        image->RasterBits = static_cast<GifByteType*>(malloc(kSide * kSide));
        std::copy(frames().indexes[std::size_t(i)].begin(), frames().indexes[std::size_t(i)].end(),
                  image->RasterBits);
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 4, NO_TRANSPARENT_COLOR};
        EGifGCBToSavedExtension(&control, gif, i);
    }
    EGifSpew(gif); // closes the GIF
    std::fclose(file);
}

std::string folder() {
    static const std::string made = [] {
        char name[] = "/tmp/gif_bench_XXXXXX";
        return std::string(mkdtemp(name));
    }();
    return made;
}

std::string fixture() {
    static const std::string path = [] {
        const std::string p = folder() + "/in.gif";
        writeWithGiflib(p);
        return p;
    }();
    return path;
}

void BM_GiflibDecode(benchmark::State& state) {
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(fixture().c_str(), &error);
        DGifSlurp(gif);
        benchmark::DoNotOptimize(gif->SavedImages);
        DGifCloseFile(gif, &error);
    }
}
BENCHMARK(BM_GiflibDecode)->Unit(benchmark::kMillisecond);

// The same decode in tgl, each frame composed on its canvas as a browser shows it.
void BM_TglComposeGif(benchmark::State& state) {
    for (auto _ : state)
        tgltool::importGif(fixture(), [](tgltool::SourceFrame&& frame) {
            benchmark::DoNotOptimize(frame.canvas.pixels.data());
        });
}
BENCHMARK(BM_TglComposeGif)->Unit(benchmark::kMillisecond);

// The whole command: compose, trim, PNG per frame, the .tgl file written.
void BM_TglPackGif(benchmark::State& state) {
    tgltool::PackOptions options;
    options.inputs = {fixture()};
    options.output = folder() + "/packed.tgl";
    options.overwrite = true;
    for (auto _ : state)
        tgltool::pack(options);
}
BENCHMARK(BM_TglPackGif)->Unit(benchmark::kMillisecond);

void BM_GiflibEncode(benchmark::State& state) {
    for (auto _ : state)
        writeWithGiflib(folder() + "/giflib.gif");
}
BENCHMARK(BM_GiflibEncode)->Unit(benchmark::kMillisecond);

void BM_TglRenderGif(benchmark::State& state) {
    tgltool::PackOptions options;
    options.inputs = {fixture()};
    options.output = folder() + "/packed.tgl";
    options.overwrite = true;
    tgltool::pack(options);
    tgltool::RenderOptions gif;
    gif.mode = tgltool::RenderMode::Gif;
    gif.overwrite = true;
    gif.look = {true, false};
    for (auto _ : state)
        tgltool::render(options.output, folder() + "/out.gif", gif);
}
BENCHMARK(BM_TglRenderGif)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(folder());
}
