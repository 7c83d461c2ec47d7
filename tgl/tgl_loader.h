#pragma once

#include "format/background_decoder.h"

#include <chrono>
#include <memory>
#include <vector>

class CTGL;

// Loads .tgl files for a window that must keep drawing: the format library
// reads and decodes them on its threads, and poll, on the engine thread,
// hands their pixels to the engine as textures, with no copy, so that no
// frame of the window waits for an image, however large. Starting a load
// cancels the one before it: the newest request wins.
class TglLoader {
  public:
    enum class Progress {
        Idle,     // nothing requested, or the last result was taken
        Loading,  // poll again at the next frame
        Playable, // a load started to play early has its first frame: take() gives it now
        Loaded,   // take() gives the animation, unless it was taken when Playable
        Failed,   // the file did not open or did not begin with "DFX"; now Idle
    };

    // How long a window's frame waits in pollFrame: in the frame after a
    // start (a file that loads in that time shows at once, as if loaded
    // there), then in each later one.
    static constexpr std::chrono::milliseconds kStartWait{50};
    static constexpr std::chrono::milliseconds kStepBudget{4};

    TglLoader() = default;
    TglLoader(const TglLoader&) = delete;
    TglLoader& operator=(const TglLoader&) = delete;
    ~TglLoader();

    // Engine thread only, as are the others: it frees the textures of the
    // load it cancels. With `playEarly`, a load is Playable as soon as its
    // first frame is ready, unless it is complete by then; the animation
    // taken then goes on filling at each poll, and readyFrames says how far. Its taker keeps it
    // until the load ends, is cancelled or another starts.
    void start(const char* path, bool playEarly = false);
    // Cancels the load in progress and waits until no thread works for it.
    void cancel();
    // Makes textures of the frames decoded so far and waits for more, until
    // the load is complete or `deadline` has passed.
    Progress poll(std::chrono::steady_clock::time_point deadline);
    // poll, for one frame of a window.
    Progress pollFrame();
    // A load was started and has not yet ended in Loaded or Failed.
    bool loading() const { return loading_; }
    // Of the loading animation: the frames from the first on that have their
    // sprite or will never have one.
    std::int32_t readyFrames() { return decoder_.settledFrames(); }
    // After Loaded: the animation, now the caller's, and if asked what became
    // of each frame's image (as `tgl info` says it); the loader is Idle.
    CTGL* take(std::vector<tglformat::FrameStatus>* statuses = nullptr);
    // Asks the C library to keep the memory of freed frames for the next load
    // instead of giving it back to the system, which would fault every page
    // of it in again (thousands of faults for one animation). For programs
    // that load animation after animation; it sets the whole process's policy.
    static void keepMemoryBetweenLoads();
    // After Failed: why the file did not open; Ok when it did, but is no .tgl file.
    imaging::InputFileStatus failure() const { return decoder_.failure(); }

  private:
    CTGL* filling() const;
    bool playable();
    Progress stillLoading();

    tglformat::BackgroundDecoder decoder_;
    // The animation being filled: made with its frame table on the reader
    // thread, one per load, so that a cancelled load keeps its own.
    std::shared_ptr<std::unique_ptr<CTGL>> animation_;
    CTGL* takenEarly_ = nullptr; // the caller's now, still filled by poll
    bool loading_ = false;
    bool justStarted_ = false;
    bool playEarly_ = false;
};
