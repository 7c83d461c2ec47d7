#include "tools/tgl/animation_report.h"

#include "format/byte_source.h"
#include "format/decode.h"
#include "format/scanner.h"

namespace tgltool {

namespace {

std::string at(const std::string& what, std::uint32_t offset) {
    return what + " at offset " + std::to_string(offset);
}

// What the scanner's end of the image area says, if anything.
std::optional<std::string> endAnomaly(const tglformat::Scanner& scanner) {
    const tglformat::Block& block = scanner.lastBlock();
    switch (scanner.end()) {
    case tglformat::ScanEnd::Surplus:
        return at("a block with no frame left for it (reading stops)", block.offset);
    case tglformat::ScanEnd::BadLength:
        return at(block.length < 0 ? "a negative payload length " + std::to_string(block.length)
                                   : "a payload length " + std::to_string(block.length) +
                                         " past the end of the file",
                  block.offset) +
               " (reading stops)";
    case tglformat::ScanEnd::Open:
    case tglformat::ScanEnd::End: break;
    }
    return std::nullopt;
}

} // namespace

ReportReader::ReportReader(const std::string& path) {
    AnimationReport& result = report_;
    result.path = path;
    imaging::InputFileStatus opened = imaging::InputFileStatus::Ok;
    source_ = tglformat::openFile(path.c_str(), &opened);
    // A file the viewer refuses unread is reported as such; only one that
    // cannot be opened at all is an input error.
    switch (opened) {
    case imaging::InputFileStatus::Ok: break;
    case imaging::InputFileStatus::CannotOpen:
        result.error = "cannot open the file";
        result.ioError = true;
        return;
    case imaging::InputFileStatus::NotRegular:
        result.error = "not a regular file, which the viewer does not read";
        return;
    case imaging::InputFileStatus::TooLarge:
        result.error = "2 GiB or more, which the viewer does not read";
        return;
    }
    scanner_ = std::make_unique<tglformat::Scanner>(*source_);
    if (!scanner_->readTable()) {
        result.error = "not a .tgl file (it does not begin with \"DFX\")";
        return;
    }
    const tglformat::Header& header = scanner_->header();
    result.magicFourth = header.magicFourth;
    result.durationFlag = header.perFrameDurations();
    result.headerRest.assign(header.bytes + 4, header.bytes + tglformat::kHeaderBytes);
    result.declaredFrameCount = header.declaredFrameCount;
    result.defaultDuration = header.defaultDuration;
    result.frameCount = scanner_->frames().size();
    for (const tglformat::Frame& f : scanner_->frames())
        result.loopMilliseconds += f.duration;

    const std::int32_t count = header.frameCount;
    if (count < result.declaredFrameCount)
        result.anomalies.push_back("the frame count " + std::to_string(result.declaredFrameCount) +
                                   " is more than a file of " + std::to_string(header.fileSize) +
                                   " bytes can mean; held to " + std::to_string(count));
    const std::uint64_t tableBytes =
        tglformat::kTableOffset +
        std::uint64_t(count) *
            (tglformat::kRecordBytes + (result.durationFlag ? tglformat::kDurationBytes : 0));
    if (tableBytes > header.fileSize)
        result.anomalies.push_back(
            "the file ends inside the frame table; missing values read as 0");
}

void ReportReader::readFrames(const FrameSink& eachFrame, const ImageSink& eachImage) {
    if (!scanner_ || !report_.error.empty()) return;
    const std::vector<tglformat::Frame>& frames = scanner_->frames();
    const auto recordOf = [&frames](std::size_t i) {
        FrameInfo f;
        f.x = frames[i].record.x;
        f.y = frames[i].record.y;
        f.aux1 = frames[i].record.aux1;
        f.aux2 = frames[i].record.aux2;
        f.duration = frames[i].duration;
        return f;
    };
    // Block k belongs to frame k; frames after the last block have none.
    std::size_t next = 0;
    const auto hand = [&](std::size_t i, const FrameInfo& f) {
        report_.framesShown += f.status == FrameStatus::Ok;
        if (eachFrame) eachFrame(i, f);
    };
    tglformat::decodeFrames(
        *scanner_,
        [&](tglformat::DecodedFrame& decoded) {
            const std::size_t index = static_cast<std::size_t>(decoded.index);
            for (; next < index; ++next)
                hand(next, recordOf(next));
            FrameInfo f = recordOf(index);
            f.hasBlock = true;
            f.blockOffset = decoded.block.offset;
            f.marker = decoded.block.marker;
            f.secondWord = decoded.block.secondWord;
            f.length = decoded.block.length;
            f.status = decoded.status;
            f.inflatedBytes = decoded.inflatedBytes;
            if (f.status == FrameStatus::Ok || f.status == FrameStatus::OverImageLimit)
                f.image = ImageInfo{imaging::formatName(decoded.image.format), decoded.image.width,
                                    decoded.image.height, imaging::describeImage(decoded.image)};
            if (f.status == FrameStatus::Ok && eachImage)
                eachImage(index, decoded.file.data(), decoded.file.size());
            hand(index, f);
            next = index + 1;
        },
        eachImage != nullptr);
    for (; next < frames.size(); ++next)
        hand(next, recordOf(next));
    if (const std::optional<std::string> anomaly = endAnomaly(*scanner_))
        report_.anomalies.push_back(*anomaly);
    if (scanner_->zeroWords() > 0)
        report_.anomalies.push_back(std::to_string(scanner_->zeroWords()) +
                                    " zero word(s) in the image area");
}

} // namespace tgltool
