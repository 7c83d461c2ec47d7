#pragma once

#include "format/frame_schedule.h"

#include <cstdint>

class CTGL;

// Plays an animation in an endless loop on the multimedia timer, keeping time
// with a FrameSchedule over the frames' durations as start finds them. The
// player does not own the animation, which must outlive it.
class CTGLPlayer {
  public:
    // Frames a second that the viewer and `tgl play` ask of the engine.
    static constexpr int kFrameRate = 100;

    explicit CTGLPlayer(CTGL* animation) : animation_(animation) {}

    void start();
    // For an animation still loading: frames from `ready` on are not shown
    // until they are ready; the schedule waits for them.
    void setReadyFrames(std::int32_t ready) { ready_ = ready; }
    void update();
    // Draws the current frame's sprite at the frame's position.
    void render();

    std::int32_t current() const { return schedule_.current(); }
    bool playing() const { return playing_; }

  private:
    CTGL* animation_;
    tglformat::FrameSchedule schedule_;
    std::int32_t ready_ = INT32_MAX;
    bool playing_ = false;
};
