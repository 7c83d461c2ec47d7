#include "qub/qub_engine.h"

#include "platform/window_host.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_opengl.h>

#include <cstdarg>
#include <cstring>

namespace qub {

namespace {

// The engine's own window procedure: the end of every subclassing chain.
LRESULT CALLBACK engineWindowProcedure(HWND, UINT, WPARAM, LPARAM) { return 0; }

// Starts SDL's video on the named driver (null: SDL's own choice).
bool initVideoWith(const char* driver) {
    if (driver) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
    bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (driver) SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    return started;
}

// An OpenGL that rasterises on the CPU (no GPU, as under Xvfb) costs more than
// SDL's own software renderer for the same quads, so that one is preferred there.
bool rasterisesOnCpu(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0)
        return false;
    using GetString = const GLubyte*(APIENTRY*)(GLenum);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const char* name = getString ? reinterpret_cast<const char*>(getString(GL_RENDERER)) : nullptr;
    return name && (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") ||
                    std::strstr(name, "Software Rasterizer"));
}

} // namespace

QubEngine* QubEngine::instance_ = nullptr;

QubEngine* QubEngine::acquire() {
    if (!instance_) instance_ = new QubEngine;
    ++instance_->references_;
    return instance_;
}

QubEngine::~QubEngine() { shutdown(); }

void QubEngine::release() {
    if (references_ <= 0) return;
    if (--references_ > 0) return;
    instance_ = nullptr;
    delete this;
}

bool QubEngine::init() {
    if (renderer_) return true;
    log_.open(logFileName_);
    if (failInit_) {
        log_.line("qub: init refused by the test hook");
        return false;
    }
    if (!startVideo() || !createWindowAndRenderer()) {
        shutdown();
        return false;
    }
    textures_.attach(renderer_, &log_);
    windowHandle_ = platform::createWindow(engineWindowProcedure);

    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer_, &info);
    log_.line("qub: started %d x %d on video driver %s, renderer %s", screenWidth_, screenHeight_,
              SDL_GetCurrentVideoDriver(), info.name);
    return true;
}

bool QubEngine::startVideo() {
    if (!headless_ && initVideoWith(nullptr)) {
        videoStarted_ = true;
        return true;
    }
    if (!headless_) log_.line("qub: no display (%s); running headless", SDL_GetError());
    headless_ = true;
    if (!initVideoWith("offscreen")) {
        log_.line("qub: cannot start video: %s", SDL_GetError());
        return false;
    }
    videoStarted_ = true;
    return true;
}

bool QubEngine::createWindowAndRenderer() {
    Uint32 flags = headless_ ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
    if (!windowed_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow(windowTitle_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               screenWidth_, screenHeight_, flags);
    if (!window_) {
        log_.line("qub: cannot create the window: %s", SDL_GetError());
        return false;
    }
    if (!headless_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (renderer_ && rasterisesOnCpu(renderer_)) {
        SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
    }
    if (!renderer_) {
        // A software renderer writes to the window's own surface; SDL would
        // otherwise present that surface through OpenGL.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!renderer_) {
        log_.line("qub: cannot create a renderer: %s", SDL_GetError());
        return false;
    }
    IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    return true;
}

void QubEngine::shutdown() {
    bool wasRunning = renderer_ != nullptr;
    textures_.clear();
    textures_.attach(nullptr, &log_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    platform::destroyWindow(windowHandle_);
    windowHandle_ = nullptr;
    if (videoStarted_) {
        IMG_Quit();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted_ = false;
    }
    if (wasRunning) log_.line("qub: shut down");
    log_.close();
}

void QubEngine::log(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    log_.lineV(format, args);
    va_end(args);
}

void QubEngine::setBoolState(int id, bool value) {
    switch (id) {
    case QubState::kWindowed: windowed_ = value; break;
    case QubState::kRunUnfocused: runUnfocused_ = value; break;
    case QubState::kHeadless: headless_ = value; break;
    case QubState::kFailInit: failInit_ = value; break;
    default: break;
    }
}

void QubEngine::setCallbackState(int id, EngineCallback value) {
    switch (id) {
    case QubState::kFrameCallback: frameCallback_ = value; break;
    case QubState::kRenderCallback: renderCallback_ = value; break;
    case QubState::kBeforePresent: beforePresent_ = value; break;
    default: break;
    }
}

void QubEngine::setIntState(int id, int value) {
    switch (id) {
    case QubState::kScreenWidth: screenWidth_ = value; break;
    case QubState::kScreenHeight: screenHeight_ = value; break;
    case QubState::kFrameRate: frameRate_ = value; break;
    case QubState::kStopAfterFrames: stopAfterFrames_ = value; break;
    // The colour depth is the window system's choice under SDL.
    default: break;
    }
}

void QubEngine::setStringState(int id, const char* value) {
    const char* text = value ? value : "";
    switch (id) {
    case QubState::kWindowTitle:
        windowTitle_ = text;
        if (window_) SDL_SetWindowTitle(window_, text);
        break;
    case QubState::kLogFile: logFileName_ = text; break;
    default: break;
    }
}

WindowHandle QubEngine::getWindowHandle(int id) {
    return id == QubState::kMainWindow ? windowHandle_ : nullptr;
}

} // namespace qub

extern "C" Engine* qubCreate(std::uint32_t interfaceVersion) {
    if (interfaceVersion != kQubInterfaceVersion) return nullptr;
    return qub::QubEngine::acquire();
}
