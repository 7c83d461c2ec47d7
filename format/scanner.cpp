#include "format/scanner.h"

#include "format/inflate.h"

#include <algorithm>
#include <cstring>

namespace tglformat {

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;

std::int32_t littleEndian32(const std::uint8_t* b) {
    return static_cast<std::int32_t>(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 |
                                     std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24);
}

} // namespace

std::int32_t Header::perFrameDurations() const { return littleEndian32(bytes); }

Scanner::Scanner(ByteSource& source, std::uint32_t inflateLimit)
    : source_(source), inflateLimit_(inflateLimit), size_(source.size()) {}

// Refills the buffer once it is used up; false at the end of the source.
bool Scanner::fill() {
    if (bufferAt_ < bufferEnd_) return true;
    if (buffer_.empty()) buffer_.resize(kBufferBytes);
    bufferAt_ = 0;
    bufferEnd_ = source_.read(buffer_.data(), std::min<std::uint64_t>(kBufferBytes, remaining()));
    if (bufferEnd_ == 0) size_ = at_; // the file is shorter than it was
    return bufferEnd_ > 0;
}

std::size_t Scanner::read(void* to, std::size_t bytes) {
    auto* out = static_cast<std::uint8_t*>(to);
    std::size_t got = 0;
    while (got < bytes) {
        if (bufferAt_ == bufferEnd_ && bytes - got >= kBufferBytes) {
            // Large payloads go straight to the caller.
            const std::size_t direct =
                source_.read(out + got, std::min<std::uint64_t>(bytes - got, remaining()));
            if (direct == 0) break;
            got += direct;
            at_ += direct;
            continue;
        }
        if (!fill()) break;
        const std::size_t part = std::min(bytes - got, bufferEnd_ - bufferAt_);
        std::memcpy(out + got, buffer_.data() + bufferAt_, part);
        bufferAt_ += part;
        got += part;
        at_ += part;
    }
    if (got < bytes) size_ = at_;
    return got;
}

// Bytes past the end read as 0.
std::int32_t Scanner::readInt32() {
    std::uint8_t b[4] = {};
    read(b, 4);
    return littleEndian32(b);
}

bool Scanner::readTable() {
    std::uint8_t magic[4] = {};
    read(magic, 4);
    if (std::memcmp(magic, kMagic, kMagicBytes) != 0) return false;
    header_.magicFourth = magic[3];
    header_.fileSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(size_, UINT32_MAX));
    read(header_.bytes, kHeaderBytes);
    header_.declaredFrameCount = readInt32();
    header_.defaultDuration = readInt32();
    // A record cut short still describes its frame; past that, none is there,
    // and a larger count would allocate without bound.
    const std::uint64_t described =
        header_.fileSize > kTableOffset
            ? (header_.fileSize - kTableOffset + kRecordBytes - 1) / kRecordBytes
            : 0;
    header_.frameCount = static_cast<std::int32_t>(
        std::min<std::uint64_t>({std::uint64_t(std::max(header_.declaredFrameCount, 0)), described,
                                 std::uint64_t(InputLimits::kMaxFrames)}));
    frames_.resize(static_cast<std::size_t>(header_.frameCount));
    for (Frame& f : frames_) {
        f.record.x = readInt32();
        f.record.y = readInt32();
        f.record.aux1 = readInt32();
        f.record.aux2 = readInt32();
        f.duration = header_.defaultDuration;
    }
    if (header_.perFrameDurations() != 0)
        for (Frame& f : frames_)
            f.duration = readInt32();
    return true;
}

// Whole zero words, straight from the buffer, so that a file of zeros costs
// no more than reading it.
void Scanner::skipZeroWords() {
    while (remaining() >= 4 && fill()) {
        if (bufferEnd_ - bufferAt_ < 4) {
            // A word across the buffer's end: move the tail to the front.
            const std::size_t tail = bufferEnd_ - bufferAt_;
            std::memmove(buffer_.data(), buffer_.data() + bufferAt_, tail);
            bufferAt_ = 0;
            bufferEnd_ = tail + source_.read(buffer_.data() + tail,
                                             std::min<std::uint64_t>(kBufferBytes - tail,
                                                                     remaining() - tail));
            if (bufferEnd_ < 4) {
                size_ = at_ + bufferEnd_;
                return;
            }
        }
        const std::uint8_t* p = buffer_.data() + bufferAt_;
        std::size_t words = (bufferEnd_ - bufferAt_) / 4;
        std::size_t zeros = 0;
        while (zeros < words && std::memcmp(p + zeros * 4, "\0\0\0\0", 4) == 0)
            ++zeros;
        bufferAt_ += zeros * 4;
        at_ += zeros * 4;
        zeroWords_ += static_cast<int>(zeros);
        if (zeros < words) return;
    }
}

bool Scanner::nextBlock(ScannedBlock& out) {
    if (end_ != ScanEnd::Open) return false;
    for (;;) {
        skipZeroWords();
        if (remaining() == 0) {
            end_ = ScanEnd::End;
            return false;
        }
        last_.offset = static_cast<std::uint32_t>(at_);
        last_.marker = readInt32();
        if (last_.marker != 0) break;
        // (Only a few zero bytes at the very end get here.)
    }
    last_.secondWord = readInt32();
    last_.length = readInt32();
    if (blocks_ >= header_.frameCount) {
        end_ = ScanEnd::Surplus;
        return false;
    }
    if (last_.length < 0 || std::uint64_t(last_.length) > remaining()) {
        end_ = ScanEnd::BadLength;
        return false;
    }
    out = ScannedBlock{};
    out.frame = blocks_++;
    out.block = last_;
    out.payload.resize(static_cast<std::uint32_t>(last_.length));
    out.payload.resize(read(out.payload.data(), out.payload.size()));
    probeHead(out);
    return true;
}

// The head of the stream names the image and so the most its file can hold:
// inflation stops there, and a stream that is no image, or one over the image
// limits, is refused from its head alone. A zero bomb costs its first 4 KiB.
void Scanner::probeHead(ScannedBlock& out) {
    std::size_t headBytes = 0;
    if (!inflateHead(out.payload, head_, headBytes)) {
        out.status = FrameStatus::NotZlib;
        return;
    }
    const imaging::ImageProbe early = imaging::probeImage(head_.data(), headBytes);
    out.bound = inflateLimit_;
    out.image = early.header;
    if (early.status == imaging::ImageStatus::Ok) {
        out.bound = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            out.bound, imaging::largestEncodedSize(head_.data(), headBytes, early.header)));
        out.sized = true;
        return;
    }
    // A JPEG's frame header may come after more metadata than the head holds.
    if (headBytes == kHeadBytes && head_[0] == 0xFF && head_[1] == 0xD8) return;
    out.status = early.status == imaging::ImageStatus::OverLimit ? FrameStatus::OverImageLimit
                                                                 : FrameStatus::NotAnImage;
    out.inflatedBytes = static_cast<std::uint32_t>(headBytes);
}

} // namespace tglformat
