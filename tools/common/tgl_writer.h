#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builds .tgl files: the magic, the 40-byte header (its first word the
// per-frame-durations flag), the frame count, the default duration, the frame
// records, the optional duration table, then the image area. Files the viewer
// plays come from the plain calls; tests reach every field to make damaged ones.
namespace tgltools {

using Bytes = std::vector<std::uint8_t>;

struct TglFrame {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t duration = 0;
    std::int32_t aux1 = 0;
    std::int32_t aux2 = 0;
};

class TglWriter {
  public:
    // The four bytes before the header; "DFX" and one free byte by default.
    TglWriter& magic(const std::string& fourBytes);
    // Header bytes after the flag word (36 of them); zero by default.
    TglWriter& headerRest(const Bytes& bytes);
    // The header's first word: non-zero puts a duration table after the records.
    TglWriter& perFrameDurations(std::int32_t flag);
    TglWriter& defaultDuration(std::int32_t milliseconds);
    TglWriter& frame(const TglFrame& frame);
    // Writes this count instead of the number of frames given.
    TglWriter& frameCount(std::int32_t count);

    // An image block whose payload is the image file compressed with the
    // library's own zlib compression.
    TglWriter& image(const Bytes& imageFile);
    // A block with a payload as given, and its words as given.
    TglWriter& rawBlock(const Bytes& payload, std::int32_t marker = 1, std::int32_t second = 0,
                        std::optional<std::int32_t> length = std::nullopt);
    TglWriter& zeroWord();
    // Anything at all, appended to the image area.
    TglWriter& bytes(const Bytes& raw);

    Bytes build() const;

  private:
    std::string magic_ = std::string("DFX\0", 4);
    Bytes headerRest_ = Bytes(36, 0);
    std::int32_t perFrameDurations_ = 0;
    std::int32_t defaultDuration_ = 100;
    std::vector<TglFrame> frames_;
    std::optional<std::int32_t> frameCount_;
    Bytes imageArea_;
};

// The library's compression of a buffer: a bare zlib stream.
Bytes zlibCompress(const Bytes& plain);

} // namespace tgltools
