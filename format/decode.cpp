#include "format/decode.h"

#include "format/inflate.h"

namespace tglformat {

std::uint64_t DecodedBudget::bytesOf(const imaging::ImageHeader& image) {
    return std::uint64_t(image.width) * std::uint64_t(image.height) * 4;
}

bool DecodedBudget::fitsBesideReserved(const ScannedBlock& block) const {
    constexpr std::uint64_t kTotal = InputLimits::kMaxDecodedBytesPerFile;
    return block.sized && bytesOf(block.image) <= kTotal - taken_ - reserved_;
}

bool DecodedBudget::reserve(const ScannedBlock& block, std::uint64_t& room) {
    constexpr std::uint64_t kTotal = InputLimits::kMaxDecodedBytesPerFile;
    const std::uint64_t need = block.sized ? bytesOf(block.image) : 0;
    if (need > kTotal - taken_) return false;
    room = block.sized ? need : kTotal - taken_;
    reserved_ += room;
    return true;
}

std::uint64_t DecodedBudget::reserveRest() {
    const std::uint64_t room = InputLimits::kMaxDecodedBytesPerFile - taken_ - reserved_;
    reserved_ += room;
    return room;
}

void DecodedBudget::settle(std::uint64_t room, std::uint64_t taken) {
    reserved_ -= room;
    taken_ += taken;
}

namespace {

// A block's frame as far as its scan went: its status, no pixels.
DecodedFrame undecoded(const ScannedBlock& block) {
    DecodedFrame frame;
    frame.index = block.frame;
    frame.block = block.block;
    frame.status = block.status;
    frame.image = block.image;
    frame.inflatedBytes = block.inflatedBytes;
    return frame;
}

} // namespace

DecodedFrame decodeBlock(ScannedBlock&& block, std::uint64_t room, std::uint64_t& taken,
                         const std::atomic<bool>* cancelled, bool keepFile) {
    DecodedFrame frame;
    frame.index = block.frame;
    frame.block = block.block;
    taken = 0;
    InflatedBytes image;
    // An image whose head gave its size is inflated into one buffer of its bound.
    const InflateResult inflated =
        inflateBounded(block.payload, block.bound, block.sized ? block.bound : 0, image);
    block.payload = std::vector<std::uint8_t>();
    if (inflated != InflateResult::Ok) {
        frame.status =
            inflated == InflateResult::NotZlib ? FrameStatus::NotZlib : FrameStatus::OverSizeLimit;
        return frame;
    }
    frame.inflatedBytes = static_cast<std::uint32_t>(image.size);
    const imaging::ImageProbe probe = imaging::probeImage(image.data.get(), image.size);
    frame.image = probe.header;
    if (probe.status != imaging::ImageStatus::Ok) {
        frame.status = probe.status == imaging::ImageStatus::OverLimit ? FrameStatus::OverImageLimit
                                                                       : FrameStatus::NotAnImage;
        return frame;
    }
    if (DecodedBudget::bytesOf(probe.header) > room) {
        frame.status = FrameStatus::OverDecodedBudget;
        return frame;
    }
    taken = DecodedBudget::bytesOf(probe.header);
    frame.status = FrameStatus::NotAnImage;
    if (cancelled && *cancelled) return frame;
    if (imaging::decodeImage(image.data.get(), image.size, frame.pixels) !=
        imaging::ImageStatus::Ok)
        return frame;
    frame.status = FrameStatus::Ok;
    if (keepFile) frame.file.assign(image.data.get(), image.data.get() + image.size);
    return frame;
}

void decodeFrames(Scanner& scanner, const std::function<void(DecodedFrame&)>& each,
                  bool keepFiles) {
    DecodedBudget budget;
    ScannedBlock block;
    while (scanner.nextBlock(block)) {
        DecodedFrame frame;
        if (block.status != FrameStatus::Ok) {
            frame = undecoded(block);
        } else {
            const std::uint64_t room = budget.reserveRest();
            std::uint64_t taken = 0;
            try {
                frame = decodeBlock(std::move(block), room, taken, nullptr, keepFiles);
            } catch (const std::bad_alloc&) {
                frame = undecoded(block);
                frame.status = FrameStatus::NotAnImage; // no room for its pixels
            }
            budget.settle(room, taken);
        }
        each(frame);
    }
}

} // namespace tglformat
