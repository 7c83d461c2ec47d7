#include "qub/drivers/sdl/sdl_driver.h"

#include "platform/text_encoding.h"
#include "platform/window_host.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace qub {

namespace {

// SDL's own choice ends with drivers that show nothing; a viewer without a
// display must say so and stop, not run unseen.
bool showsNothing(const char* driver) {
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                      std::strcmp(driver, "evdev") == 0);
}

} // namespace

SdlDriver::~SdlDriver() { close(); }

bool SdlDriver::open(const WindowSettings& settings) {
    if (window_) return true;
    if (!startVideo() || !createWindow(settings)) {
        close();
        return false;
    }
    windowHandle_ = platform::createEngineWindow();
    return true;
}

// Off-screen targets are the Xlib driver's, so this is always a window.
bool SdlDriver::startVideo() {
    videoStarted_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (videoStarted_ && !showsNothing(SDL_GetCurrentVideoDriver())) return true;
    std::fprintf(stderr, "qub: no display could be opened%s%s\n", videoStarted_ ? "" : ": ",
                 videoStarted_ ? "" : SDL_GetError());
    return false;
}

bool SdlDriver::createWindow(const WindowSettings& settings) {
    // A window surface, never an OpenGL context: the canvas draws the picture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    Uint32 flags = SDL_WINDOW_SHOWN;
    if (!settings.windowed) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    window_ = SDL_CreateWindow(settings.title.c_str(), SDL_WINDOWPOS_CENTERED,
                               SDL_WINDOWPOS_CENTERED, settings.width, settings.height, flags);
    if (!window_) {
        std::fprintf(stderr, "qub: cannot create the window: %s\n", SDL_GetError());
        return false;
    }
    int width = settings.width, height = settings.height;
    SDL_GetWindowSize(window_, &width, &height);
    return makeCanvas(width, height);
}

void SdlDriver::close() {
    frames_.reset();
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    platform::destroyWindow(windowHandle_);
    windowHandle_ = nullptr;
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
}

void SdlDriver::setTitle(const char* title) {
    if (window_) SDL_SetWindowTitle(window_, textencoding::validUtf8(title).c_str());
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
            frames_.windowLost(); // the window may have lost what it showed
        break;
    case SDL_DROPBEGIN: events.dropBegan(); break;
    case SDL_DROPFILE:
        if (event.drop.file) events.fileDropped(event.drop.file);
        SDL_free(event.drop.file);
        break;
    case SDL_DROPTEXT: SDL_free(event.drop.file); break;
    case SDL_DROPCOMPLETE: events.dropCompleted(); break;
    case SDL_KEYDOWN: sendKey(event.key.keysym.sym); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEWHEEL: sendPointer(event); break;
    case SDL_TEXTINPUT:
        platform::sendTypedText(windowHandle_, event.text.text, std::strlen(event.text.text));
        break;
    default: break;
    }
}

// The left button, its drags and the wheel reach the window procedure as
// Windows sends them (the wheel at the screen point).
void SdlDriver::sendPointer(const SDL_Event& event) {
    int originX = 0, originY = 0, x = 0, y = 0;
    SDL_GetWindowPosition(window_, &originX, &originY);
    platform::setClientOrigin(windowHandle_, originX, originY);
    switch (event.type) {
    case SDL_MOUSEMOTION:
        if (event.motion.state & SDL_BUTTON_LMASK)
            platform::sendLeftDrag(windowHandle_, event.motion.x, event.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT)
            platform::sendLeftButton(windowHandle_, event.type == SDL_MOUSEBUTTONDOWN,
                                     event.button.x, event.button.y);
        break;
    case SDL_MOUSEWHEEL:
        SDL_GetMouseState(&x, &y);
        platform::sendWheel(windowHandle_, event.wheel.y * WHEEL_DELTA, originX + x, originY + y);
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
    platform::sendKeyDown(windowHandle_, code);
}

bool SdlDriver::hasFocus() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void SdlDriver::waitForEvents(int milliseconds) { SDL_WaitEventTimeout(nullptr, milliseconds); }

void SdlDriver::deliverDrop(const std::vector<std::string>& paths) {
    platform::deliverDrop(windowHandle_, paths);
}

void SdlDriver::present() {
    if (!window_) return;
    if (exposed_) frames_.windowLost();
    const CanvasArea changed = frames_.present();
    exposed_ = false;
    if (changed.empty()) return;
    // A picture that does not reach the window is shown whole the next time.
    exposed_ = true;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    // The changed rows of the canvas, in the surface's own pixel format.
    const Canvas& canvas = frames_.canvas();
    const int right = std::min(changed.right, surface->w);
    const int bottom = std::min(changed.bottom, surface->h);
    if (right <= changed.left || bottom <= changed.top) {
        exposed_ = false; // none of it lies inside the window
        return;
    }
    const std::uint32_t* from = canvas.pixels() +
                                std::size_t(changed.top) * std::size_t(canvas.width()) +
                                std::size_t(changed.left);
    auto* to = static_cast<std::uint8_t*>(surface->pixels) +
               std::size_t(changed.top) * std::size_t(surface->pitch) +
               std::size_t(changed.left) * surface->format->BytesPerPixel;
    SDL_ConvertPixels(right - changed.left, bottom - changed.top, SDL_PIXELFORMAT_ARGB8888, from,
                      canvas.width() * 4, surface->format->format, to, surface->pitch);
    const SDL_Rect area{changed.left, changed.top, right - changed.left, bottom - changed.top};
    exposed_ = SDL_UpdateWindowSurfaceRects(window_, &area, 1) != 0;
}

} // namespace qub

// The module's one entry point; libqub loads it only when SDL2 is wanted.
extern "C" __attribute__((visibility("default"))) qub::Driver* qubCreateSdlDriver() {
    return new (std::nothrow) qub::SdlDriver();
}
