#pragma once

#include <cstdint>
#include <vector>

namespace tgltool {

// An endlessly looping animated PNG, written a picture at a time. A picture
// that repeats the one before only lengthens it; each later picture is stored
// as the rectangle where it differs from the one before, replacing it there.
// Times are kept to the millisecond (a time past APNG's 65.535 s goes on in
// frames that change nothing).
class ApngWriter {
  public:
    ApngWriter(int width, int height);

    // width x height pixels, 0xAARRGGBB, rows top to bottom.
    void add(std::vector<std::uint32_t> picture, std::int32_t milliseconds);
    std::vector<std::uint8_t> finish();

  private:
    struct Region {
        int left, top, width, height;
    };
    Region changedRegion(const std::vector<std::uint32_t>& picture) const;
    void emit(const std::vector<std::uint32_t>& picture, std::int64_t milliseconds);
    void emitFrame(const std::vector<std::uint32_t>& pixels, Region region,
                   std::uint16_t milliseconds, bool over);

    int width_, height_;
    std::vector<std::uint32_t> shown_;   // the picture of the frames written so far
    std::vector<std::uint32_t> pending_; // the newest picture, its time still growing
    std::int64_t pendingMilliseconds_ = 0;
    bool hasPending_ = false;
    std::vector<std::uint8_t> body_; // fcTL, IDAT and fdAT chunks
    std::uint32_t frames_ = 0, sequence_ = 0;
};

} // namespace tgltool
