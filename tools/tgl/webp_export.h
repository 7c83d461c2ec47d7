#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace tgltool {

// An endlessly looping, lossless animated WebP, written a picture at a time;
// a frame that lasts no time at all in the viewer shows for 10 ms. Throws
// CommandError where it fails, or where this build has no WebP encoder.
class WebPWriter {
  public:
    WebPWriter(int width, int height);
    WebPWriter(const WebPWriter&) = delete;
    WebPWriter& operator=(const WebPWriter&) = delete;
    ~WebPWriter();

    // width x height pixels, 0xAARRGGBB, rows top to bottom.
    void add(const std::vector<std::uint32_t>& picture, std::int32_t milliseconds);
    std::vector<std::uint8_t> finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace tgltool
