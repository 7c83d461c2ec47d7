#pragma once

#include "xlibplus/string/string.h"

#include <cstdint>

namespace xlibplus {

// The library's exception base: a code and a message. Thrown by value.
class xException {
  public:
    xException(const char* message, std::int32_t code) : code_(code), message_(message) {}
    xException(const xException&) = default;
    virtual ~xException() = default;

    std::int32_t code() const { return code_; }
    const xStringA& message() const { return message_; }

  private:
    std::int32_t code_;
    xStringA message_;
};

// A bad index, code 0; the message is "invalid index value!" in the GBK code page.
class xInvalidIndexException : public xException {
  public:
    static constexpr const char* kMessage = "\xB7\xC7\xB7\xA8\xB5\xC4\xCB\xF7\xD2\xFD\xD6\xB5\x21";
    xInvalidIndexException() : xException(kMessage, 0) {}
};

} // namespace xlibplus
