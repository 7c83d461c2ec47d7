#include "qub/drivers/sdl/sdl_driver.h"

#include "platform/window_host.h"
#include "qub/drivers/sdl/x11_errors.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
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

SDL_Color colourOf(std::uint32_t argb) {
    return SDL_Color{static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8),
                     static_cast<Uint8>(argb), static_cast<Uint8>(argb >> 24)};
}

SDL_BlendMode blendModeOf(std::int32_t mode) {
    return (mode & 2) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD;
}

constexpr int kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

// SDL's own choice ends with drivers that show nothing; a viewer without a
// display must say so and stop, not run unseen.
bool showsNothing(const char* driver) {
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                      std::strcmp(driver, "evdev") == 0);
}

} // namespace

std::unique_ptr<Driver> createDriver() { return std::make_unique<SdlDriver>(); }

SdlDriver::~SdlDriver() { close(); }

bool SdlDriver::open(const WindowSettings& settings) {
    if (renderer_) return true;
    if (!startVideo(settings.offscreen) || !createWindowAndRenderer(settings)) {
        close();
        return false;
    }
    windowHandle_ = platform::createWindow(engineWindowProcedure);
    return true;
}

bool SdlDriver::startVideo(bool offscreen) {
    if (offscreen) {
        videoStarted_ = initVideoWith("offscreen");
        if (!videoStarted_)
            std::fprintf(stderr, "qub: cannot start off-screen video: %s\n", SDL_GetError());
        return videoStarted_;
    }
    videoStarted_ = initVideoWith(nullptr);
    if (videoStarted_ && !showsNothing(SDL_GetCurrentVideoDriver())) {
        if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0)
            ignoreErrorsAboutVanishedWindows();
        return true;
    }
    std::fprintf(stderr, "qub: no display could be opened%s%s\n", videoStarted_ ? "" : ": ",
                 videoStarted_ ? "" : SDL_GetError());
    return false;
}

bool SdlDriver::createWindowAndRenderer(const WindowSettings& settings) {
    // Shown only once its renderer is made: making an OpenGL renderer makes
    // SDL replace the window with a new one.
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!settings.windowed) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow(settings.title.c_str(), SDL_WINDOWPOS_CENTERED,
                               SDL_WINDOWPOS_CENTERED, settings.width, settings.height, flags);
    if (!window_) {
        std::fprintf(stderr, "qub: cannot create the window: %s\n", SDL_GetError());
        return false;
    }
    if (!settings.offscreen) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
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
        std::fprintf(stderr, "qub: cannot create a renderer: %s\n", SDL_GetError());
        return false;
    }
    if (!settings.offscreen) SDL_ShowWindow(window_);
    return true;
}

void SdlDriver::close() {
    for (SDL_Texture* texture : textures_)
        SDL_DestroyTexture(texture);
    textures_.clear();
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    platform::destroyWindow(windowHandle_);
    windowHandle_ = nullptr;
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
    frame_.clear();
    shown_.clear();
    stale_ = true;
}

void SdlDriver::setTitle(const char* title) {
    if (window_) SDL_SetWindowTitle(window_, title);
}

void SdlDriver::pumpEvents(DriverEvents& events) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
        handleEvent(event, events);
}

void SdlDriver::handleEvent(const SDL_Event& event, DriverEvents& events) {
    switch (event.type) {
    case SDL_QUIT: events.windowClosed(); break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) events.windowClosed();
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
            event.window.event == SDL_WINDOWEVENT_SHOWN ||
            event.window.event == SDL_WINDOWEVENT_RESTORED ||
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            stale_ = true; // the window may have lost what it showed
        break;
    case SDL_DROPBEGIN: events.dropBegan(); break;
    case SDL_DROPFILE:
        if (event.drop.file) events.fileDropped(event.drop.file);
        SDL_free(event.drop.file);
        break;
    case SDL_DROPTEXT: SDL_free(event.drop.file); break;
    case SDL_DROPCOMPLETE: events.dropCompleted(); break;
    case SDL_KEYDOWN: sendKey(event.key.keysym.sym); break;
    case SDL_TEXTINPUT:
        // One WM_CHAR per character of the typed text; ASCII only.
        for (const char* c = event.text.text; *c; ++c)
            if (static_cast<unsigned char>(*c) < 0x80)
                platform::sendMessage(windowHandle_, WM_CHAR, static_cast<WPARAM>(*c), 1);
        break;
    default: break;
    }
}

// Keys reach the window procedure as WM_KEYDOWN with the virtual-key code,
// as they do on Windows; keys with no code here are not sent.
void SdlDriver::sendKey(std::int32_t key) {
    UINT code = 0;
    switch (key) {
    case SDLK_ESCAPE: code = VK_ESCAPE; break;
    case SDLK_SPACE: code = VK_SPACE; break;
    case SDLK_END: code = VK_END; break;
    case SDLK_HOME: code = VK_HOME; break;
    case SDLK_LEFT: code = VK_LEFT; break;
    case SDLK_UP: code = VK_UP; break;
    case SDLK_RIGHT: code = VK_RIGHT; break;
    case SDLK_DOWN: code = VK_DOWN; break;
    default:
        if (key >= SDLK_a && key <= SDLK_z) code = static_cast<UINT>(key - SDLK_a + 'A');
        if (key >= SDLK_0 && key <= SDLK_9) code = static_cast<UINT>(key);
        break;
    }
    if (code != 0) platform::sendMessage(windowHandle_, WM_KEYDOWN, code, 1);
}

bool SdlDriver::hasFocus() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlDriver::waitForEvents(int milliseconds) { SDL_WaitEventTimeout(nullptr, milliseconds); }

void SdlDriver::deliverDrop(const std::vector<std::string>& paths) {
    platform::deliverDrop(windowHandle_, paths);
}

DriverTexture SdlDriver::createTexture(int width, int height, const std::uint32_t* argb) {
    if (!renderer_) return 0;
    SDL_Texture* texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                             SDL_TEXTUREACCESS_STATIC, width, height);
    if (!texture) return 0;
    if (argb && SDL_UpdateTexture(texture, nullptr, argb,
                                  width * static_cast<int>(sizeof(std::uint32_t))) != 0) {
        SDL_DestroyTexture(texture);
        return 0;
    }
    textures_.insert(texture);
    return reinterpret_cast<DriverTexture>(texture);
}

bool SdlDriver::updateTexture(DriverTexture texture, int top, int rows, int width,
                              const std::uint32_t* argb) {
    auto found = textures_.find(reinterpret_cast<SDL_Texture*>(texture));
    if (found == textures_.end()) return false;
    const SDL_Rect area{0, top, width, rows};
    stale_ = true; // the window may show this texture
    return SDL_UpdateTexture(*found, &area, argb,
                             width * static_cast<int>(sizeof(std::uint32_t))) == 0;
}

void SdlDriver::freeTexture(DriverTexture texture) {
    auto found = textures_.find(reinterpret_cast<SDL_Texture*>(texture));
    if (found == textures_.end()) return;
    SDL_DestroyTexture(*found);
    textures_.erase(found);
    stale_ = true; // a texture made later may take its address
}

bool SdlDriver::beginFrame() {
    frame_.clear();
    rendered_ = false;
    return renderer_ != nullptr;
}

void SdlDriver::clear(std::uint32_t argb) {
    Operation clear{0, 1, Quad{}, 0};
    clear.quad.vertices[0].colour = argb;
    frame_.push_back(clear);
}

void SdlDriver::drawQuad(const Quad& quad, DriverTexture texture) {
    frame_.push_back(Operation{texture, 0, quad, 0});
}

void SdlDriver::render() {
    if (!renderer_ || rendered_) return;
    rendered_ = true;
    SDL_SetRenderTarget(renderer_, nullptr);
    for (const Operation& op : frame_) {
        if (op.clear != 0) {
            const SDL_Color c = colourOf(op.quad.vertices[0].colour);
            SDL_SetRenderDrawColor(renderer_, c.r, c.g, c.b, c.a);
            SDL_RenderClear(renderer_);
            continue;
        }
        SDL_Vertex corners[4];
        for (int i = 0; i < 4; ++i) {
            const Vertex& v = op.quad.vertices[i];
            corners[i] = SDL_Vertex{SDL_FPoint{v.x, v.y}, colourOf(v.colour), SDL_FPoint{v.u, v.v}};
        }
        auto* sdlTexture = reinterpret_cast<SDL_Texture*>(op.texture);
        const SDL_BlendMode blend = blendModeOf(op.quad.blendMode);
        if (sdlTexture)
            SDL_SetTextureBlendMode(sdlTexture, blend);
        else
            SDL_SetRenderDrawBlendMode(renderer_, blend);
        SDL_RenderGeometry(renderer_, sdlTexture, corners, 4, kQuadIndices, 6);
    }
}

// Byte for byte, so that a NaN corner compares equal to itself.
void SdlDriver::present() {
    if (!renderer_) return;
    const bool same = frame_.size() == shown_.size() &&
                      (frame_.empty() || std::memcmp(frame_.data(), shown_.data(),
                                                     frame_.size() * sizeof(Operation)) == 0);
    if (same && !stale_ && !rendered_) return;
    render();
    SDL_RenderPresent(renderer_);
    shown_.swap(frame_);
    stale_ = false;
}

bool SdlDriver::backBufferSize(int& width, int& height) {
    return renderer_ && SDL_GetRendererOutputSize(renderer_, &width, &height) == 0;
}

bool SdlDriver::readBack(std::uint32_t* argb, int width, int height) {
    render();
    SDL_Rect area{0, 0, width, height};
    return renderer_ && SDL_RenderReadPixels(renderer_, &area, SDL_PIXELFORMAT_ARGB8888, argb,
                                             width * static_cast<int>(sizeof(std::uint32_t))) == 0;
}

} // namespace qub
