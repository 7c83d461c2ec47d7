#pragma once

#include "format/tgl_format.h"
#include "image/input_file.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tglformat {

// Reads and decodes .tgl files on threads of its own, so that a caller with
// a window to keep drawing only takes the frames as they come. One reader
// thread scans the file; up to four decoders (one per core) inflate and
// decode its frames, sharing the decoded budget in frame order as
// decodeFrames does. The threads start with the first load and serve every
// later one, at a lower priority than the caller's. Starting a load cancels
// the one before it: the newest wins.
class BackgroundDecoder {
  public:
    enum class Progress {
        Idle,    // nothing started, or the last result was taken
        Loading, // the deadline passed; ask again
        Frame,   // a decoded frame is handed over
        Loaded,  // every frame is handed over; take() gives the rest
        Failed,  // the file did not open or did not begin with "DFX"; now Idle
    };
    BackgroundDecoder();
    BackgroundDecoder(const BackgroundDecoder&) = delete;
    BackgroundDecoder& operator=(const BackgroundDecoder&) = delete;
    // Cancels the load and ends the threads, each after the frame it is on.
    ~BackgroundDecoder();

    // Called on the reader thread with a file's header and frame table, before
    // any of its frames is decoded, so that a caller can build on a large
    // table there instead of on its own thread.
    using TableReady = std::function<void(const Header& header, const std::vector<Frame>& frames)>;

    void start(const char* path, TableReady tableReady = nullptr);
    // Cancels the load in progress and waits until no thread works for it.
    void cancel();
    // Waits for the next decoded frame (Frame, then `frame` holds it), the end
    // of the load, or the deadline. Frames come in the order they are decoded.
    Progress next(std::chrono::steady_clock::time_point deadline, DecodedFrame& frame);
    // Frames from the first on whose image has been handed over by next, or
    // will never be (they have none); every frame once the load is complete.
    std::int32_t settledFrames();
    // After Loaded: what became of each frame's image; Idle again.
    std::vector<FrameStatus> take();
    // After Failed: why the file did not open; Ok when it did, but is no .tgl file.
    imaging::InputFileStatus failure() const { return failure_; }

  private:
    struct Load;

    void startThreads();
    void readLoads();
    void decodePayloads();
    void retireCurrent();
    void reapRetired();

    std::vector<std::thread> threads_; // the reader, then the decoders
    int decoders_ = 0;

    std::mutex mutex_;                    // guards what follows, and every Load's shared part
    std::condition_variable readerWake_;  // a load to read, or room to go on
    std::condition_variable decoderWake_; // a frame to decode
    std::condition_variable callerWake_;  // a frame decoded, or a load's threads done
    bool stopping_ = false;
    Load* toRead_ = nullptr; // the newest load, until the reader takes it
    std::unique_ptr<Load> current_;
    std::vector<std::unique_ptr<Load>> retired_; // cancelled, maybe still in a thread's hands
    imaging::InputFileStatus failure_ = imaging::InputFileStatus::Ok;
};

} // namespace tglformat
