#pragma once

#include <string>
#include <string_view>

// Text inside the programs is UTF-8; these convert at the doors that speak
// UTF-16 (the Windows API). Neither throws nor stops: a byte that begins no
// valid UTF-8 sequence, and a surrogate without its pair, become U+FFFD each.
namespace textencoding {

std::u16string utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::u16string_view utf16);

} // namespace textencoding
