#pragma once

#include "qub/image/image.h"
#include "xlibplus/stream/stream.h"

#include <cstdint>
#include <vector>

namespace xlibplus {
class xStringA;
}

// Walks a .tgl file in one forward pass with the viewer's rules, one item at a
// time: the magic, the 40-byte header, the frame count and default duration,
// the frame records, the optional duration table, then the image area of zero
// words and blocks. The loader and the command-line tool both read through it,
// so they agree on every malformed file.
class TglFileReader {
  public:
    struct Record {
        std::int32_t x;
        std::int32_t y;
        std::int32_t aux1;
        std::int32_t aux2;
    };
    struct Block {
        std::uint32_t offset; // of the marker, from the start of the file
        std::int32_t marker;
        std::int32_t second; // not interpreted
        std::int32_t length;
    };
    // What became of a frame's image, as far as the file and the image header
    // tell; whether its pixels decode is the image boundary's to say.
    enum class FrameStatus {
        Ok,
        NoBlock,           // no block reached this frame
        NotZlib,           // the payload is no zlib stream
        OverSizeLimit,     // it inflates past the limit
        NotAnImage,        // it inflates to no accepted image format
        OverImageLimit,    // an image whose header is past the image limits
        OverDecodedBudget, // decoded, it would pass the animation's pixel budget
    };
    struct FrameImage {
        FrameStatus status = FrameStatus::NoBlock;
        std::uint32_t inflatedBytes = 0; // for the statuses past NotZlib
        qub::ImageHeader header;         // for Ok and OverImageLimit
    };
    enum class Next {
        Block,     // a block for the next frame; its payload is next
        End,       // the file ended
        Surplus,   // a block with no frame left for it: reading stops
        BadLength, // a negative length, or one past the rest of the file: reading stops
    };

    explicit TglFileReader(xlibplus::IIStream& stream) : stream_(stream) {}

    static std::int32_t readInt32(xlibplus::IIStream& stream);

    // False when the file does not begin with "DFX"; then nothing else is read.
    bool readHeader(std::uint8_t fileHeader[40]);
    std::int32_t declaredFrameCount() const { return declaredCount_; }
    std::int32_t defaultDuration() const { return defaultDuration_; }
    // The frame count held to the records the file can hold, 16 bytes each
    // (the last may be cut short), and to the frame limit: a larger count comes
    // only from a damaged or hostile file and would allocate without bound.
    std::int32_t frameCount() const { return count_; }

    // A file cut short gives zeros for every value not read.
    Record readRecord();
    std::int32_t readDuration() { return readInt32(stream_); }

    // The next block, skipping zero words. `framesWithImage` is how many blocks
    // have gone to frames so far.
    Next nextBlock(std::int32_t framesWithImage, Block& block);
    // The payload of the block just returned, inflated into `image`
    // (at most `inflateLimit` bytes, and no more than its image can need), and
    // its image header probed. The images found Ok so far share one budget of
    // decoded bytes; one that would pass it is OverDecodedBudget.
    FrameImage readImage(const Block& block, xlibplus::xStringA& image, std::uint32_t inflateLimit);

    // readImage in parts, for a loader that inflates on other threads.
    // readHead reads the payload and inflates its first bytes: an outcome
    // other than Ok is the frame's; Ok goes on to inflateImage, which touches
    // nothing of the reader, with `bound`. When the head gave the image's size
    // (`sized`), the whole stream gives the same header or none.
    struct FrameHead {
        FrameImage outcome;
        std::uint32_t bound = 0; // the most the stream may inflate to
        bool sized = false;      // outcome.header holds the image's size
    };
    FrameHead readHead(const Block& block, std::vector<std::uint8_t>& payload,
                       std::uint32_t inflateLimit);
    static FrameImage inflateImage(const std::vector<std::uint8_t>& payload, std::uint32_t bound,
                                   xlibplus::xStringA& image);
    // What an image of this header takes of the decoded budget.
    static std::uint64_t decodedBytes(const qub::ImageHeader& header);
    int zeroWords() const { return zeroWords_; }

  private:
    static constexpr std::uint32_t kTableStart = 52; // magic, header, count, duration

    void skipZeroWords();
    std::uint32_t remaining();

    xlibplus::IIStream& stream_;
    std::vector<std::uint32_t> scan_;
    std::vector<std::uint8_t> payload_; // the frame's zlib stream, as the file holds it
    std::vector<std::uint8_t> head_;    // the first inflated bytes of a frame's image
    std::uint32_t size_ = 0;            // of the file, from readHeader
    std::int32_t declaredCount_ = 0;
    std::int32_t count_ = 0;
    std::int32_t defaultDuration_ = 0;
    int zeroWords_ = 0;
    std::uint64_t decodedBytes_ = 0;
};
