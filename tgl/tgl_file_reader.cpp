#include "tgl/tgl_file_reader.h"

#include "qub/image/limits.h"
#include "xlibplus/string/string.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t byteSwapped(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

} // namespace

std::int32_t TglFileReader::readInt32(xlibplus::IIStream& stream) {
    std::uint32_t value = 0;
    stream.read(&value, 4);
    if (stream.needsByteSwap()) value = byteSwapped(value);
    return static_cast<std::int32_t>(value);
}

bool TglFileReader::readHeader(std::uint8_t fileHeader[40]) {
    char magic[4] = {};
    stream_.read(magic, 4);
    if (std::memcmp(magic, "DFX", 3) != 0) return false;
    stream_.read(fileHeader, 40);
    declaredCount_ = readInt32(stream_);
    defaultDuration_ = readInt32(stream_);
    count_ = declaredCount_ > 0 ? declaredCount_ : 0;
    // A record cut short still describes its frame; past that, none is there.
    size_ = stream_.size();
    const std::uint32_t described = size_ > kTableStart ? (size_ - kTableStart + 15) / 16 : 0;
    if (static_cast<std::uint32_t>(count_) > described)
        count_ = static_cast<std::int32_t>(described);
    count_ = std::min(count_, InputLimits::kMaxFrames);
    return true;
}

TglFileReader::Record TglFileReader::readRecord() {
    Record r;
    r.x = readInt32(stream_);
    r.y = readInt32(stream_);
    r.aux1 = readInt32(stream_);
    r.aux2 = readInt32(stream_);
    return r;
}

// The end of file shows only after a read has run into it, so the loop always
// reads one word more than the file holds; it reads as a zero word.
TglFileReader::Next TglFileReader::nextBlock(std::int32_t framesWithImage, Block& block) {
    for (;;) {
        // Before the skip: measuring the file seeks, and a seek forgets the end.
        if (stream_.eof()) return Next::End;
        skipZeroWords();
        if (stream_.eof()) return Next::End;
        block.offset = stream_.tell();
        block.marker = readInt32(stream_);
        if (block.marker == 0) {
            if (!stream_.eof()) ++zeroWords_;
            continue;
        }
        block.second = readInt32(stream_);
        block.length = readInt32(stream_);
        if (framesWithImage >= count_) return Next::Surplus;
        if (block.length < 0 || static_cast<std::uint32_t>(block.length) > remaining())
            return Next::BadLength;
        return Next::Block;
    }
}

namespace {

// Enough inflated bytes for the header of a PNG, BMP or TGA, and of most JPEGs;
// small, as a frame's first bytes are inflated twice.
constexpr std::uint32_t kHeadBytes = 4096;

// The first bytes the payload inflates to, into `head` (kHeadBytes long);
// false when it is no zlib stream as far as they go.
bool inflateHead(const std::vector<std::uint8_t>& payload, std::vector<std::uint8_t>& head,
                 std::size_t& inflated) {
    z_stream z{};
    if (inflateInit2(&z, 15) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(payload.data());
    z.avail_in = static_cast<uInt>(payload.size());
    z.next_out = head.data();
    z.avail_out = kHeadBytes;
    const int result = inflate(&z, Z_SYNC_FLUSH);
    inflated = kHeadBytes - z.avail_out;
    inflateEnd(&z);
    return result == Z_OK || result == Z_STREAM_END || (result == Z_BUF_ERROR && inflated > 0);
}

// Inflates the payload into `image`, as xStringA::decompressWithReason would
// with `limit` (a stream cut short keeps what it gave), but into one buffer
// that starts at a likely size and doubles, up to the limit and one byte more
// to tell a stream that goes on past it.
xlibplus::xInflateResult inflateWhole(const std::vector<std::uint8_t>& payload, std::uint32_t limit,
                                      xlibplus::xStringA& image) {
    z_stream z{};
    if (inflateInit2(&z, 15) != Z_OK) return xlibplus::xInflateResult::NotZlib;
    const std::uint64_t most = std::uint64_t{limit} + 1;
    std::uint64_t room = std::min<std::uint64_t>(most, payload.size() * 4 + kHeadBytes);
    z.next_in = const_cast<Bytef*>(payload.data());
    z.avail_in = static_cast<uInt>(payload.size());
    int result = Z_OK;
    try {
        image.setSize(static_cast<std::uint32_t>(room));
        z.next_out = reinterpret_cast<Bytef*>(image.data());
        z.avail_out = static_cast<uInt>(room);
        while (z.avail_in > 0 && (result = inflate(&z, Z_SYNC_FLUSH)) == Z_OK) {
            if (z.avail_out != 0) continue;
            if (room == most) break;
            room = std::min(most, room * 2);
            image.setSize(static_cast<std::uint32_t>(room));
            z.next_out = reinterpret_cast<Bytef*>(image.data()) + z.total_out;
            z.avail_out = static_cast<uInt>(room - z.total_out);
        }
    } catch (...) {
        result = Z_MEM_ERROR; // no room for it counts as no stream
    }
    const std::uint64_t inflated = z.total_out;
    inflateEnd(&z);
    if (result != Z_OK && result != Z_STREAM_END) {
        image.setSize(0);
        return xlibplus::xInflateResult::NotZlib;
    }
    if (inflated > limit) {
        image.setSize(0);
        return xlibplus::xInflateResult::OverLimit;
    }
    image.setSize(static_cast<std::uint32_t>(inflated));
    return xlibplus::xInflateResult::Ok;
}

TglFileReader::FrameStatus statusOf(qub::ImageStatus status) {
    switch (status) {
    case qub::ImageStatus::Ok: return TglFileReader::FrameStatus::Ok;
    case qub::ImageStatus::NotAnImage: return TglFileReader::FrameStatus::NotAnImage;
    case qub::ImageStatus::OverLimit: return TglFileReader::FrameStatus::OverImageLimit;
    }
    return TglFileReader::FrameStatus::NotAnImage;
}

} // namespace

TglFileReader::FrameImage TglFileReader::readImage(const Block& block, xlibplus::xStringA& image,
                                                   std::uint32_t inflateLimit) {
    const FrameHead head = readHead(block, payload_, inflateLimit);
    if (head.outcome.status != FrameStatus::Ok) return head.outcome;
    FrameImage result = inflateImage(payload_, head.bound, image);
    if (result.status != FrameStatus::Ok) return result;
    const std::uint64_t bytes = decodedBytes(result.header);
    if (bytes > InputLimits::kMaxDecodedBytesPerFile - decodedBytes_)
        result.status = FrameStatus::OverDecodedBudget;
    else
        decodedBytes_ += bytes;
    return result;
}

// The head of the stream names the image and so the most its file can hold:
// inflation stops there, and a stream that is no image, or one over the image
// limits, is refused from its head alone. A zero bomb costs its first 4 KiB.
TglFileReader::FrameHead TglFileReader::readHead(const Block& block,
                                                 std::vector<std::uint8_t>& payload,
                                                 std::uint32_t inflateLimit) {
    FrameHead head;
    payload.resize(static_cast<std::uint32_t>(block.length));
    payload.resize(stream_.read(payload.data(), static_cast<std::uint32_t>(block.length)));
    if (head_.empty()) head_.resize(kHeadBytes);
    std::size_t headBytes = 0;
    if (!inflateHead(payload, head_, headBytes)) {
        head.outcome.status = FrameStatus::NotZlib;
        return head;
    }
    const qub::ImageProbe early = qub::probeImage(head_.data(), headBytes);
    head.bound = inflateLimit;
    if (early.status == qub::ImageStatus::Ok) {
        head.bound = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            head.bound, qub::largestEncodedSize(head_.data(), headBytes, early.header)));
        head.outcome.header = early.header;
        head.sized = true;
    } else if (!(headBytes == kHeadBytes && head_[0] == 0xFF && head_[1] == 0xD8)) {
        // (A JPEG's frame header may come after more metadata than the head holds.)
        head.outcome.status = statusOf(early.status);
        head.outcome.header = early.header;
        head.outcome.inflatedBytes = static_cast<std::uint32_t>(headBytes);
        return head;
    }
    head.outcome.status = FrameStatus::Ok;
    return head;
}

TglFileReader::FrameImage TglFileReader::inflateImage(const std::vector<std::uint8_t>& payload,
                                                      std::uint32_t bound,
                                                      xlibplus::xStringA& image) {
    FrameImage result;
    switch (inflateWhole(payload, bound, image)) {
    case xlibplus::xInflateResult::Ok: break;
    case xlibplus::xInflateResult::NotZlib: result.status = FrameStatus::NotZlib; return result;
    case xlibplus::xInflateResult::OverLimit:
        result.status = FrameStatus::OverSizeLimit;
        return result;
    }
    result.inflatedBytes = image.length();
    const qub::ImageProbe probe =
        qub::probeImage(reinterpret_cast<const std::uint8_t*>(image.cStr()), image.length());
    result.header = probe.header;
    result.status = statusOf(probe.status);
    return result;
}

// Every frame that shows is decoded to 4 bytes a pixel, all kept at once.
std::uint64_t TglFileReader::decodedBytes(const qub::ImageHeader& header) {
    return std::uint64_t(header.width) * std::uint64_t(header.height) * 4;
}

// From the size measured once: measuring a file seeks, which drops what its
// buffer had read ahead.
std::uint32_t TglFileReader::remaining() {
    const std::uint32_t at = stream_.tell();
    return at < size_ ? size_ - at : 0;
}

// Whole zero words a block at a time, so that a file of zeros costs no more
// than reading it; the word-by-word loop of nextBlock takes the rest.
void TglFileReader::skipZeroWords() {
    constexpr std::uint32_t kWords = 16384;
    if (scan_.empty()) scan_.resize(kWords);
    // One word first, as a block usually follows at once; longer reads only
    // while the zeros go on.
    for (std::uint32_t want = 1;; want = std::min(want * 16, kWords)) {
        const std::uint32_t words = std::min(remaining() / 4, want);
        if (words == 0) return;
        const std::uint32_t start = stream_.tell();
        if (stream_.read(scan_.data(), words * 4) != words * 4) {
            stream_.seek(start);
            return;
        }
        std::uint32_t zeros = 0;
        while (zeros < words && scan_[zeros] == 0)
            ++zeros;
        zeroWords_ += static_cast<int>(zeros);
        if (zeros < words) {
            stream_.seek(start + zeros * 4);
            return;
        }
    }
}
