#include "qub/qub_engine.h"

#include <thread>

namespace qub {

namespace {

constexpr int kUnfocusedPollMilliseconds = 50;

} // namespace

bool QubEngine::run() {
    if (!driver_ || running_) return false;
    running_ = true;
    closed_ = false;
    stopAfterThisFrame_ = false;
    pacer_.start(frameRate_, FramePacer::Clock::now());

    for (int frames = 0;;) {
        if (!pumpEvents()) break;
        if (pausedForFocus()) {
            driver_->waitForEvents(kUnfocusedPollMilliseconds);
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

bool QubEngine::pausedForFocus() const { return !runUnfocused_ && !driver_->hasFocus(); }

bool QubEngine::pumpEvents() {
    driver_->pumpEvents(*this);
    // Queued drops arrive after what the window system had, as they would
    // had they been posted to its queue.
    std::vector<std::vector<std::string>> queued;
    queued.swap(queuedDrops_);
    for (const auto& paths : queued) {
        dropBegan();
        for (const std::string& path : paths)
            fileDropped(path.c_str());
        dropCompleted();
    }
    return !closed_;
}

void QubEngine::fileDropped(const char* path) {
    if (drops_.add(path)) driver_->deliverDrop(drops_.take());
}

void QubEngine::dropCompleted() {
    if (drops_.complete()) driver_->deliverDrop(drops_.take());
}

bool QubEngine::queueDrop(const char* const* paths, int count) {
    if (!driver_ || !paths || count <= 0) return false;
    std::vector<std::string> drop;
    for (int i = 0; i < count; ++i)
        drop.emplace_back(paths[i] ? paths[i] : "");
    queuedDrops_.push_back(std::move(drop));
    return true;
}

} // namespace qub
