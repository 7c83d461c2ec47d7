#pragma once

#include "format/scanner.h"
#include "format/tgl_format.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace tglformat {

// The decoded bytes (4 a pixel) that one animation's frames share, given out
// in frame order: a frame that would pass it gets no pixels, and later ones
// may still fit. Frames decoded side by side reserve their share first: their
// decoded size when the head of their stream gave it, else all that is left.
class DecodedBudget {
  public:
    static std::uint64_t bytesOf(const imaging::ImageHeader& image);

    // Whether the block can go out now, whatever the frames out take.
    bool fitsBesideReserved(const ScannedBlock& block) const;
    // False when the block is over the budget already; else its room is reserved.
    bool reserve(const ScannedBlock& block, std::uint64_t& room);
    // All that is left, for a frame decoded before the next goes out.
    std::uint64_t reserveRest();
    // A reserved frame is done and took `taken` of its room.
    void settle(std::uint64_t room, std::uint64_t taken);

  private:
    std::uint64_t taken_ = 0;
    std::uint64_t reserved_ = 0;
};

// Inflates a block that scanned Ok to its bound, probes the whole image and,
// when it fits in `room`, decodes its pixels; `taken` is what it took of the
// budget (a frame whose image probes Ok takes its share even when its pixels
// then fail). The payload is released as soon as it is inflated. A set
// `cancelled` skips the decoding; `keepFile` keeps the inflated image file
// of a frame that decodes.
DecodedFrame decodeBlock(ScannedBlock&& block, std::uint64_t room, std::uint64_t& taken,
                         const std::atomic<bool>* cancelled = nullptr, bool keepFile = false);

// The scanner's blocks (after readTable) in frame order, each decoded on this
// thread and handed to `each`; frames no block reaches are not handed over.
void decodeFrames(Scanner& scanner, const std::function<void(DecodedFrame&)>& each,
                  bool keepFiles = false);

} // namespace tglformat
