#include "tgl/tgl_loader.h"

#include "tgl/tgl_animation.h"

#include <algorithm>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void TglLoader::keepMemoryBetweenLoads() {
#if defined(__GLIBC__)
    // Frames up to 64 MiB come from the heap, and up to 256 MiB free stay there.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

TglLoader::~TglLoader() { decoder_.cancel(); }

void TglLoader::start(const char* path, bool playEarly) {
    takenEarly_ = nullptr;
    loading_ = justStarted_ = true;
    playEarly_ = playEarly;
    animation_ = std::make_shared<std::unique_ptr<CTGL>>();
    decoder_.start(path, [animation = animation_](const tglformat::Header& header,
                                                  const std::vector<tglformat::Frame>& frames) {
        auto made = std::make_unique<CTGL>();
        made->setTable(header, frames);
        *animation = std::move(made);
    });
}

void TglLoader::cancel() {
    loading_ = false;
    decoder_.cancel();
    animation_.reset();
    takenEarly_ = nullptr;
}

TglLoader::Progress TglLoader::pollFrame() {
    const auto wait = justStarted_ ? kStartWait : kStepBudget;
    justStarted_ = false;
    return poll(std::chrono::steady_clock::now() + wait);
}

TglLoader::Progress TglLoader::poll(std::chrono::steady_clock::time_point deadline) {
    using std::chrono::steady_clock;
    tglformat::DecodedFrame frame;
    for (;;) {
        switch (decoder_.next(deadline, frame)) {
        case tglformat::BackgroundDecoder::Progress::Idle: return Progress::Idle;
        case tglformat::BackgroundDecoder::Progress::Loading: return stillLoading();
        case tglformat::BackgroundDecoder::Progress::Failed:
            loading_ = false;
            animation_.reset();
            return Progress::Failed;
        case tglformat::BackgroundDecoder::Progress::Loaded:
            loading_ = false;
            takenEarly_ = nullptr;
            return Progress::Loaded;
        case tglformat::BackgroundDecoder::Progress::Frame:
            try {
                filling()->adoptPixels(frame.index, std::move(frame.pixels));
            } catch (...) {
                // A refused allocation: this frame gets no sprite.
            }
            // Once the first frame is ready, a load that is not complete plays
            // from it with the frames decoded by then: nothing is on screen
            // that waiting for more would leave showing.
            if (playable())
                deadline = std::min(deadline, steady_clock::now());
            else if (steady_clock::now() >= deadline)
                return stillLoading();
            break;
        }
    }
}

CTGL* TglLoader::filling() const { return takenEarly_ ? takenEarly_ : animation_->get(); }

bool TglLoader::playable() {
    return playEarly_ && !takenEarly_ && animation_ && *animation_ && decoder_.settledFrames() > 0;
}

TglLoader::Progress TglLoader::stillLoading() {
    return playable() ? Progress::Playable : Progress::Loading;
}

CTGL* TglLoader::take(std::vector<tglformat::FrameStatus>* statuses) {
    if (!animation_) return nullptr;
    if (loading_) { // Playable: the load goes on into the taken animation
        if (!*animation_ || takenEarly_) return nullptr;
        takenEarly_ = animation_->release();
        return takenEarly_;
    }
    // Loaded: the animation, or null when it was taken early.
    std::vector<tglformat::FrameStatus> taken = decoder_.take();
    if (statuses) *statuses = std::move(taken);
    CTGL* animation = animation_->release();
    animation_.reset();
    return animation;
}
