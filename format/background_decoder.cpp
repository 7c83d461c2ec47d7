#include "format/background_decoder.h"

#include "format/decode.h"
#include "format/scanner.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <deque>
#include <string>

namespace tglformat {

namespace {

// Streams and decoded images waiting between the threads, in bytes: the
// reader waits past it, so a file of many large frames does not pile up.
constexpr std::uint64_t kHeldBytes = std::uint64_t{64} << 20;
constexpr int kMostDecoders = 4;
// Streams waiting for a decoder, in bytes, past one for each decoder.
constexpr std::uint64_t kReadAhead = std::uint64_t{1} << 20;
// On Linux, the nice value of the decoding threads: Windows' "below normal".
constexpr int kDecoderNiceness = 10;

// The threads yield to the caller's when the cores are busy: a window's next
// frame matters more than the next image.
void lowerThisThreadsPriority() {
#if defined(_WIN32)
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#else
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kDecoderNiceness);
#endif
}

int decoderCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, unsigned{kMostDecoders}));
}

std::uint64_t pixelBytes(const DecodedFrame& frame) {
    return frame.pixels.pixels.size() * sizeof(std::uint32_t);
}

} // namespace

// One file's load. Its shared part is guarded by the decoder's mutex.
struct BackgroundDecoder::Load {
    struct Job {
        ScannedBlock block;
        std::uint64_t room = 0; // of the decoded budget that this frame may take
        std::uint64_t held = 0; // counted in heldBytes until it is decoded
    };

    Load(const char* path, TableReady tableReady, BackgroundDecoder& owner)
        : path(path ? path : ""), tableReady(std::move(tableReady)), owner(owner) {}
    void read(int decoders);
    bool awaitRoomForAJob(int decoders);
    bool dispatch(ScannedBlock& block);
    void decode(Job& job);
    bool finished() const { return readEnded && users == 0 && jobsOut == 0; }
    // pre: the owner's mutex is held
    void settle(std::int32_t frame) { settled[static_cast<std::size_t>(frame)] = 1; }

    const std::string path;
    const TableReady tableReady;
    BackgroundDecoder& owner;
    // Each frame's outcome: set by the reader, or by the decoder it gave the frame to.
    std::vector<FrameStatus> statuses;
    imaging::InputFileStatus openStatus = imaging::InputFileStatus::Ok;
    std::atomic<bool> cancelled{false}; // also read between frames without the lock

    std::deque<Job> jobs;             // for the decoders
    std::uint64_t waitingBytes = 0;   // of the jobs' streams
    std::deque<DecodedFrame> decoded; // for the caller
    // In both, and in the decoders' hands: a frame of known size counts its
    // decoded size from the start, so that large frames go out one at a time.
    std::uint64_t heldBytes = 0;
    // Frames whose outcome is known and, when they have pixels, handed over;
    // and how many of them from the first on.
    std::vector<std::uint8_t> settled;
    std::size_t settledPrefix = 0;
    DecodedBudget budget;
    int jobsOut = 0; // handed to the decoders, not yet decoded
    int users = 0;   // threads working for it
    bool readEnded = false;
    bool tableRead = false;
};

void BackgroundDecoder::Load::read(int decoders) {
    try {
        std::unique_ptr<ByteSource> source = openFile(path.c_str(), &openStatus);
        if (!source) return;
        Scanner scanner(*source);
        if (!scanner.readTable()) return;
        statuses.assign(scanner.frames().size(), FrameStatus::NoBlock);
        if (tableReady) tableReady(scanner.header(), scanner.frames());
        {
            std::lock_guard<std::mutex> lock(owner.mutex_);
            settled.assign(scanner.frames().size(), 0);
            tableRead = true;
        }
        ScannedBlock block;
        while (decoders > 0 && awaitRoomForAJob(decoders) && scanner.nextBlock(block)) {
            statuses[static_cast<std::size_t>(block.frame)] = block.status;
            if (block.status == FrameStatus::Ok) {
                if (!dispatch(block)) break;
            } else {
                std::lock_guard<std::mutex> lock(owner.mutex_);
                settle(block.frame);
            }
        }
    } catch (...) {
        // A refused allocation ends the reading; the frames read so far stay.
    }
}

// The reader reads a frame only when a decoder will soon be free for it, or
// while the frames waiting are small: a large frame read earlier waits in
// memory, and the reading competes with the first frame's decoding. False
// once the load is cancelled.
bool BackgroundDecoder::Load::awaitRoomForAJob(int decoders) {
    std::unique_lock<std::mutex> lock(owner.mutex_);
    owner.readerWake_.wait(lock, [&] {
        return cancelled || jobs.size() < std::size_t(decoders) || waitingBytes < kReadAhead;
    });
    return !cancelled;
}

// A frame of known size goes out while it fits even if every frame still out
// takes its share; otherwise the reader waits for those to end and decides on
// what they really took. False once the load is cancelled.
bool BackgroundDecoder::Load::dispatch(ScannedBlock& block) {
    std::unique_lock<std::mutex> lock(owner.mutex_);
    owner.readerWake_.wait(lock, [this] { return cancelled || heldBytes < kHeldBytes; });
    if (!budget.fitsBesideReserved(block))
        owner.readerWake_.wait(lock, [this] { return cancelled || jobsOut == 0; });
    if (cancelled) return false;
    Job job;
    if (!budget.reserve(block, job.room)) { // no pixels, nothing taken
        statuses[static_cast<std::size_t>(block.frame)] = FrameStatus::OverDecodedBudget;
        settle(block.frame);
        return true;
    }
    job.held = block.payload.size() + (block.sized ? DecodedBudget::bytesOf(block.image) : 0);
    job.block = std::move(block);
    heldBytes += job.held;
    ++jobsOut;
    waitingBytes += job.block.payload.size();
    jobs.push_back(std::move(job));
    owner.decoderWake_.notify_one();
    return true;
}

// The decoder's last touch of the load is under the lock, with the count of its users.
void BackgroundDecoder::Load::decode(Job& job) {
    std::uint64_t taken = 0;
    DecodedFrame frame;
    try {
        frame = decodeBlock(std::move(job.block), job.room, taken, &cancelled);
    } catch (...) {
        frame = DecodedFrame{}; // a refused allocation: the frame gets no pixels
        frame.index = job.block.frame;
        frame.status = FrameStatus::NotAnImage;
    }
    std::lock_guard<std::mutex> lock(owner.mutex_);
    statuses[static_cast<std::size_t>(frame.index)] = frame.status;
    budget.settle(job.room, taken);
    --jobsOut;
    --users;
    heldBytes -= job.held;
    if (frame.status == FrameStatus::Ok && !cancelled) {
        heldBytes += pixelBytes(frame);
        decoded.push_back(std::move(frame));
    } else {
        settle(frame.index);
    }
    owner.readerWake_.notify_one();
    owner.callerWake_.notify_one();
}

BackgroundDecoder::BackgroundDecoder() = default;

BackgroundDecoder::~BackgroundDecoder() {
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
// with no decoder its frames get no pixels.
void BackgroundDecoder::startThreads() {
    try {
        threads_.emplace_back(&BackgroundDecoder::readLoads, this);
        for (int i = decoderCount(); i > 0; --i) {
            threads_.emplace_back(&BackgroundDecoder::decodePayloads, this);
            ++decoders_;
        }
    } catch (...) {
    }
}

// The reader takes only the newest load; one cancelled before it was taken is
// never read.
void BackgroundDecoder::readLoads() {
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
        callerWake_.notify_one();
    }
}

void BackgroundDecoder::decodePayloads() {
    lowerThisThreadsPriority();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        decoderWake_.wait(lock,
                          [this] { return stopping_ || (current_ && !current_->jobs.empty()); });
        if (stopping_) return;
        Load& load = *current_;
        Load::Job job = std::move(load.jobs.front());
        load.jobs.pop_front();
        load.waitingBytes -= job.block.payload.size();
        ++load.users;
        readerWake_.notify_one(); // room for the next job
        lock.unlock();
        load.decode(job);
        lock.lock();
    }
}

void BackgroundDecoder::start(const char* path, TableReady tableReady) {
    retireCurrent();
    reapRetired();
    if (threads_.empty()) startThreads();
    auto load = std::make_unique<Load>(path, std::move(tableReady), *this);
    std::lock_guard<std::mutex> lock(mutex_);
    if (threads_.empty())
        load->readEnded = true; // no reader: it fails
    else
        toRead_ = load.get();
    current_ = std::move(load);
    readerWake_.notify_one();
}

void BackgroundDecoder::cancel() {
    retireCurrent();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        callerWake_.wait(lock, [this] {
            return std::all_of(retired_.begin(), retired_.end(),
                               [](const std::unique_ptr<Load>& load) { return load->users == 0; });
        });
    }
    reapRetired();
}

void BackgroundDecoder::retireCurrent() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) return;
    current_->cancelled = true;
    current_->jobs.clear();
    if (toRead_ == current_.get()) toRead_ = nullptr;
    retired_.push_back(std::move(current_));
    readerWake_.notify_one();
}

// Only loads no thread works for are freed, so the caller never waits for a
// frame it no longer needs.
void BackgroundDecoder::reapRetired() {
    std::vector<std::unique_ptr<Load>> done;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = retired_.begin(); it != retired_.end();)
        if ((*it)->users == 0) {
            done.push_back(std::move(*it));
            it = retired_.erase(it);
        } else {
            ++it;
        }
}

BackgroundDecoder::Progress BackgroundDecoder::next(std::chrono::steady_clock::time_point deadline,
                                                    DecodedFrame& frame) {
    reapRetired();
    if (!current_) return Progress::Idle;
    Load& load = *current_;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (!load.decoded.empty()) {
            frame = std::move(load.decoded.front());
            load.decoded.pop_front();
            load.heldBytes -= pixelBytes(frame);
            load.settle(frame.index);
            readerWake_.notify_one();
            return Progress::Frame;
        }
        if (load.finished()) {
            if (load.tableRead) return Progress::Loaded;
            failure_ = load.openStatus;
            std::unique_ptr<Load> failed = std::move(current_);
            lock.unlock();
            return Progress::Failed;
        }
        if (callerWake_.wait_until(lock, deadline) == std::cv_status::timeout)
            return Progress::Loading;
    }
}

std::int32_t BackgroundDecoder::settledFrames() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) return 0;
    Load& load = *current_;
    if (load.finished() && load.decoded.empty())
        return static_cast<std::int32_t>(load.settled.size());
    while (load.settledPrefix < load.settled.size() && load.settled[load.settledPrefix])
        ++load.settledPrefix;
    return static_cast<std::int32_t>(load.settledPrefix);
}

std::vector<FrameStatus> BackgroundDecoder::take() {
    std::unique_ptr<Load> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken = std::move(current_);
    }
    if (!taken) return {};
    return std::move(taken->statuses);
}

} // namespace tglformat
