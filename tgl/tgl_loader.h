#pragma once

#include <chrono>
#include <memory>
#include <vector>

class CTGL;

// Loads .tgl files off the engine thread, so that the window keeps drawing
// while a large or hostile file loads. One thread reads and inflates the file
// as CTGL::load does, a few more decode its images; the engine thread makes
// the textures, in poll, a few at a time. Starting a load cancels the one
// before it: the newest request wins.
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
    // Cancels what is running and waits for its threads (at most the one
    // decode each is in).
    ~TglLoader();

    void start(const char* path);
    // Ends the load in progress, if any, and waits for every thread.
    void cancel();
    // Makes textures of the images decoded so far and waits for more, until
    // the load is complete or `deadline` has passed. Engine thread only.
    Progress poll(std::chrono::steady_clock::time_point deadline);
    // After Loaded: the animation, now the caller's; the loader is Idle.
    CTGL* take();

  private:
    struct Load;

    void retire(std::unique_ptr<Load> load);
    void reapRetired();

    std::unique_ptr<Load> current_;
    std::vector<std::unique_ptr<Load>> retired_; // cancelled, threads ending
};
