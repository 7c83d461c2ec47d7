#include "tgl/tgl_loader.h"

#include "qub/image/image.h"
#include "qub/image/input_file.h"
#include "qub/image/limits.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_file_reader.h"
#include "xlibplus/stream/std_file_stream.h"
#include "xlibplus/string/string.h"

#if defined(_WIN32)
#include "platform/windows_api.h"
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <deque>
#include <string>

namespace {

// Streams and decoded images waiting between the threads, in bytes: the
// reader waits past it, so a file of many large frames does not pile up.
constexpr std::uint64_t kHeldBytes = std::uint64_t{64} << 20;

// The loader's threads yield to the engine thread when the cores are busy:
// the window's next frame matters more than the next image.
void lowerThisThreadsPriority() {
#if defined(_WIN32)
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#else
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
}

int decoderCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 4u));
}

} // namespace

// One file's load. Its shared part is guarded by the loader's mutex.
struct TglLoader::Load {
    // A frame whose head read Ok, for a decoder to inflate, probe and decode.
    struct Payload {
        std::int32_t frame = 0;
        std::vector<std::uint8_t> bytes;
        std::uint32_t bound = 0;
        std::uint64_t room = 0; // of the decoded budget that this frame may take
        std::uint64_t held = 0; // counted in heldBytes until it is decoded
    };
    struct Decoded {
        std::int32_t frame;
        std::vector<std::uint8_t> tga;
    };

    Load(const char* path, TglLoader& loader) : path(path ? path : ""), loader(loader) {}
    void read(int decoders);
    bool dispatch(std::int32_t frame, std::vector<std::uint8_t>& payload,
                  const TglFileReader::FrameHead& head);
    void decode(Payload& job);
    bool finished() const { return readEnded && users == 0 && payloadsOut == 0; }

    const std::string path;
    TglLoader& loader;
    std::unique_ptr<CTGL> animation = std::make_unique<CTGL>();
    // Each frame's outcome: set by the reader, or by the decoder it gave the frame to.
    std::vector<TglFileReader::FrameStatus> statuses;
    std::atomic<bool> cancelled{false}; // also read between frames without the lock

    std::deque<Payload> payloads; // for the decoders
    std::deque<Decoded> decoded;  // for the engine thread
    // In both, and in the decoders' hands: a frame of known size counts its
    // decoded size from the start, so that large frames go out one at a time.
    std::uint64_t heldBytes = 0;
    // The decoded budget: what frames decoded so far took, and the most that
    // the frames still with the decoders may take.
    std::uint64_t budgetTaken = 0;
    std::uint64_t budgetPending = 0;
    int payloadsOut = 0; // handed to the decoders, not yet decoded
    int users = 0;       // threads working for it
    bool readEnded = false;
    bool tableRead = false;
};

// As CTGL::load reads, but each frame's stream is inflated and decoded by a
// decoder. The budget of decoded bytes is shared out in frame order as
// CTGL::load does: a frame of known size goes out while it fits even if every
// frame still out takes its share; otherwise the reader waits for those to
// end and decides on what they really took.
void TglLoader::Load::read(int decoders) {
    try {
        xlibplus::xStdFileStream stream(
            qub::openInputFile(path.c_str(), InputLimits::kMaxFileBytes).file);
        TglFileReader reader(stream);
        if (stream.isOpen() && animation->readTable(reader)) {
            statuses.assign(static_cast<std::size_t>(animation->frames.size()),
                            TglFileReader::FrameStatus::NoBlock);
            {
                std::lock_guard<std::mutex> lock(loader.mutex_);
                tableRead = true;
            }
            TglFileReader::Block block;
            std::vector<std::uint8_t> payload;
            for (std::int32_t k = 0; decoders > 0 && !cancelled &&
                                     reader.nextBlock(k, block) == TglFileReader::Next::Block;
                 ++k) {
                const TglFileReader::FrameHead head =
                    reader.readHead(block, payload, CTGL::kMaxImageBytes);
                statuses[static_cast<std::size_t>(k)] = head.outcome.status;
                if (head.outcome.status == TglFileReader::FrameStatus::Ok &&
                    !dispatch(k, payload, head))
                    break;
            }
        }
    } catch (...) {
        // A refused allocation ends the reading; the frames read so far stay.
    }
}

// False once the load is cancelled.
bool TglLoader::Load::dispatch(std::int32_t frame, std::vector<std::uint8_t>& payload,
                               const TglFileReader::FrameHead& head) {
    constexpr std::uint64_t kBudget = InputLimits::kMaxDecodedBytesPerFile;
    const std::uint64_t need = head.sized ? TglFileReader::decodedBytes(head.outcome.header) : 0;
    std::unique_lock<std::mutex> lock(loader.mutex_);
    loader.readerWake_.wait(lock, [this] { return cancelled || heldBytes < kHeldBytes; });
    if (!head.sized || need > kBudget - budgetTaken - budgetPending)
        loader.readerWake_.wait(lock, [this] { return cancelled || payloadsOut == 0; });
    if (cancelled) return false;
    if (need > kBudget - budgetTaken) { // no sprite, nothing taken
        statuses[static_cast<std::size_t>(frame)] = TglFileReader::FrameStatus::OverDecodedBudget;
        return true;
    }
    Payload job;
    job.frame = frame;
    job.bytes.swap(payload);
    job.bound = head.bound;
    job.room = head.sized ? need : kBudget - budgetTaken;
    budgetPending += job.room;
    job.held = job.bytes.size() + need;
    heldBytes += job.held;
    ++payloadsOut;
    payloads.push_back(std::move(job));
    loader.decoderWake_.notify_one();
    return true;
}

// A frame whose whole stream probes Ok takes its share of the budget, as with
// CTGL::load, even when its pixels then fail to decode. The decoder's last
// touch of the load is under the lock, with the count of its users.
void TglLoader::Load::decode(Payload& job) {
    using Status = TglFileReader::FrameStatus;
    std::uint64_t taken = 0;
    Status status = Status::NotAnImage;
    std::vector<std::uint8_t> tga;
    try {
        xlibplus::xStringA image;
        const TglFileReader::FrameImage outcome =
            TglFileReader::inflateImage(job.bytes, job.bound, image);
        job.bytes = std::vector<std::uint8_t>();
        const std::uint64_t need = TglFileReader::decodedBytes(outcome.header);
        status = outcome.status;
        if (status == Status::Ok && need > job.room) status = Status::OverDecodedBudget;
        if (status == Status::Ok) {
            taken = need;
            qub::DecodedImage pixels;
            if (!cancelled && qub::decodeImage(reinterpret_cast<const std::uint8_t*>(image.cStr()),
                                               image.length(), pixels) == qub::ImageStatus::Ok) {
                image.setSize(0);
                tga = qub::encodeRawTga(pixels);
            } else {
                status = Status::NotAnImage;
            }
        }
    } catch (...) {
        tga.clear(); // a refused allocation: the frame gets no sprite
        status = Status::NotAnImage;
    }
    std::lock_guard<std::mutex> lock(loader.mutex_);
    statuses[static_cast<std::size_t>(job.frame)] = status;
    budgetPending -= job.room;
    budgetTaken += taken;
    --payloadsOut;
    --users;
    heldBytes = heldBytes - job.held + tga.size();
    if (!tga.empty() && !cancelled) decoded.push_back({job.frame, std::move(tga)});
    loader.readerWake_.notify_one();
    loader.engineWake_.notify_one();
}

TglLoader::TglLoader() = default;

TglLoader::~TglLoader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        if (current_) current_->cancelled = true;
        readerWake_.notify_all();
        decoderWake_.notify_all();
    }
    for (std::thread& thread : threads_)
        thread.join();
}

// A thread the system refuses is one fewer: with no reader every load fails,
// with no decoder its images get no sprites.
void TglLoader::startThreads() {
    try {
        threads_.emplace_back(&TglLoader::readLoads, this);
        for (int i = decoderCount(); i > 0; --i) {
            threads_.emplace_back(&TglLoader::decodePayloads, this);
            ++decoders_;
        }
    } catch (...) {
    }
}

// The reader takes only the newest load; one cancelled before it was taken is
// never read.
void TglLoader::readLoads() {
    lowerThisThreadsPriority();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        readerWake_.wait(lock, [this] { return stopping_ || toRead_; });
        if (stopping_) return;
        Load& load = *toRead_;
        toRead_ = nullptr;
        ++load.users;
        lock.unlock();
        load.read(decoders_);
        lock.lock();
        load.readEnded = true;
        --load.users;
        engineWake_.notify_one();
    }
}

void TglLoader::decodePayloads() {
    lowerThisThreadsPriority();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        decoderWake_.wait(
            lock, [this] { return stopping_ || (current_ && !current_->payloads.empty()); });
        if (stopping_) return;
        Load& load = *current_;
        Load::Payload job = std::move(load.payloads.front());
        load.payloads.pop_front();
        ++load.users;
        lock.unlock();
        load.decode(job);
        lock.lock();
    }
}

void TglLoader::start(const char* path) {
    retireCurrent();
    reapRetired();
    if (threads_.empty()) startThreads();
    auto load = std::make_unique<Load>(path, *this);
    std::lock_guard<std::mutex> lock(mutex_);
    if (threads_.empty())
        load->readEnded = true; // no reader: it fails
    else
        toRead_ = load.get();
    current_ = std::move(load);
    readerWake_.notify_one();
}

void TglLoader::cancel() {
    retireCurrent();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        engineWake_.wait(lock, [this] {
            return std::all_of(retired_.begin(), retired_.end(),
                               [](const std::unique_ptr<Load>& load) { return load->users == 0; });
        });
    }
    reapRetired();
}

void TglLoader::retireCurrent() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) return;
    current_->cancelled = true;
    current_->payloads.clear();
    if (toRead_ == current_.get()) toRead_ = nullptr;
    retired_.push_back(std::move(current_));
    readerWake_.notify_one();
}

// Only loads no thread works for are freed (with their textures, here on the
// engine thread), so the engine thread never waits for a frame it no longer needs.
void TglLoader::reapRetired() {
    std::vector<std::unique_ptr<Load>> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = retired_.begin(); it != retired_.end();)
            if ((*it)->users == 0) {
                done.push_back(std::move(*it));
                it = retired_.erase(it);
            } else {
                ++it;
            }
    }
}

TglLoader::Progress TglLoader::poll(std::chrono::steady_clock::time_point deadline) {
    reapRetired();
    if (!current_) return Progress::Idle;
    Load& load = *current_;
    std::unique_lock<std::mutex> lock(mutex_);
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
            readerWake_.notify_one();
            if (std::chrono::steady_clock::now() >= deadline) return Progress::Loading;
        } else if (load.finished()) {
            if (load.tableRead) return Progress::Loaded;
            std::unique_ptr<Load> failed = std::move(current_);
            lock.unlock();
            return Progress::Failed;
        } else if (engineWake_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return Progress::Loading;
        }
    }
}

CTGL* TglLoader::take(std::vector<TglFileReader::FrameStatus>* statuses) {
    std::unique_ptr<Load> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken = std::move(current_);
    }
    if (!taken) return nullptr;
    if (statuses) *statuses = std::move(taken->statuses);
    return taken->animation.release();
}
