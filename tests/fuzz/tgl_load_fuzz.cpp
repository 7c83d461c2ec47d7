// The whole load path with our engine, headless: images are really decoded.

#include "engine/engine.h"
#include "engine/engine_test_hooks.h"
#include "tgl/tgl_animation.h"
#include "xlibplus/string/string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

Engine* startedEngine() {
    static Engine* engine = [] {
        Engine* e = qubCreate(kQubInterfaceVersion);
        e->testHooks()->setOffscreen(true);
        if (!e->init()) std::abort();
        return e;
    }();
    return engine;
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
    if (engine->testHooks()->liveTextureCount() != texturesBefore) std::abort(); // a texture leaked
    return 0;
}
