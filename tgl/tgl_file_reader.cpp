#include "tgl/tgl_file_reader.h"

#include "xlibplus/string/string.h"

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
    const std::uint32_t size = stream_.size();
    const std::uint32_t described = size > kTableStart ? (size - kTableStart + 15) / 16 : 0;
    if (static_cast<std::uint32_t>(count_) > described)
        count_ = static_cast<std::int32_t>(described);
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
        if (block.length < 0 || static_cast<std::uint32_t>(block.length) > stream_.remaining())
            return Next::BadLength;
        return Next::Block;
    }
}

TglFileReader::FrameImage TglFileReader::readImage(const Block& block, xlibplus::xStringA& image,
                                                   std::uint32_t inflateLimit) {
    FrameImage result;
    readPayload(block, image);
    switch (image.decompressWithReason(inflateLimit)) {
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
    switch (probe.status) {
    case qub::ImageStatus::Ok: result.status = FrameStatus::Ok; break;
    case qub::ImageStatus::NotAnImage: result.status = FrameStatus::NotAnImage; break;
    case qub::ImageStatus::OverLimit: result.status = FrameStatus::OverImageLimit; break;
    }
    return result;
}

// Whole zero words a block at a time, so that a file of zeros costs no more
// than reading it; the word-by-word loop of nextBlock takes the rest.
void TglFileReader::skipZeroWords() {
    constexpr std::uint32_t kWords = 16384;
    if (scan_.empty()) scan_.resize(kWords);
    for (;;) {
        const std::uint32_t words = std::min(stream_.remaining() / 4, kWords);
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

void TglFileReader::readPayload(const Block& block, xlibplus::xStringA& payload) {
    payload.setSize(static_cast<std::uint32_t>(block.length));
    stream_.read(payload.data(), payload.length());
}
