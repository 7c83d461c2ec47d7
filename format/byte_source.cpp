#include "format/byte_source.h"

#include "image/limits.h"

#include <algorithm>
#include <cstring>

namespace tglformat {

std::size_t MemorySource::read(void* to, std::size_t bytes) {
    const std::size_t got = std::min(bytes, size_ - at_);
    if (got > 0) std::memcpy(to, data_ + at_, got);
    at_ += got;
    return got;
}

namespace {

class FileSource final : public ByteSource {
  public:
    FileSource(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override { std::fclose(file_); }
    std::size_t read(void* to, std::size_t bytes) override {
        return bytes == 0 ? 0 : std::fread(to, 1, bytes, file_);
    }
    std::uint64_t size() const override { return size_; }

  private:
    std::FILE* file_;
    std::uint64_t size_;
};

} // namespace

std::unique_ptr<ByteSource> openFile(const char* path, imaging::InputFileStatus* status) {
    const imaging::InputFile input = imaging::openInputFile(path, InputLimits::kMaxFileBytes);
    if (status) *status = input.status;
    if (input.status != imaging::InputFileStatus::Ok) return nullptr;
    try {
        return std::make_unique<FileSource>(input.file, input.size);
    } catch (...) {
        std::fclose(input.file);
        throw;
    }
}

} // namespace tglformat
