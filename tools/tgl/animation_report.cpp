#include "tools/tgl/animation_report.h"

#include "qub/image/image.h"
#include "qub/image/input_file.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_file_reader.h"
#include "xlibplus/stream/std_file_stream.h"
#include "xlibplus/string/string.h"

#include <cstring>
#include <sys/stat.h>

namespace tgltool {

namespace {

std::string at(const std::string& what, std::uint32_t offset) {
    return what + " at offset " + std::to_string(offset);
}

} // namespace

const char* statusText(FrameStatus status) {
    switch (status) {
    case FrameStatus::Ok: return "ok";
    case FrameStatus::NoBlock: return "no block";
    case FrameStatus::NotZlib: return "not zlib";
    case FrameStatus::NotAnImage: return "not an image";
    case FrameStatus::OverSizeLimit: return "over the size limit";
    case FrameStatus::OverImageLimit: return "over an image limit";
    case FrameStatus::OverDecodedBudget: return "over the decoded budget";
    }
    return "";
}

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
    const qub::InputFile input = qub::openInputFile(path.c_str(), InputLimits::kMaxFileBytes);
    // A file the viewer refuses unread is reported as such; only one that
    // cannot be opened at all is an input error.
    switch (input.status) {
    case qub::InputFileStatus::Ok: break;
    case qub::InputFileStatus::CannotOpen:
        result.error = "cannot open the file";
        result.ioError = true;
        return result;
    case qub::InputFileStatus::NotRegular:
        result.error = "not a regular file, which the viewer does not read";
        return result;
    case qub::InputFileStatus::TooLarge:
        result.error = "2 GiB or more, which the viewer does not read";
        return result;
    }
    xlibplus::xStdFileStream stream(input.file);
    const std::uint32_t fileSize = stream.size();
    std::uint8_t header[40] = {};
    TglFileReader reader(stream);
    if (!reader.readHeader(header)) {
        result.error = "not a .tgl file (it does not begin with \"DFX\")";
        return result;
    }
    stream.seek(3);
    stream.read(&result.magicFourth, 1);
    stream.seek(52);
    std::memcpy(&result.durationFlag, header, 4);
    result.headerRest.assign(header + 4, header + 40);
    result.declaredFrameCount = reader.declaredFrameCount();
    result.defaultDuration = reader.defaultDuration();

    const std::int32_t count = reader.frameCount();
    if (count < result.declaredFrameCount)
        result.anomalies.push_back("the frame count " + std::to_string(result.declaredFrameCount) +
                                   " is more than a file of " + std::to_string(fileSize) +
                                   " bytes can mean; held to " + std::to_string(count));
    const std::uint64_t tableBytes = 52 + std::uint64_t(count) * (result.durationFlag ? 20 : 16);
    if (tableBytes > fileSize)
        result.anomalies.push_back(
            "the file ends inside the frame table; missing values read as 0");

    result.frames.resize(static_cast<std::size_t>(count));
    for (FrameInfo& f : result.frames) {
        const TglFileReader::Record r = reader.readRecord();
        f.x = r.x;
        f.y = r.y;
        f.aux1 = r.aux1;
        f.aux2 = r.aux2;
        f.duration = reader.defaultDuration();
    }
    if (result.durationFlag != 0)
        for (FrameInfo& f : result.frames)
            f.duration = reader.readDuration();

    TglFileReader::Block block;
    std::int32_t k = 0;
    for (;; ++k) {
        const TglFileReader::Next next = reader.nextBlock(k, block);
        if (next == TglFileReader::Next::End) break;
        if (next == TglFileReader::Next::Surplus) {
            result.anomalies.push_back(
                at("a block with no frame left for it (reading stops)", block.offset));
            break;
        }
        if (next == TglFileReader::Next::BadLength) {
            result.anomalies.push_back(
                at(block.length < 0 ? "a negative payload length " + std::to_string(block.length)
                                    : "a payload length " + std::to_string(block.length) +
                                          " past the end of the file",
                   block.offset) +
                " (reading stops)");
            break;
        }
        FrameInfo& f = result.frames[static_cast<std::size_t>(k)];
        f.hasBlock = true;
        f.blockOffset = block.offset;
        f.marker = block.marker;
        f.second = block.second;
        f.length = block.length;
        xlibplus::xStringA image;
        const TglFileReader::FrameImage outcome =
            reader.readImage(block, image, CTGL::kMaxImageBytes);
        f.status = outcome.status;
        f.inflatedBytes = outcome.inflatedBytes;
        if (f.status == FrameStatus::Ok || f.status == FrameStatus::OverImageLimit)
            f.image = ImageInfo{qub::formatName(outcome.header.format), outcome.header.width,
                                outcome.header.height};
        if (f.status != FrameStatus::Ok) continue;
        // The engine decodes what the header promised; pixels that do not
        // decode show nothing there either.
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.cStr());
        qub::DecodedImage decoded;
        if (qub::decodeImage(bytes, image.length(), decoded) != qub::ImageStatus::Ok) {
            f.status = FrameStatus::NotAnImage;
            f.image = ImageInfo{};
            continue;
        }
        if (eachImage) eachImage(static_cast<std::size_t>(k), bytes, image.length());
    }
    if (reader.zeroWords() > 0)
        result.anomalies.push_back(std::to_string(reader.zeroWords()) +
                                   " zero word(s) in the image area");
    return result;
}

} // namespace tgltool
