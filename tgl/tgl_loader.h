#pragma once

#include "engine/engine_ref.h"
#include "format/background_decoder.h"

#include <chrono>
#include <memory>
#include <vector>

class CTGL;

// Loads .tgl files for a window that must keep drawing: the format library
// reads and decodes them on its threads, and poll, on the engine thread,
// makes the textures from their pixels, as many as fit in its time. A large
// frame goes up in parts over several polls, so no one frame waits for it.
// Starting a load cancels the one before it: the newest request wins.
class TglLoader {
  public:
    enum class Progress {
        Idle,    // nothing requested, or the last result was taken
        Loading, // poll again at the next frame
        Loaded,  // take() gives the animation
        Failed,  // the file did not open or did not begin with "DFX"; now Idle
    };

    TglLoader() = default;
    TglLoader(const TglLoader&) = delete;
    TglLoader& operator=(const TglLoader&) = delete;
    ~TglLoader();

    // Engine thread only, as are the others: it frees the textures of the
    // load it cancels.
    void start(const char* path);
    // Cancels the load in progress and waits until no thread works for it.
    void cancel();
    // Makes textures of the frames decoded so far and waits for more, until
    // the load is complete or `deadline` has passed.
    Progress poll(std::chrono::steady_clock::time_point deadline);
    // After Loaded: the animation, now the caller's, and if asked what became
    // of each frame's image (as `tgl info` says it); the loader is Idle.
    CTGL* take(std::vector<tglformat::FrameStatus>* statuses = nullptr);
    // After Failed: why the file did not open; Ok when it did, but is no .tgl file.
    imaging::InputFileStatus failure() const { return decoder_.failure(); }

  private:
    // A decoded frame on its way into a texture.
    struct Upload {
        tglformat::DecodedFrame frame;
        TextureHandle texture = 0;
        int rowsDone = 0;
    };

    void begin(tglformat::DecodedFrame& frame);
    bool uploadSome(std::chrono::steady_clock::time_point deadline);
    void dropUpload();
    void ensureAnimation();

    tglformat::BackgroundDecoder decoder_;
    std::unique_ptr<CTGL> animation_; // being filled
    std::unique_ptr<Upload> upload_;
    EngineRef engine_{EngineRef::kNone};
};
