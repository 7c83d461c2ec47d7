#include "platform/file_names.h"
#include "platform/text_encoding.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using textencoding::utf16FromUtf8;
using textencoding::utf8FromUtf16;

TEST(TextEncoding, NamesOfEveryScriptGoThereAndBack) {
    for (const char* name :
         {"スプライト.tgl", "Анимация", "Ελληνικά", "a b.tgl", "café", "\xF0\x9F\x8E\x9E film.tgl"})
        EXPECT_EQ(utf8FromUtf16(utf16FromUtf8(name)), name);
    // U+1F39E is one surrogate pair.
    EXPECT_EQ(utf16FromUtf8("\xF0\x9F\x8E\x9E"), (std::u16string{0xD83C, 0xDF9E}));
    EXPECT_EQ(utf16FromUtf8("\xC3\xA9\xE3\x82\xB9"), (std::u16string{0xE9, 0x30B9}));
}

TEST(TextEncoding, EachByteThatIsNotUtf8BecomesOneReplacement) {
    const std::u16string bad(1, 0xFFFD);
    const auto replaced = [&](int n) {
        std::u16string s;
        for (int i = 0; i < n; ++i)
            s += bad;
        return s;
    };
    EXPECT_EQ(utf16FromUtf8("a\xFF\xFE"
                            "b"),
              u"a" + replaced(2) + u"b");                      // a Linux name's bytes
    EXPECT_EQ(utf16FromUtf8("\x80"), replaced(1));             // a lone continuation
    EXPECT_EQ(utf16FromUtf8("\xE3\x82"), replaced(2));         // cut short at the end
    EXPECT_EQ(utf16FromUtf8("\xE3\x82z"), replaced(2) + u"z"); // cut short by another
    EXPECT_EQ(utf16FromUtf8("\xC0\xAF"), replaced(2));         // overlong '/'
    EXPECT_EQ(utf16FromUtf8("\xED\xA0\x80"), replaced(3));     // a surrogate, encoded
    EXPECT_EQ(utf16FromUtf8("\xF4\x90\x80\x80"), replaced(4)); // past U+10FFFF
    EXPECT_EQ(utf16FromUtf8("\xF4\x8F\xBF\xBF"), (std::u16string{0xDBFF, 0xDFFF}));
    EXPECT_EQ(textencoding::validUtf8("caf\xC3\xA9 \xFF.tgl"), "caf\xC3\xA9 \xEF\xBF\xBD.tgl");
}

TEST(TextEncoding, EachUnpairedSurrogateBecomesOneReplacement) {
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(utf8FromUtf16(std::u16string{0xD83C}), bad);            // high at the end
    EXPECT_EQ(utf8FromUtf16(std::u16string{0xDF9E, 'a'}), bad + "a"); // low alone
    EXPECT_EQ(utf8FromUtf16(std::u16string{0xD83C, 'a'}), bad + "a"); // high, then no low
    EXPECT_EQ(utf8FromUtf16(std::u16string{0xD83C, 0xD83C, 0xDF9E}), bad + "\xF0\x9F\x8E\x9E");
}

// A name the system holds exactly: on Windows outside every code page, and
// past 260 characters; on Linux bytes that are not UTF-8.
#if defined(_WIN32)
const std::string kName = "スプライト Анимация \xF0\x9F\x8E\x9E";
#else
const std::string kName = "bad \xFF\xFE name";
#endif

TEST(FileNames, AFileIsWrittenReplacedAndRemovedUnderItsOwnName) {
    TempDir dir;
    const std::string folder = filenames::utf8FromPath(dir.path());
    std::string deep = folder;
    for (int i = 0; i < 4; ++i) // past 300 characters
        deep += "/" + kName + std::string(80, 'd');
    std::filesystem::create_directories(filenames::pathFromUtf8(deep));
    const std::string file = deep + "/" + kName + ".tgl", part = file + ".part";
    for (const char* text : {"one", "two"}) { // the second replaces the first
        std::FILE* out = filenames::openFile(part, "wb");
        ASSERT_TRUE(out);
        std::fputs(text, out);
        std::fclose(out);
        EXPECT_FALSE(filenames::replaceFile(part, file));
    }
    std::FILE* in = filenames::openFile(file, "rb");
    ASSERT_TRUE(in);
    char text[4] = {};
    EXPECT_EQ(std::fread(text, 1, 3, in), 3u);
    std::fclose(in);
    EXPECT_STREQ(text, "two");
    EXPECT_EQ(filenames::utf8FromPath(filenames::pathFromUtf8(file).filename()), kName + ".tgl");
    EXPECT_TRUE(filenames::replaceFile(part, file)) << "no file to move gives its reason";
    EXPECT_TRUE(filenames::removeFile(file));
    EXPECT_FALSE(std::filesystem::exists(filenames::pathFromUtf8(file)));
}

// Only a committed file replaces what stood there; nothing else is left behind.
TEST(FileNames, AWholeFileAppearsOnlyWhenCommitted) {
    TempDir dir;
    const std::string folder = filenames::utf8FromPath(dir.path());
    const std::string file = folder + "/" + kName + ".tgl";
    ASSERT_FALSE(filenames::writeWholeFile(file, "old", 3));
    {
        filenames::WholeFile abandoned(file);
        abandoned.write("new", 3);
    }
    filenames::WholeFile next(file);
    next.write("ne", 2);
    next.write("w!", 2);
    EXPECT_FALSE(next.commit());
    std::FILE* in = filenames::openFile(file, "rb");
    ASSERT_TRUE(in);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, in), 4u);
    std::fclose(in);
    EXPECT_STREQ(text, "new!");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_TRUE(filenames::writeWholeFile(folder + "/no folder/" + kName, "x", 1))
        << "a file that cannot be made gives its reason";
}

TEST(FileNames, TheProgramKnowsItsOwnPath) {
    const std::filesystem::path self = filenames::pathFromUtf8(filenames::programPath());
    EXPECT_TRUE(std::filesystem::is_regular_file(self)) << filenames::programPath();
}

} // namespace
