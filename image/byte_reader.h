#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace imaging {

// Little- and big-endian fields of an encoded image. Reads past the end give
// zeros, so a header cut short reads as one with empty fields.
class ByteReader {
  public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }
    bool holds(std::size_t at, const char* text, std::size_t length) const {
        return size_ >= at && size_ - at >= length && std::memcmp(data_ + at, text, length) == 0;
    }
    std::uint32_t u8(std::size_t at) const { return at < size_ ? data_[at] : 0; }
    std::uint32_t le16(std::size_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::uint32_t be16(std::size_t at) const { return u8(at) << 8 | u8(at + 1); }
    std::uint32_t le32(std::size_t at) const { return le16(at) | le16(at + 2) << 16; }
    std::uint32_t be32(std::size_t at) const { return be16(at) << 16 | be16(at + 2); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace imaging
