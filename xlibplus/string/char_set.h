#pragma once

#include <cstdint>
#include <type_traits>

namespace xlibplus {

// A set of character codes as a bit array inside the object: code k is a member
// when bit k % 32 of word k / 32 is set. The array has one byte per possible
// code, of which the first eighth is used. Codes are unsigned: a char of 0x80
// or above is not sign-extended. Wide sets use 16-bit code units (char16_t).
template <typename T> class xCharSet_T {
    static_assert(sizeof(T) <= 2, "8- or 16-bit code units");
    using Code = std::make_unsigned_t<T>;

  public:
    static constexpr std::int32_t kWordCount = (std::int32_t(1) << (8 * sizeof(T))) / 4;

    // The members are the characters of `text` up to its terminating zero.
    explicit xCharSet_T(const T* text) {
        clearBits();
        for (; *text; ++text)
            add(*text);
    }
    virtual ~xCharSet_T() = default;

    void add(T character) {
        const auto code = static_cast<Code>(character);
        bits_[code >> 5] |= std::uint32_t(1) << (code & 31);
    }
    bool contains(T character) const {
        const auto code = static_cast<Code>(character);
        return (bits_[code >> 5] >> (code & 31)) & 1;
    }

    std::int32_t wordCount() const { return wordCount_; }
    std::uint32_t word(std::int32_t index) const { return bits_[index]; } // pre: index < wordCount

  private:
    // Words already zero are not written: a set in static storage is zero
    // before it is built, and the pages of a wide set's 64 KiB that are only
    // read cost the process no memory.
    void clearBits() {
        for (std::uint32_t& word : bits_)
            if (word != 0) word = 0;
    }

    std::int32_t wordCount_ = kWordCount;
    std::uint32_t bits_[kWordCount];
};

using xCharSetA = xCharSet_T<char>;
using xCharSetW = xCharSet_T<char16_t>;

// The library's character classes, built during static initialisation in this
// order: the six wide ones, then the six narrow ones twice.
extern const xCharSetW wideBlanks, wideLineBreaks, wideLowerCase, wideUpperCase, wideDigits,
    widePunctuation;
extern const xCharSetA blanks, lineBreaks, lowerCase, upperCase, digits, punctuation;
extern const xCharSetA blanks2, lineBreaks2, lowerCase2, upperCase2, digits2, punctuation2;

} // namespace xlibplus
