#include "tests/support/recording_engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

} // namespace

RecordingEngine& RecordingEngine::instance() {
    static RecordingEngine engine;
    return engine;
}

void RecordingEngine::reset() {
    calls.clear();
    references = 0;
    initResult = true;
    framesToRun = 0;
    frameCallback = nullptr;
    renderCallback = nullptr;
    quads.clear();
    textureSizes.clear();
    resources.clear();
    textureFiles.clear();
    resourcesHeld = 0;
    keepRecords = true;
    decodeMemoryImages = false;
    liveTextures = 0;
}

void RecordingEngine::release() {
    --references;
    record("release");
}

bool RecordingEngine::init() {
    record("init");
    return initResult;
}

void RecordingEngine::shutdown() { record("shutdown"); }

bool RecordingEngine::run() {
    record("run");
    for (int i = 0; i < framesToRun; ++i) {
        if (frameCallback && frameCallback()) break;
        if (renderCallback) renderCallback();
    }
    return true;
}

void RecordingEngine::log(const char* format, ...) {
    char text[1024];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    record(std::string("log(") + text + ")");
}

void RecordingEngine::setBoolState(int id, bool value) {
    record("setBoolState(" + std::to_string(id) + "," + (value ? "true" : "false") + ")");
}

void RecordingEngine::setCallbackState(int id, EngineCallback value) {
    if (id == QubState::kFrameCallback) frameCallback = value;
    if (id == QubState::kRenderCallback) renderCallback = value;
    record("setCallbackState(" + std::to_string(id) + ")");
}

void RecordingEngine::setIntState(int id, int value) {
    record("setIntState(" + std::to_string(id) + "," + std::to_string(value) + ")");
}

void RecordingEngine::setStringState(int id, const char* value) {
    record("setStringState(" + std::to_string(id) + "," + (value ? value : "(null)") + ")");
}

WindowHandle RecordingEngine::getWindowHandle(int id) {
    record("getWindowHandle(" + std::to_string(id) + ")");
    return windowHandle;
}

void* RecordingEngine::loadResource(const char* fileName, std::uint32_t* size) {
    record(std::string("loadResource(") + (fileName ? fileName : "(null)") + ")");
    if (size) *size = 0;
    auto found = fileName ? resources.find(fileName) : resources.end();
    if (found == resources.end()) return nullptr;
    // Not zero-terminated: callers must go by the size.
    auto* copy = static_cast<char*>(std::malloc(found->second.size() + 1));
    std::memcpy(copy, found->second.data(), found->second.size());
    copy[found->second.size()] = 'X';
    if (size) *size = static_cast<std::uint32_t>(found->second.size());
    ++resourcesHeld;
    return copy;
}

void RecordingEngine::freeResource(void* resource) {
    record("freeResource");
    if (resource) --resourcesHeld;
    std::free(resource);
}

bool RecordingEngine::beginScene(std::uint32_t target) {
    if (!keepRecords) return true;
    record("beginScene(" + std::to_string(target) + ")");
    return true;
}

void RecordingEngine::endScene() { record("endScene"); }

void RecordingEngine::clearScreen(std::uint32_t argb) {
    if (keepRecords) record("clearScreen(" + hex(argb) + ")");
}

void RecordingEngine::drawQuad(const Quad* quad) {
    record("drawQuad");
    if (keepRecords) quads.push_back(*quad);
}

TextureHandle RecordingEngine::loadTexture(const char* nameOrData, std::uint32_t size, bool) {
    if (size != 0) {
        record("loadTexture(" + std::to_string(size) + " bytes)");
        if (!decodeMemoryImages) return 0;
        ++liveTextures;
        textureSizes[++lastTexture] = {8, 8};
        return lastTexture;
    }
    record(std::string("loadTexture(") + nameOrData + ")");
    auto found = textureFiles.find(nameOrData);
    return found == textureFiles.end() ? 0 : found->second;
}

TextureHandle RecordingEngine::createTexture(int width, int height, const std::uint32_t*) {
    record("createTexture(" + std::to_string(width) + "x" + std::to_string(height) + ")");
    if (!decodeMemoryImages) return 0;
    ++liveTextures;
    textureSizes[++lastTexture] = {width, height};
    return lastTexture;
}

TextureHandle RecordingEngine::adoptTexture(int width, int height, std::uint32_t* argb,
                                            void (*release)(void* context), void* context) {
    const TextureHandle texture = createTexture(width, height, argb);
    if (release) release(context); // nothing is drawn from them
    return texture;
}

void RecordingEngine::freeTexture(TextureHandle texture) {
    record("freeTexture(" + std::to_string(texture) + ")");
    if (textureSizes.erase(texture) != 0 && texture > 1000) --liveTextures;
}

int RecordingEngine::textureWidth(TextureHandle texture, bool) {
    record("textureWidth(" + std::to_string(texture) + ")");
    auto found = textureSizes.find(texture);
    return found == textureSizes.end() ? 0 : found->second.first;
}

int RecordingEngine::textureHeight(TextureHandle texture, bool) {
    record("textureHeight(" + std::to_string(texture) + ")");
    auto found = textureSizes.find(texture);
    return found == textureSizes.end() ? 0 : found->second.second;
}

extern "C" Engine* qubCreate(std::uint32_t interfaceVersion) {
    if (interfaceVersion != kQubInterfaceVersion) return nullptr;
    RecordingEngine& engine = RecordingEngine::instance();
    ++engine.references;
    engine.calls.push_back("qubCreate");
    return &engine;
}
