// A .tgl file's thumbnail two ways: `tgl thumbnail`'s path (read, decode,
// crop, fit, PNG) and gdk-pixbuf's through our loader module, as file
// managers' thumbnailers take it (loaded at 256 x 256).
//     build/bin/thumbnail_bench

#include "format/animation.h"
#include "format/thumbnail.h"
#include "image/image.h"

#include <benchmark/benchmark.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

void toolPath(benchmark::State& state) {
    const std::string out = (fs::temp_directory_path() / "tgl-thumbnail-bench.png").string();
    for (auto _ : state) {
        std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(SAMPLE);
        tglformat::Animation animation;
        if (!source || !tglformat::readAnimation(*source, animation))
            state.SkipWithError("no file");
        const tglformat::Picture picture = tglformat::thumbnailOf(animation, 256);
        imaging::writePngFile(out.c_str(), picture.pixels.data(), picture.width, picture.height);
    }
}

void pixbufPath(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / "tgl-thumbnail-bench";
    fs::create_directories(dir / "mime/packages");
    const std::string setup = "cp '" MIME_XML "' '" + (dir / "mime/packages").string() +
                              "' && update-mime-database '" + (dir / "mime").string() +
                              "' && '" QUERY_LOADERS "' '" PIXBUF_MODULE "' > '" +
                              (dir / "loaders.cache").string() + "'";
    if (std::system(setup.c_str()) != 0) state.SkipWithError("no loaders cache");
    setenv("GDK_PIXBUF_MODULE_FILE", (dir / "loaders.cache").c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir.string() + ":/usr/share").c_str(), 1);
    for (auto _ : state) {
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_size(SAMPLE, 256, 256, nullptr);
        if (!pixbuf)
            state.SkipWithError("not loaded");
        else
            g_object_unref(pixbuf);
    }
}

} // namespace

BENCHMARK(toolPath)->Unit(benchmark::kMillisecond);
BENCHMARK(pixbufPath)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
