#include "platform/text_encoding.h"

namespace textencoding {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point that starts at `at`, moving `at` past it; a byte that starts
// no valid sequence (overlong, a surrogate, past U+10FFFF, cut short) is
// replaced and passed alone.
char32_t decodeOne(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) return lead;
    int length = 0;
    char32_t value = 0, smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return kReplacement;
    }
    if (text.size() - at < std::size_t(length - 1)) return kReplacement;
    for (int i = 0; i < length - 1; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + std::size_t(i)]);
        if (!continuation(byte)) return kReplacement;
        value = value << 6 | (byte & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacement;
    at += std::size_t(length - 1);
    return value;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool highSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool lowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

std::u16string utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t c = decodeOne(utf8, at);
        if (c < 0x10000) {
            out += char16_t(c);
        } else {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string utf8FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t at = 0; at < utf16.size(); ++at) {
        const char16_t unit = utf16[at];
        if (highSurrogate(unit) && at + 1 < utf16.size() && lowSurrogate(utf16[at + 1])) {
            appendUtf8(out, 0x10000 + (char32_t(unit - 0xD800) << 10) + (utf16[++at] - 0xDC00));
        } else if (highSurrogate(unit) || lowSurrogate(unit)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::string validUtf8(std::string_view text) { return utf8FromUtf16(utf16FromUtf8(text)); }

} // namespace textencoding
