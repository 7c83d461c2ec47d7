#include "tgl/tgl_loader.h"

#include "tgl/tgl_animation.h"

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

void TglLoader::start(const char* path) {
    loading_ = justStarted_ = true;
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
}

TglLoader::Progress TglLoader::pollFrame() {
    const auto wait = justStarted_ ? kStartWait : kStepBudget;
    justStarted_ = false;
    return poll(std::chrono::steady_clock::now() + wait);
}

TglLoader::Progress TglLoader::poll(std::chrono::steady_clock::time_point deadline) {
    tglformat::DecodedFrame frame;
    for (;;) {
        switch (decoder_.next(deadline, frame)) {
        case tglformat::BackgroundDecoder::Progress::Idle: return Progress::Idle;
        case tglformat::BackgroundDecoder::Progress::Loading: return Progress::Loading;
        case tglformat::BackgroundDecoder::Progress::Failed:
            loading_ = false;
            animation_.reset();
            return Progress::Failed;
        case tglformat::BackgroundDecoder::Progress::Loaded:
            loading_ = false;
            return Progress::Loaded;
        case tglformat::BackgroundDecoder::Progress::Frame:
            try {
                (*animation_)->adoptPixels(frame.index, std::move(frame.pixels));
            } catch (...) {
                // A refused allocation: this frame gets no sprite.
            }
            if (std::chrono::steady_clock::now() >= deadline) return Progress::Loading;
            break;
        }
    }
}

CTGL* TglLoader::take(std::vector<tglformat::FrameStatus>* statuses) {
    if (!animation_ || !*animation_) return nullptr;
    std::vector<tglformat::FrameStatus> taken = decoder_.take();
    if (statuses) *statuses = std::move(taken);
    CTGL* animation = animation_->release();
    animation_.reset();
    return animation;
}
