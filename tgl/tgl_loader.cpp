#include "tgl/tgl_loader.h"

#include "qub/image/image.h"
#include "qub/image/input_file.h"
#include "qub/image/limits.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_file_reader.h"
#include "xlibplus/stream/std_file_stream.h"
#include "xlibplus/string/string.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace {

// Inflated and decoded images waiting between the threads, in bytes: the
// reader waits past it, so a file of many large frames does not pile up.
constexpr std::uint64_t kHeldBytes = std::uint64_t{64} << 20;

int decoderCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 4u));
}

} // namespace

struct TglLoader::Load {
    struct Inflated {
        std::int32_t frame;
        std::unique_ptr<xlibplus::xStringA> image;
    };
    struct Decoded {
        std::int32_t frame;
        std::vector<std::uint8_t> tga;
    };

    explicit Load(const char* path);
    ~Load();
    void read();
    void decode();
    void cancel();
    void threadEnded();
    bool threadsEnded();

    const std::string path;
    std::unique_ptr<CTGL> animation = std::make_unique<CTGL>();

    std::mutex mutex; // guards what follows
    bool cancelled = false;
    std::condition_variable changed;
    std::deque<Inflated> inflated; // for the decoders
    std::deque<Decoded> decoded;   // for the engine thread
    std::uint64_t heldBytes = 0;   // in both, and in the decoders' hands
    bool readEnded = false;
    bool tableRead = false;
    int threadsRunning = 0;
    std::vector<std::thread> threads;
};

// A thread the system refuses is one fewer: with no reader the load fails,
// with no decoder its images get no sprites.
TglLoader::Load::Load(const char* path) : path(path ? path : "") {
    const int decoders = decoderCount();
    for (int i = 0; i <= decoders; ++i) {
        const bool reader = i == 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++threadsRunning;
        }
        try {
            threads.emplace_back(reader ? &Load::read : &Load::decode, this);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex);
            --threadsRunning;
            readEnded = readEnded || reader;
        }
    }
}

// On the engine thread: the animation's textures are freed here.
TglLoader::Load::~Load() {
    cancel();
    for (std::thread& thread : threads)
        thread.join();
}

// Under the lock, so that no thread between its check and its wait misses it.
void TglLoader::Load::cancel() {
    std::lock_guard<std::mutex> lock(mutex);
    cancelled = true;
    changed.notify_all();
}

void TglLoader::Load::threadEnded() {
    std::lock_guard<std::mutex> lock(mutex);
    --threadsRunning;
    changed.notify_all();
}

bool TglLoader::Load::threadsEnded() {
    std::lock_guard<std::mutex> lock(mutex);
    return threadsRunning == 0;
}

// As CTGL::load reads, with each inflated image handed to the decoders.
void TglLoader::Load::read() {
    try {
        xlibplus::xStdFileStream stream(
            qub::openInputFile(path.c_str(), InputLimits::kMaxFileBytes).file);
        TglFileReader reader(stream);
        if (stream.isOpen() && animation->readTable(reader)) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                tableRead = true;
            }
            animation->readImages(
                reader, [this](std::int32_t frame, std::unique_ptr<xlibplus::xStringA> image) {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [this] { return cancelled || heldBytes < kHeldBytes; });
                    if (cancelled) return false;
                    heldBytes += image->length();
                    inflated.push_back({frame, std::move(image)});
                    changed.notify_all();
                    return true;
                });
        }
    } catch (...) {
        // A refused allocation ends the reading; the frames read so far stay.
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        readEnded = true;
    }
    threadEnded();
}

void TglLoader::Load::decode() {
    for (;;) {
        Inflated job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return cancelled || readEnded || !inflated.empty(); });
            if (cancelled || inflated.empty()) break;
            job = std::move(inflated.front());
            inflated.pop_front();
        }
        const std::uint32_t inflatedBytes = job.image->length();
        std::vector<std::uint8_t> tga;
        try {
            qub::DecodedImage pixels;
            if (qub::decodeImage(reinterpret_cast<const std::uint8_t*>(job.image->cStr()),
                                 inflatedBytes, pixels) == qub::ImageStatus::Ok) {
                job.image.reset();
                tga = qub::encodeRawTga(pixels);
            }
        } catch (...) {
            tga.clear(); // a refused allocation: the frame gets no sprite
        }
        std::lock_guard<std::mutex> lock(mutex);
        heldBytes = heldBytes - inflatedBytes + tga.size();
        if (!tga.empty()) decoded.push_back({job.frame, std::move(tga)});
        changed.notify_all();
    }
    threadEnded();
}

TglLoader::TglLoader() = default;

TglLoader::~TglLoader() { cancel(); }

void TglLoader::cancel() {
    if (current_) retire(std::move(current_));
    retired_.clear();
}

void TglLoader::start(const char* path) {
    if (current_) retire(std::move(current_));
    reapRetired();
    current_ = std::make_unique<Load>(path);
}

void TglLoader::retire(std::unique_ptr<Load> load) {
    load->cancel();
    retired_.push_back(std::move(load));
}

// Only loads whose threads have ended are freed, so the engine thread never
// waits for a decode it no longer needs.
void TglLoader::reapRetired() {
    retired_.erase(
        std::remove_if(retired_.begin(), retired_.end(),
                       [](const std::unique_ptr<Load>& load) { return load->threadsEnded(); }),
        retired_.end());
}

TglLoader::Progress TglLoader::poll(std::chrono::steady_clock::time_point deadline) {
    reapRetired();
    if (!current_) return Progress::Idle;
    Load& load = *current_;
    std::unique_lock<std::mutex> lock(load.mutex);
    for (;;) {
        if (!load.decoded.empty()) {
            Load::Decoded next = std::move(load.decoded.front());
            load.decoded.pop_front();
            lock.unlock();
            try {
                load.animation->setFrameImage(next.frame, next.tga.data(),
                                              static_cast<std::uint32_t>(next.tga.size()));
            } catch (...) {
                // A refused allocation: this frame gets no sprite.
            }
            lock.lock();
            load.heldBytes -= next.tga.size();
            load.changed.notify_all();
            if (std::chrono::steady_clock::now() >= deadline) return Progress::Loading;
        } else if (load.threadsRunning == 0) {
            if (load.tableRead) return Progress::Loaded;
            lock.unlock();
            current_.reset();
            return Progress::Failed;
        } else if (load.changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            return Progress::Loading;
        }
    }
}

CTGL* TglLoader::take() {
    if (!current_) return nullptr;
    CTGL* animation = current_->animation.release();
    current_.reset();
    return animation;
}
