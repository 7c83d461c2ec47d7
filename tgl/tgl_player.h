#pragma once

#include <cstdint>

class CTGL;

// Plays an animation in an endless loop on an absolute schedule from the
// multimedia timer: frame i is due its duration after frame i - 1 was due, so
// late updates do not stretch the animation; each update advances at most one
// frame. The player does not own the animation, which must outlive it.
class CTGLPlayer {
  public:
    // Frames a second that the viewer and `tgl play` ask of the engine.
    static constexpr int kFrameRate = 100;

    explicit CTGLPlayer(CTGL* animation) : animation_(animation) {}

    void start();
    void update();
    // Draws the current frame's sprite at the frame's position.
    void render();

    std::int32_t current() const { return current_; }
    bool playing() const { return playing_; }

  private:
    void scheduleNext();

    CTGL* animation_;
    std::int32_t current_ = 0;
    std::uint32_t nextSwitchTime_ = 0;
    bool playing_ = false;
};
