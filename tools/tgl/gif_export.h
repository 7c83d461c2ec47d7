#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace tgltool {

// An endlessly looping animated GIF, written a picture at a time. Each
// picture gets a palette of its own: its exact colours when they are few
// enough, else giflib's quantizer. A picture that repeats the one before
// only lengthens it. Times are kept in hundredths, the rounding carried to
// the next frame. Throws CommandError where it fails, or where this build
// has no GIF encoder.
class GifWriter {
  public:
    // transparent: pixels of alpha below one half are left out (the picture
    // shows what is behind the GIF); else every picture is opaque.
    GifWriter(int width, int height, bool transparent);
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;
    ~GifWriter();

    // width x height pixels, 0xAARRGGBB, rows top to bottom.
    void add(std::vector<std::uint32_t> picture, std::int32_t milliseconds);
    std::vector<std::uint8_t> finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace tgltool
