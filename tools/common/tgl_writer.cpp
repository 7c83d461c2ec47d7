#include "tools/common/tgl_writer.h"

#include "xlibplus/string/string.h"

namespace tgltools {

namespace {

void putInt32(Bytes& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putBytes(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

} // namespace

TglWriter& TglWriter::magic(const std::string& fourBytes) {
    magic_ = fourBytes;
    return *this;
}

TglWriter& TglWriter::headerRest(const Bytes& bytes) {
    headerRest_ = bytes;
    headerRest_.resize(36, 0);
    return *this;
}

TglWriter& TglWriter::perFrameDurations(std::int32_t flag) {
    perFrameDurations_ = flag;
    return *this;
}

TglWriter& TglWriter::defaultDuration(std::int32_t milliseconds) {
    defaultDuration_ = milliseconds;
    return *this;
}

TglWriter& TglWriter::frame(const TglFrame& frame) {
    frames_.push_back(frame);
    return *this;
}

TglWriter& TglWriter::frameCount(std::int32_t count) {
    frameCount_ = count;
    return *this;
}

TglWriter& TglWriter::image(const Bytes& imageFile) { return rawBlock(zlibCompress(imageFile)); }

TglWriter& TglWriter::rawBlock(const Bytes& payload, std::int32_t marker, std::int32_t second,
                               std::optional<std::int32_t> length) {
    putInt32(imageArea_, marker);
    putInt32(imageArea_, second);
    putInt32(imageArea_, length.value_or(static_cast<std::int32_t>(payload.size())));
    putBytes(imageArea_, payload);
    return *this;
}

TglWriter& TglWriter::zeroWord() {
    putInt32(imageArea_, 0);
    return *this;
}

TglWriter& TglWriter::bytes(const Bytes& raw) {
    putBytes(imageArea_, raw);
    return *this;
}

Bytes TglWriter::build() const {
    Bytes out(magic_.begin(), magic_.end());
    putInt32(out, perFrameDurations_);
    putBytes(out, headerRest_);
    putInt32(out, frameCount_.value_or(static_cast<std::int32_t>(frames_.size())));
    putInt32(out, defaultDuration_);
    for (const TglFrame& f : frames_) {
        putInt32(out, f.x);
        putInt32(out, f.y);
        putInt32(out, f.aux1);
        putInt32(out, f.aux2);
    }
    if (perFrameDurations_ != 0)
        for (const TglFrame& f : frames_)
            putInt32(out, f.duration);
    putBytes(out, imageArea_);
    return out;
}

Bytes zlibCompress(const Bytes& plain) {
    const char* begin = reinterpret_cast<const char*>(plain.data());
    xlibplus::xStringA buffer(begin, begin + plain.size());
    buffer.compress();
    const auto* out = reinterpret_cast<const std::uint8_t*>(buffer.cStr());
    return Bytes(out, out + buffer.length());
}

} // namespace tgltools
