#pragma once

#include "engine/engine.h"
#include "engine/engine_extensions.h"
#include "engine/engine_test_hooks.h"
#include "qub/driver.h"
#include "qub/drop_coalescer.h"
#include "qub/engine_log.h"
#include "qub/frame_pacer.h"
#include "qub/texture_table.h"

#include <memory>
#include <string>
#include <vector>

namespace qub {

// The engine core: states, the frame loop and its pacing, texture handles,
// the log, drop coalescing and whole-file loading, over the platform's driver.
// One instance per process, made and counted by qubCreate; the last release
// deletes it, shutting down first. Everything runs on the thread that called init.
class QubEngine final : public Engine,
                        public EngineExtensions,
                        public EngineTestHooks,
                        private DriverEvents {
  public:
    // The one instance, made on first use, with one more reference.
    static QubEngine* acquire();

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
    EngineTestHooks* testHooks() override { return this; }
    EngineExtensions* extensions() override { return this; }

    TextureHandle createTexture(int width, int height, const std::uint32_t* argb) override;
    TextureHandle adoptTexture(int width, int height, std::uint32_t* argb,
                               void (*release)(void* context), void* context) override;
    void setOffscreen(bool offscreen) override { settings_.offscreen = offscreen; }
    bool readBackBuffer(std::uint32_t* argb, int width, int height) override;
    bool saveBackBuffer(const char* pngFileName) override;

    void setFailInit(bool fail) override { failInit_ = fail; }
    void setStopAfterFrames(int frames) override { stopAfterFrames_ = frames; }
    void setBeforePresent(EngineCallback callback) override { beforePresent_ = callback; }
    bool queueDrop(const char* const* paths, int count) override;
    int referenceCount() override { return references_; }
    int liveTextureCount() override { return textures_.count(); }

  private:
    QubEngine() = default;
    QubEngine(const QubEngine&) = delete;
    QubEngine& operator=(const QubEngine&) = delete;
    ~QubEngine();

    // DriverEvents
    void windowClosed() override { closed_ = true; }
    void dropBegan() override { drops_.begin(); }
    void fileDropped(const char* path) override;
    void dropCompleted() override;

    // Handles every pending event; false once the window has been closed.
    bool pumpEvents();
    bool pausedForFocus() const;
    TextureHandle adopt(const std::uint8_t* data, std::size_t size);

    static QubEngine* instance_;
    int references_ = 0;

    // States.
    WindowSettings settings_;
    bool runUnfocused_ = true;
    EngineCallback frameCallback_ = nullptr;
    EngineCallback renderCallback_ = nullptr;
    int frameRate_ = 60;
    std::string logFileName_;
    bool failInit_ = false;
    int stopAfterFrames_ = 0;
    EngineCallback beforePresent_ = nullptr;

    // While initialised.
    std::unique_ptr<Driver> driver_;
    EngineLog log_;
    TextureTable textures_;

    // The loop.
    bool running_ = false;
    bool closed_ = false;
    bool stopAfterThisFrame_ = false;
    FramePacer pacer_;
    DropCoalescer drops_;
    std::vector<std::vector<std::string>> queuedDrops_;
};

} // namespace qub
