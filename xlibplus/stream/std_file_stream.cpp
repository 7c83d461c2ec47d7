#include "xlibplus/stream/std_file_stream.h"

namespace xlibplus {

xStdFileStream::xStdFileStream(const char* fileName, const char* mode)
    : xStream(hostIsLittleEndian()),
      file_(fileName && mode ? std::fopen(fileName, mode) : nullptr) {}

xStdFileStream::xStdFileStream(std::FILE* adopted)
    : xStream(hostIsLittleEndian()), file_(adopted) {}

xStdFileStream::~xStdFileStream() { close(); }

void xStdFileStream::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

std::uint32_t xStdFileStream::tell() {
    if (!file_) return 0;
    const long position = std::ftell(file_);
    return position < 0 ? 0 : static_cast<std::uint32_t>(position);
}

void xStdFileStream::seek(std::uint32_t position) {
    if (file_) std::fseek(file_, static_cast<long>(position), SEEK_SET);
}

std::uint32_t xStdFileStream::size() {
    if (!file_) return 0;
    const long saved = std::ftell(file_);
    std::fseek(file_, 0, SEEK_END);
    const long end = std::ftell(file_);
    std::fseek(file_, saved, SEEK_SET);
    return end < 0 ? 0 : static_cast<std::uint32_t>(end);
}

// A read error ends the data too: a folder opens like a file on some systems,
// and its reads fail without ever reaching an end of file.
bool xStdFileStream::eof() { return !file_ || std::feof(file_) != 0 || std::ferror(file_) != 0; }

std::uint32_t xStdFileStream::read(void* destination, std::uint32_t count) {
    if (!file_ || count == 0) return 0;
    return count * static_cast<std::uint32_t>(std::fread(destination, count, 1, file_));
}

std::uint32_t xStdFileStream::write(const void* source, std::uint32_t count) {
    if (!file_ || count == 0) return 0;
    const std::size_t written = std::fwrite(source, count, 1, file_);
    std::fflush(file_);
    return count * static_cast<std::uint32_t>(written);
}

} // namespace xlibplus
