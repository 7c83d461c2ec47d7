#pragma once

#include <string>
#include <string_view>

// Text inside the programs is UTF-8; these convert at the doors that speak
// UTF-16 (the Windows API). Neither throws nor stops: a byte that begins no
// valid UTF-8 sequence, and a surrogate without its pair, become U+FFFD each.
namespace textencoding {

std::u16string utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::u16string_view utf16);
// The text with each byte that is not UTF-8 replaced: for the doors that take
// only UTF-8 (an X window's title), where a Linux file name may be any bytes.
std::string validUtf8(std::string_view text);

} // namespace textencoding
