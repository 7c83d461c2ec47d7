#pragma once

#include "xlibplus/string/stream_ex.h"

#include <cstddef>
#include <cstdint>

namespace xlibplus {

// What a string throws when its buffer cannot grow: a pointer to this text, in
// the GBK code page ("could not allocate memory!").
extern const char kStringAllocationFailure[14];

// Why a string's content did not inflate.
enum class xInflateResult { Ok, NotZlib, OverLimit };

// A narrow string that is also a growable byte buffer and an in-memory stream.
// The content may hold any bytes and is always followed by a zero. The string
// owns its buffer (from the memory manager); copies copy the bytes. A buffer is
// taken on the first non-empty content and kept until setSize(0) or destruction.
class xStringA : public xStreamEx {
  public:
    static constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;

    xStringA() = default;
    xStringA(const char* text); // null gives the empty string
    xStringA(const char* begin, const char* end);
    xStringA(const xStringA& other);
    ~xStringA() override;

    xStringA& operator=(const char* text); // pre: text is not null
    xStringA& operator=(const xStringA& other);

    std::uint32_t length() const { return length_; }
    // Never null; the shared empty string when there is no content.
    const char* cStr() const;
    // The buffer, null while none is allocated; `capacity` bytes long.
    char* data() { return data_; }
    std::uint32_t capacity() const { return capacity_; }

    // Exactly n + 4 bytes when it must grow; never shrinks but to nothing.
    // Throws kStringAllocationFailure, unchanged, when the buffer cannot grow.
    void setSize(std::uint32_t n) override;
    void append(const void* bytes, std::uint32_t n);
    void assign(const void* bytes, std::uint32_t n);
    void assign(const char* text); // pre: text is not null

    // From the last full stop to the end, or empty when a slash or backslash
    // comes first (scanning from the end) or there is no full stop.
    xStringA extension() const;
    int compareNoCase(const char* text) const;

    // The content becomes its zlib stream; unchanged on failure.
    void compress();
    // The content becomes the bytes its zlib stream inflates to, position 0.
    // False, unchanged, when it is not a zlib stream or would inflate past
    // `limit` bytes.
    bool decompress(std::uint32_t limit = kNoLimit);
    // The same, saying why it failed.
    xInflateResult decompressWithReason(std::uint32_t limit = kNoLimit);

    std::uint32_t size() override { return length_; }
    std::uint32_t read(void* destination, std::uint32_t count) override;
    // Overwrites from the position and appends the rest; at or past the end
    // it appends at the end. The position then moves by `count`.
    std::uint32_t write(const void* source, std::uint32_t count) override;

  private:
    static constexpr std::size_t kNotInBuffer = ~std::size_t{0};

    // pre: n >= capacity_. Throws, changing nothing, when it cannot.
    void grow(std::uint32_t n);
    // Where bytes lie in the buffer, or kNotInBuffer; found again after a grow.
    std::size_t offsetInBuffer(const void* bytes) const;
    const char* rebased(const void* bytes, std::size_t offset) const;
    void swapContent(xStringA& other);
    void checkInvariants() const;

    char* data_ = nullptr;
    std::uint32_t capacity_ = 0;
    std::uint32_t length_ = 0;
};

} // namespace xlibplus
