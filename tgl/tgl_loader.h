#pragma once

#include "tgl/tgl_file_reader.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CTGL;

// Loads .tgl files off the engine thread, so that the window keeps drawing
// while a large or hostile file loads. A reader thread reads each frame's
// stream as CTGL::load does; a few decoder threads inflate and decode them;
// the engine thread makes the textures, in poll, a few at a time. The threads
// start with the first load and serve every later one. Starting a load
// cancels the one before it: the newest request wins.
class TglLoader {
  public:
    enum class Progress {
        Idle,    // nothing requested, or the last result was taken
        Loading, // poll again at the next frame
        Loaded,  // take() gives the animation
        Failed,  // the file did not open or did not begin with "DFX"; now Idle
    };

    TglLoader();
    TglLoader(const TglLoader&) = delete;
    TglLoader& operator=(const TglLoader&) = delete;
    // Cancels the load and ends the threads, each after the frame it is on.
    ~TglLoader();

    void start(const char* path);
    // Cancels the load in progress and waits until no thread works for it.
    void cancel();
    // Makes textures of the images decoded so far and waits for more, until
    // the load is complete or `deadline` has passed. Engine thread only.
    Progress poll(std::chrono::steady_clock::time_point deadline);
    // After Loaded: the animation, now the caller's, and if asked what became
    // of each frame's image (as `tgl info` says it); the loader is Idle.
    CTGL* take(std::vector<TglFileReader::FrameStatus>* statuses = nullptr);

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
    std::condition_variable engineWake_;  // a frame decoded, or a load's threads done
    bool stopping_ = false;
    Load* toRead_ = nullptr; // the newest load, until the reader takes it
    std::unique_ptr<Load> current_;
    std::vector<std::unique_ptr<Load>> retired_; // cancelled, maybe still in a thread's hands
};
