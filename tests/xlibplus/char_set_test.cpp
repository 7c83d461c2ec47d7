#include "xlibplus/string/char_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

using xlibplus::xCharSetA;
using xlibplus::xCharSetW;

template <typename Set> std::vector<int> members(const Set& set) {
    std::vector<int> codes;
    for (int w = 0; w < set.wordCount(); ++w)
        for (int b = 0; b < 32; ++b)
            if ((set.word(w) >> b) & 1) codes.push_back(w * 32 + b);
    return codes;
}

std::vector<int> range(int from, int to) {
    std::vector<int> codes;
    for (int c = from; c <= to; ++c)
        codes.push_back(c);
    return codes;
}

// Built over memory that held something else, every word is cleared.
template <typename Set, typename Text> std::vector<int> builtOverOnes(const Text* text) {
    alignas(Set) unsigned char storage[sizeof(Set)];
    std::memset(storage, 0xFF, sizeof storage);
    const Set* set = new (storage) Set(text);
    std::vector<int> codes = members(*set);
    EXPECT_EQ(set->wordCount(), Set::kWordCount);
    set->~Set();
    return codes;
}

TEST(CharSet, EmptyTextGivesNoMemberInAnyWord) {
    EXPECT_EQ(xCharSetA::kWordCount, 64);
    EXPECT_EQ(xCharSetW::kWordCount, 16384);
    EXPECT_TRUE((builtOverOnes<xCharSetA>("")).empty());
    EXPECT_TRUE((builtOverOnes<xCharSetW>(u"")).empty());
    EXPECT_EQ((builtOverOnes<xCharSetW>(u"0")), std::vector<int>{0x30});
}

TEST(CharSet, DigitsAndLowerCaseExactBits) {
    EXPECT_EQ(xlibplus::digits.word(1), 0x03FF0000u);
    EXPECT_EQ(members(xlibplus::digits), range(0x30, 0x39));
    EXPECT_EQ(xlibplus::wideLowerCase.word(3), 0x07FFFFFEu);
    EXPECT_EQ(members(xlibplus::wideLowerCase), range(0x61, 0x7A));
    EXPECT_EQ(members(xlibplus::upperCase2), range(0x41, 0x5A));
}

TEST(CharSet, CodesAreUnsigned) {
    auto narrow = std::make_unique<xCharSetA>("");
    narrow->add(static_cast<char>(0xE9));
    EXPECT_EQ(narrow->word(7), 1u << 9);
    EXPECT_TRUE(narrow->contains(static_cast<char>(0xE9)));
    auto wide = std::make_unique<xCharSetW>(u"");
    wide->add(u'\xFFFF');
    EXPECT_EQ(wide->word(2047), 0x80000000u);
    EXPECT_EQ(members(*wide), std::vector<int>{0xFFFF});
}

TEST(CharSet, TheGlobalClasses) {
    EXPECT_EQ(members(xlibplus::blanks), (std::vector<int>{0x09, 0x20}));
    EXPECT_EQ(members(xlibplus::wideLineBreaks), (std::vector<int>{0x0A, 0x0D}));
    const std::vector<int> punctuation = {
        0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
        0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
    EXPECT_EQ(members(xlibplus::punctuation), punctuation);
    EXPECT_EQ(members(xlibplus::widePunctuation), punctuation);
    EXPECT_EQ(members(xlibplus::punctuation2), punctuation);
    EXPECT_TRUE(xlibplus::digits2.contains('7'));
    EXPECT_FALSE(xlibplus::digits2.contains('a'));
}

} // namespace
