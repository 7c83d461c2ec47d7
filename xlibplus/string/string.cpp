#include "xlibplus/string/string.h"

#include "xlibplus/memory/memory_manager.h"

#include <cassert>
#include <cstring>
#include <utility>

#if defined(_WIN32)
#define XLIB_STRICMP _stricmp
#else
#include <strings.h>
#define XLIB_STRICMP strcasecmp
#endif

namespace xlibplus {

const char kStringAllocationFailure[14] = "\xB4\xB4\xBD\xA8\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC\x21";

namespace {

const char kEmpty[1] = "";

// The headroom a resize adds (one byte of it for the terminating zero).
constexpr std::uint32_t kResizeMargin = 4;
constexpr std::uint32_t kLargestLength = 0xFFFFFFFFu - kResizeMargin;

} // namespace

xStringA::xStringA(const char* text) {
    if (text) assign(text);
}

xStringA::xStringA(const char* begin, const char* end) {
    if (reinterpret_cast<std::uintptr_t>(begin) < reinterpret_cast<std::uintptr_t>(end)) {
        assign(begin, static_cast<std::uint32_t>(end - begin));
    } else {
        assign(nullptr, 0);
    }
}

xStringA::xStringA(const xStringA& other) : xStreamEx() { assign(other.cStr(), other.length()); }

xStringA::~xStringA() {
    if (!data_) return;
    xFree(data_);
    capacity_ = 0;
    data_ = nullptr;
}

xStringA& xStringA::operator=(const char* text) {
    assign(text);
    return *this;
}

xStringA& xStringA::operator=(const xStringA& other) {
    assign(other.cStr(), other.length());
    return *this;
}

const char* xStringA::cStr() const { return length_ != 0 && data_ ? data_ : kEmpty; }

void xStringA::grow(std::uint32_t n) {
    if (n > kLargestLength) throw kStringAllocationFailure;
    void* grown = xRealloc(data_, n + kResizeMargin);
    if (!grown) throw kStringAllocationFailure;
    data_ = static_cast<char*>(grown);
    capacity_ = n + kResizeMargin;
}

std::size_t xStringA::offsetInBuffer(const void* bytes) const {
    const auto* p = static_cast<const char*>(bytes);
    return data_ && p >= data_ && p < data_ + capacity_ ? std::size_t(p - data_) : kNotInBuffer;
}

const char* xStringA::rebased(const void* bytes, std::size_t offset) const {
    return offset == kNotInBuffer ? static_cast<const char*>(bytes) : data_ + offset;
}

void xStringA::setSize(std::uint32_t n) {
    if (n == 0) {
        xFree(data_);
        capacity_ = 0;
        data_ = nullptr;
    } else if (n >= capacity_) {
        grow(n);
    }
    length_ = n;
    if (data_) data_[n] = '\0';
    if (position_ > length_) position_ = length_;
    checkInvariants();
}

void xStringA::append(const void* bytes, std::uint32_t n) {
    if (n == 0) return;
    const std::uint32_t old = length_;
    if (n > kLargestLength - old) throw kStringAllocationFailure;

    // Bytes from this very buffer must be found again after it moves.
    const std::size_t offset = offsetInBuffer(bytes);
    if (old + n >= capacity_) {
        setSize(old + n);
    } else {
        length_ = old + n;
        data_[length_] = '\0';
    }
    std::memmove(data_ + old, rebased(bytes, offset), n);
    checkInvariants();
}

// The buffer is obtained before anything changes, so that a throw leaves the
// string exactly as it was.
void xStringA::assign(const void* bytes, std::uint32_t n) {
    if (n == 0 || !bytes) {
        length_ = 0;
        position_ = 0;
        if (data_) data_[0] = '\0';
        return;
    }
    const std::size_t offset = offsetInBuffer(bytes);
    const bool resized = n >= capacity_;
    if (resized) grow(n);
    std::memmove(data_, rebased(bytes, offset), n);
    length_ = n;
    data_[n] = '\0';
    // Only a resize lowers the position.
    if (resized && position_ > length_) position_ = length_;
    checkInvariants();
}

void xStringA::assign(const char* text) {
    assign(text, static_cast<std::uint32_t>(std::strlen(text)));
}

xStringA xStringA::extension() const {
    for (std::uint32_t i = length_; i-- > 0;) {
        const char c = data_[i];
        if (c == '\\' || c == '/') break;
        if (c == '.') return xStringA(data_ + i, data_ + length_);
    }
    return xStringA();
}

int xStringA::compareNoCase(const char* text) const { return XLIB_STRICMP(cStr(), text); }

std::uint32_t xStringA::read(void* destination, std::uint32_t count) {
    if (position_ >= length_ || count == 0) return 0;
    const std::uint32_t available = length_ - position_;
    const std::uint32_t k = count < available ? count : available;
    std::memcpy(destination, data_ + position_, k);
    position_ += k;
    return k;
}

std::uint32_t xStringA::write(const void* source, std::uint32_t count) {
    if (count > 0xFFFFFFFFu - position_) throw kStringAllocationFailure;
    const std::uint32_t end = position_ + count;
    const auto* bytes = static_cast<const char*>(source);
    // Overwriting and appending: grow first, so that a throw changes nothing.
    if (position_ < length_ && end >= capacity_) {
        const std::size_t offset = offsetInBuffer(source);
        grow(end);
        bytes = rebased(source, offset);
    }
    if (position_ < length_) {
        if (end > length_) {
            const std::uint32_t overwritten = length_ - position_;
            std::memmove(data_ + position_, bytes, overwritten);
            append(bytes + overwritten, count - overwritten);
        } else {
            std::memmove(data_ + position_, bytes, count);
        }
    } else {
        append(bytes, count);
    }
    position_ = end;
    return count;
}

void xStringA::swapContent(xStringA& other) {
    std::swap(data_, other.data_);
    std::swap(capacity_, other.capacity_);
    std::swap(length_, other.length_);
    std::swap(position_, other.position_);
}

void xStringA::checkInvariants() const {
    assert(length_ == 0 || data_);
    assert(!data_ || (length_ < capacity_ && data_[length_] == '\0'));
}

} // namespace xlibplus
