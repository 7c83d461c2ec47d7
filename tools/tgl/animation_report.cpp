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

std::int64_t AnimationReport::loopMilliseconds() const {
    std::int64_t total = 0;
    for (const FrameInfo& f : frames)
        total += f.duration;
    return total;
}

bool AnimationReport::everyFrameShows() const {
    if (!error.empty()) return false;
    for (const FrameInfo& f : frames)
        if (f.status != FrameStatus::Ok) return false;
    return true;
}

AnimationReport readReport(const std::string& path, const ImageSink& eachImage) {
    AnimationReport result;
    result.path = path;
    imaging::InputFileStatus opened = imaging::InputFileStatus::Ok;
    const std::unique_ptr<tglformat::ByteSource> source =
        tglformat::openFile(path.c_str(), &opened);
    // A file the viewer refuses unread is reported as such; only one that
    // cannot be opened at all is an input error.
    switch (opened) {
    case imaging::InputFileStatus::Ok: break;
    case imaging::InputFileStatus::CannotOpen:
        result.error = "cannot open the file";
        result.ioError = true;
        return result;
    case imaging::InputFileStatus::NotRegular:
        result.error = "not a regular file, which the viewer does not read";
        return result;
    case imaging::InputFileStatus::TooLarge:
        result.error = "2 GiB or more, which the viewer does not read";
        return result;
    }
    tglformat::Scanner scanner(*source);
    if (!scanner.readTable()) {
        result.error = "not a .tgl file (it does not begin with \"DFX\")";
        return result;
    }
    const tglformat::Header& header = scanner.header();
    result.magicFourth = header.magicFourth;
    result.durationFlag = header.perFrameDurations();
    result.headerRest.assign(header.bytes + 4, header.bytes + tglformat::kHeaderBytes);
    result.declaredFrameCount = header.declaredFrameCount;
    result.defaultDuration = header.defaultDuration;

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

    for (const tglformat::Frame& from : scanner.frames()) {
        FrameInfo f;
        f.x = from.record.x;
        f.y = from.record.y;
        f.aux1 = from.record.aux1;
        f.aux2 = from.record.aux2;
        f.duration = from.duration;
        result.frames.push_back(f);
    }

    tglformat::decodeFrames(
        scanner,
        [&](tglformat::DecodedFrame& decoded) {
            FrameInfo& f = result.frames[static_cast<std::size_t>(decoded.index)];
            f.hasBlock = true;
            f.blockOffset = decoded.block.offset;
            f.marker = decoded.block.marker;
            f.second = decoded.block.second;
            f.length = decoded.block.length;
            f.status = decoded.status;
            f.inflatedBytes = decoded.inflatedBytes;
            if (f.status == FrameStatus::Ok || f.status == FrameStatus::OverImageLimit)
                f.image = ImageInfo{imaging::formatName(decoded.image.format), decoded.image.width,
                                    decoded.image.height, imaging::describeImage(decoded.image)};
            if (f.status == FrameStatus::Ok && eachImage)
                eachImage(static_cast<std::size_t>(decoded.index), decoded.file.data(),
                          decoded.file.size());
        },
        eachImage != nullptr);
    if (const std::optional<std::string> anomaly = endAnomaly(scanner))
        result.anomalies.push_back(*anomaly);
    if (scanner.zeroWords() > 0)
        result.anomalies.push_back(std::to_string(scanner.zeroWords()) +
                                   " zero word(s) in the image area");
    return result;
}

} // namespace tgltool
