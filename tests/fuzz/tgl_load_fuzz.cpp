// The whole load path with our engine, headless: images are really decoded,
// once by CTGL::load and once as the viewer loads, off the calling thread;
// both must give the same frames the same sprites.

#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "xlibplus/string/string.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

Engine* startedEngine() {
    static Engine* engine = [] {
        Engine* e = qubCreate(kQubInterfaceVersion);
        e->extensions()->setOffscreen(true);
        if (!e->init()) std::abort();
        return e;
    }();
    return engine;
}

const std::string& scratchFile() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / "tgl_load_fuzz.tgl").string();
    return path;
}

void loadBothWays(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchFile();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return;

    CTGL direct;
    const bool loaded = direct.load(path.c_str());
    TglLoader loader;
    loader.start(path.c_str());
    TglLoader::Progress progress;
    while ((progress = loader.poll(std::chrono::steady_clock::now() + std::chrono::seconds(1))) ==
           TglLoader::Progress::Loading) {
    }
    if (loaded != (progress == TglLoader::Progress::Loaded)) std::abort();
    const std::unique_ptr<CTGL> background(loader.take());
    if (!loaded) return;
    if (background->frames.size() != direct.frames.size()) std::abort();
    for (std::int32_t i = 0; i < direct.frames.size(); ++i)
        if ((background->frames[i].sprite == nullptr) != (direct.frames[i].sprite == nullptr))
            std::abort(); // the two ways disagree on a frame
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Engine* engine = startedEngine();
    const int texturesBefore = engine->testHooks()->liveTextureCount();
    {
        const char* bytes = reinterpret_cast<const char*>(data);
        xlibplus::xStringA file(bytes, bytes + size);
        CTGL animation;
        animation.setImageLimit(4 << 20);
        animation.parse(file);
    }
    loadBothWays(data, size);
    if (engine->testHooks()->liveTextureCount() != texturesBefore) std::abort(); // a texture leaked
    return 0;
}
