#pragma once

#include "engine/engine.h"
#include "platform/windows_api.h"
#include "qub/engine_log.h"
#include "qub/frame_pacer.h"
#include "qub/texture_store.h"

#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
union SDL_Event;

namespace qub {

// The engine over SDL2 and SDL2_image. One instance per process, made and
// counted by qubCreate; the last release deletes it, shutting down first.
// Everything runs on the thread that called init.
class QubEngine final : public Engine {
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

    int referenceCount() override { return references_; }
    int liveTextureCount() override { return textures_.count(); }
    bool readBackBuffer(std::uint32_t* argb, int width, int height) override;
    bool saveBackBuffer(const char* pngFileName) override;
    bool queueDrop(const char* const* paths, int count) override;

  private:
    QubEngine() = default;
    QubEngine(const QubEngine&) = delete;
    QubEngine& operator=(const QubEngine&) = delete;
    ~QubEngine();

    bool startVideo();
    bool createWindowAndRenderer();
    // Handles every pending event; false once the window has been closed.
    bool pumpEvents();
    void handleDropEvent(const SDL_Event& event);
    bool pausedForFocus() const;

    static QubEngine* instance_;
    int references_ = 0;

    // States.
    bool windowed_ = true;
    bool runUnfocused_ = true;
    EngineCallback frameCallback_ = nullptr;
    EngineCallback renderCallback_ = nullptr;
    int screenWidth_ = 800;
    int screenHeight_ = 600;
    int frameRate_ = 60;
    std::string windowTitle_;
    std::string logFileName_;
    bool headless_ = false;
    bool failInit_ = false;
    int stopAfterFrames_ = 0;
    EngineCallback beforePresent_ = nullptr;

    // Resources while initialised.
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    HWND windowHandle_ = nullptr;
    EngineLog log_;
    TextureStore textures_;

    // The loop.
    bool running_ = false;
    bool stopAfterThisFrame_ = false;
    FramePacer pacer_;
    std::vector<std::string> droppedPaths_;
    bool dropInProgress_ = false;
};

} // namespace qub
