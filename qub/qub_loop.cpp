#include "qub/qub_engine.h"

#include "platform/window_host.h"

#include <SDL.h>

#include <thread>

namespace qub {

namespace {

constexpr Uint32 kUnfocusedPollMilliseconds = 50;

} // namespace

bool QubEngine::run() {
    if (!renderer_ || running_) return false;
    running_ = true;
    stopAfterThisFrame_ = false;
    pacer_.start(frameRate_, FramePacer::Clock::now());

    for (int frames = 0;;) {
        if (!pumpEvents()) break;
        if (pausedForFocus()) {
            SDL_WaitEventTimeout(nullptr, kUnfocusedPollMilliseconds);
            pacer_.start(frameRate_, FramePacer::Clock::now());
            continue;
        }
        if (frameCallback_ && frameCallback_()) break;
        if (renderCallback_) renderCallback_();
        if (stopAfterThisFrame_) break;
        if (stopAfterFrames_ > 0 && ++frames >= stopAfterFrames_) break;
        std::this_thread::sleep_until(pacer_.nextFrame(FramePacer::Clock::now()));
    }
    running_ = false;
    return true;
}

bool QubEngine::pausedForFocus() const {
    return !runUnfocused_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) == 0;
}

bool QubEngine::pumpEvents() {
    bool open = true;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: open = false; break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) open = false;
            break;
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
        case SDL_DROPCOMPLETE: handleDropEvent(event); break;
        default: break;
        }
    }
    return open;
}

// SDL reports a drop as begin, one event per path, complete; the window
// procedures get it as one WM_DROPFILES listing every path.
void QubEngine::handleDropEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_DROPBEGIN:
        droppedPaths_.clear();
        dropInProgress_ = true;
        break;
    case SDL_DROPFILE:
        if (event.drop.file) droppedPaths_.emplace_back(event.drop.file);
        SDL_free(event.drop.file);
        if (!dropInProgress_) { // a driver that sends no begin: one path, one drop
            platform::deliverDrop(windowHandle_, droppedPaths_);
            droppedPaths_.clear();
        }
        break;
    case SDL_DROPTEXT: SDL_free(event.drop.file); break;
    case SDL_DROPCOMPLETE:
        if (!droppedPaths_.empty()) platform::deliverDrop(windowHandle_, droppedPaths_);
        droppedPaths_.clear();
        dropInProgress_ = false;
        break;
    default: break;
    }
}

bool QubEngine::queueDrop(const char* const* paths, int count) {
    if (!window_ || !paths || count <= 0) return false;
    Uint32 windowId = SDL_GetWindowID(window_);

    SDL_Event event{};
    event.drop.windowID = windowId;
    event.type = SDL_DROPBEGIN;
    if (SDL_PushEvent(&event) != 1) return false;
    for (int i = 0; i < count; ++i) {
        event.type = SDL_DROPFILE;
        event.drop.file = SDL_strdup(paths[i] ? paths[i] : "");
        if (SDL_PushEvent(&event) != 1) SDL_free(event.drop.file);
    }
    event.type = SDL_DROPCOMPLETE;
    event.drop.file = nullptr;
    return SDL_PushEvent(&event) == 1;
}

} // namespace qub
