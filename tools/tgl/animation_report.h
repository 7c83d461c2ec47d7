#pragma once

#include "format/byte_source.h"
#include "format/scanner.h"
#include "format/tgl_format.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Everything the viewer's reading of a .tgl file finds in it, frame by frame,
// with where each block lies and what became of its image.
namespace tgltool {

using FrameStatus = tglformat::FrameStatus;
using tglformat::statusText;

struct ImageInfo {
    std::string format; // "TGA", "PNG", ...; empty when not an image
    int width = 0;
    int height = 0;
    std::string description; // the format's variant and the size: "BMP 8-bit RLE 32x32"
};

struct FrameInfo {
    std::int32_t x = 0, y = 0, aux1 = 0, aux2 = 0, duration = 0;
    bool hasBlock = false;
    std::uint32_t blockOffset = 0;
    std::int32_t marker = 0, secondWord = 0, length = 0;
    std::uint32_t inflatedBytes = 0;
    ImageInfo image;
    FrameStatus status = FrameStatus::NoBlock;
};

// What is known of the file besides its frames.
struct AnimationReport {
    std::string path;
    std::string error; // the file could not be read as an animation at all
    bool ioError = false;
    std::uint8_t magicFourth = 0;
    std::int32_t durationFlag = 0;        // the header's first word
    std::vector<std::uint8_t> headerRest; // its other 36 bytes
    std::int32_t declaredFrameCount = 0;
    std::int32_t defaultDuration = 0;
    std::size_t frameCount = 0;
    std::int64_t loopMilliseconds = 0;
    std::vector<std::string> anomalies;
    std::size_t framesShown = 0; // once the frames are read

    bool everyFrameShows() const { return error.empty() && framesShown == frameCount; }
};

// Each frame as it is read, in order; not kept.
using FrameSink = std::function<void(std::size_t frame, const FrameInfo& info)>;
// Each image that shows, as it is read: its frame and its inflated bytes, valid
// only during the call, so that no more than one image is held at a time.
using ImageSink =
    std::function<void(std::size_t frame, const std::uint8_t* bytes, std::size_t size)>;

// Reads a file the way the viewer does, in two steps so that a caller can
// say what the file is before its frames: what is held per frame is the
// frame table's record, whatever the file holds.
class ReportReader {
  public:
    // Opens the file and reads its header and frame table.
    explicit ReportReader(const std::string& path);
    const AnimationReport& report() const { return report_; }
    // Hands each frame to `eachFrame` in order, then adds the image area's
    // anomalies to report(). Once only.
    void readFrames(const FrameSink& eachFrame, const ImageSink& eachImage = nullptr);

  private:
    AnimationReport report_;
    std::unique_ptr<tglformat::ByteSource> source_;
    std::unique_ptr<tglformat::Scanner> scanner_;
};

} // namespace tgltool
