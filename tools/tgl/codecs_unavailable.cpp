#include "tools/tgl/animation_import.h"
#include "tools/tgl/gif_export.h"
#include "tools/tgl/output.h"
#include "tools/tgl/webp_export.h"

// Builds without libwebp and giflib (Windows) say so instead of writing anything.
namespace tgltool {

struct WebPWriter::State {};

WebPWriter::WebPWriter(int, int) {
    throw CommandError("animated WebP export is not available in this build of tgl");
}
WebPWriter::~WebPWriter() = default;
void WebPWriter::add(const std::vector<std::uint32_t>&, std::int32_t) {}
std::vector<std::uint8_t> WebPWriter::finish() { return {}; }

SourceInfo importWebP(const std::string&, const FrameSink&) {
    throw CommandError("WebP input is not available in this build of tgl");
}

SourceInfo importGif(const std::string&, const FrameSink&) {
    throw CommandError("GIF input is not available in this build of tgl");
}

struct GifWriter::State {};

GifWriter::GifWriter(int, int, bool) {
    throw CommandError("animated GIF export is not available in this build of tgl");
}
GifWriter::~GifWriter() = default;
void GifWriter::add(std::vector<std::uint32_t>, std::int32_t) {}
std::vector<std::uint8_t> GifWriter::finish() { return {}; }

} // namespace tgltool
