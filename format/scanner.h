#pragma once

#include "format/byte_source.h"
#include "format/tgl_format.h"

#include <cstdint>
#include <vector>

namespace tglformat {

// One frame's block as the scanner read it: the payload, and what its first
// inflated bytes say. A status other than Ok is the frame's; Ok goes on to
// inflateImage with `bound`.
struct ScannedBlock {
    std::int32_t frame = 0;
    Block block;
    std::vector<std::uint8_t> payload;
    FrameStatus status = FrameStatus::Ok;
    std::uint32_t bound = 0;         // the most the stream may inflate to
    bool sized = false;              // `image` holds the image's size already
    imaging::ImageHeader image;      // when sized, and for OverImageLimit
    std::uint32_t inflatedBytes = 0; // for the statuses decided here
};

// Why the image area ended.
enum class ScanEnd {
    Open,      // not yet
    End,       // the file ended
    Surplus,   // a block with no frame left for it: reading stops
    BadLength, // a negative length, or one past the rest of the file: reading stops
};

// Reads a .tgl file once, front to back, with the viewer's rules for
// malformed files: the magic and header, the frame records and durations,
// then each block of the image area with its frame. Values a file cut short
// does not hold read as 0. The source is the caller's and must outlive it.
class Scanner {
  public:
    explicit Scanner(ByteSource& source,
                     std::uint32_t inflateLimit = InputLimits::kMaxInflatedImageBytes);
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // False when the file does not begin with "DFX"; nothing else is read then.
    bool readTable();
    const Header& header() const { return header_; }
    const std::vector<Frame>& frames() const { return frames_; }

    // The next block, zero words skipped, its payload read and its head
    // probed; false once the image area has ended (see end()).
    bool nextBlock(ScannedBlock& out);
    ScanEnd end() const { return end_; }
    // The block that ended the area with Surplus or BadLength.
    const Block& lastBlock() const { return last_; }
    int zeroWords() const { return zeroWords_; }

  private:
    std::size_t read(void* to, std::size_t bytes);
    std::int32_t readInt32();
    std::uint64_t remaining() const { return at_ < size_ ? size_ - at_ : 0; }
    bool fill();
    void skipZeroWords();
    void probeHead(ScannedBlock& out);

    ByteSource& source_;
    const std::uint32_t inflateLimit_;
    std::uint64_t size_;
    std::uint64_t at_ = 0;             // of the next byte read
    std::vector<std::uint8_t> buffer_; // read ahead from the source
    std::size_t bufferAt_ = 0;
    std::size_t bufferEnd_ = 0;
    std::vector<std::uint8_t> head_; // the first inflated bytes of a frame's image

    Header header_;
    std::vector<Frame> frames_;
    std::int32_t blocks_ = 0; // given to frames so far
    ScanEnd end_ = ScanEnd::Open;
    Block last_;
    int zeroWords_ = 0;
};

} // namespace tglformat
