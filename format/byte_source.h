#pragma once

#include "image/input_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// Where a .tgl file is read from: a file or bytes in memory, front to back.
namespace tglformat {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Fewer bytes than asked only at the end.
    virtual std::size_t read(void* to, std::size_t bytes) = 0;
    // Measured once, when the source is made.
    virtual std::uint64_t size() const = 0;
};

// Bytes the caller keeps alive while the source is read.
class MemorySource final : public ByteSource {
  public:
    MemorySource(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(data ? size : 0) {}
    std::size_t read(void* to, std::size_t bytes) override;
    std::uint64_t size() const override { return size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A regular file below InputLimits::kMaxFileBytes (the format's offsets are
// 32-bit), opened without blocking; null, with the reason, otherwise.
std::unique_ptr<ByteSource> openFile(const char* path, imaging::InputFileStatus* status = nullptr);

} // namespace tglformat
