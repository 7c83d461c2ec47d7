#pragma once

#include "engine/engine.h"
#include "engine/engine_extensions.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

// An engine that writes down every call, for tests of code that talks to the
// engine. Linking recording_engine makes qubCreate hand out this one instance
// and count its references; `reset` starts a test afresh.
class RecordingEngine final : public Engine, public EngineExtensions {
  public:
    static RecordingEngine& instance();
    void reset();

    std::vector<std::string> calls;
    int references = 0;
    bool initResult = true;
    int framesToRun = 0; // run() calls the frame and render callbacks this often
    WindowHandle windowHandle = reinterpret_cast<WindowHandle>(0x1000);

    std::vector<Quad> quads;                                   // every drawQuad, in order
    std::map<TextureHandle, std::pair<int, int>> textureSizes; // answers textureWidth/Height
    std::map<std::string, std::string> resources;              // what loadResource finds
    std::map<std::string, TextureHandle> textureFiles;         // what loadTexture(name, 0) finds
    int resourcesHeld = 0;                                     // loaded and not yet freed
    bool keepRecords = true; // false: no calls or quads kept, for long runs
    bool decodeMemoryImages =
        false; // true: a memory image gets a new 8 x 8 texture, pixels one of their size
    int liveTextures = 0;
    TextureHandle lastTexture = 1000;

    void release() override;
    bool init() override;
    void shutdown() override;
    bool run() override;
    void log(const char* format, ...) override;
    void setBoolState(int id, bool value) override;
    void setCallbackState(int id, EngineCallback value) override;
    void setIntState(int id, int value) override;
    void setStringState(int id, const char* value) override;
    WindowHandle getWindowHandle(int id) override;
    void* loadResource(const char* fileName, std::uint32_t* size) override;
    void freeResource(void* resource) override;
    bool beginScene(std::uint32_t target) override;
    void endScene() override;
    void clearScreen(std::uint32_t argb) override;
    void drawQuad(const Quad* quad) override;
    TextureHandle loadTexture(const char* nameOrData, std::uint32_t size, bool mipmap) override;
    void freeTexture(TextureHandle texture) override;
    int textureWidth(TextureHandle texture, bool original) override;
    int textureHeight(TextureHandle texture, bool original) override;

    EngineTestHooks* testHooks() override { return nullptr; } // its fields say it all
    EngineExtensions* extensions() override { return this; }

    TextureHandle createTexture(int width, int height, const std::uint32_t* argb) override;
    TextureHandle adoptTexture(int width, int height, std::uint32_t* argb,
                               void (*release)(void* context), void* context) override;
    void setOffscreen(bool) override {}
    bool readBackBuffer(std::uint32_t*, int, int) override { return false; }
    bool saveBackBuffer(const char*) override { return false; }

    EngineCallback frameCallback = nullptr;
    EngineCallback renderCallback = nullptr;

  private:
    RecordingEngine() = default;
    void record(std::string call) {
        if (keepRecords) calls.push_back(std::move(call));
    }
};
