#include "draw/sprite.h"
#include "tests/draw/font_test_support.h"

namespace {

const std::string kGlyphA = "Char = \"A\", 0, 0, 8, 10, 1, 2";

void expectGlyphA(const Font& font) {
    const Sprite* a = font.glyph('A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->regionX(), 0);
    EXPECT_EQ(a->regionY(), 0);
    EXPECT_EQ(a->width(), 8);
    EXPECT_EQ(a->height(), 10);
    EXPECT_EQ(font.advanceBefore('A'), 1);
    EXPECT_EQ(font.advanceAfter('A'), 2);
    EXPECT_EQ(font.lineHeight(), 10);
}

TEST_F(FontTest, LineEndsOfEveryKindAndBlankLines) {
    for (const char* end : {"\r\n", "\n", "\r", "\n\n\r\n"}) {
        auto font =
            fontFrom(std::string("[QUBFONT]") + end + "Bitmap = glyphs.tga" + end + kGlyphA + end);
        expectGlyphA(*font);
        EXPECT_EQ(font->texture(), 5u);
        EXPECT_EQ(font->glyph('A')->quad().texture, 5u);
        EXPECT_EQ(font->glyph('B'), nullptr);
    }
}

TEST_F(FontTest, QuotedAndHexadecimalCodes) {
    auto font = fontFrom(
        "[QUBFONT]\nChar = 41, 0, 0, 8, 10, 1, 2\nChar=\" \",1,2,3,4,5,6\n"
        "Char = \"\"\", 9, 9, 9, 9, 9, 9\nChar = \"=x, 7, 7, 7, 7, 7, 7\n"
        "Char = ff, 1, 1, 1, 1, 1, 1\nChar = 100, 1, 1, 1, 1, 1, 1\nChar =, 3, 3, 3, 3, 3, 3\n");
    expectGlyphA(*font);
    EXPECT_NE(font->glyph(' '), nullptr);
    EXPECT_NE(font->glyph('"'), nullptr);
    EXPECT_EQ(font->glyph('=')->width(), 7) << "the closing character's value is not tested";
    EXPECT_NE(font->glyph(0xFF), nullptr);
    EXPECT_EQ(font->glyph(0)->width(), 3) << "an empty hexadecimal run is code 0";
    EXPECT_EQ(font->lineHeight(), 10);
}

TEST_F(FontTest, LinesThatDoNotScanAreIgnored) {
    auto font = fontFrom(
        "[QUBFONT]\nChar 41, 0, 0, 8, 10, 1, 2\nChar = 42, 1, 2, 3\nChar = \"C\nChar = \"D\"\n"
        "Character = 45, 1, 1, 1, 1, 1, 1\nchar = 46, 1, 1, 1, 1, 1, 1\n Char = 47, 1, 1, 1, 1, 1, "
        "1\n");
    EXPECT_EQ(font->glyph('A'), nullptr) << "no equals sign";
    EXPECT_EQ(font->glyph('B'), nullptr) << "fewer than six numbers";
    EXPECT_EQ(font->glyph('C'), nullptr) << "nothing closes the quote";
    EXPECT_EQ(font->glyph('D'), nullptr) << "no numbers";
    EXPECT_NE(font->glyph('E'), nullptr) << "the keyword needs only its first four letters";
    EXPECT_EQ(font->glyph('F'), nullptr) << "keywords are case-sensitive";
    EXPECT_EQ(font->glyph('G'), nullptr) << "keywords start at the first column";
}

TEST_F(FontTest, HeaderMustBeExact) {
    for (const char* header : {" [QUBFONT]", "[QUBFONT] ", "[qubfont]", ""}) {
        engine.calls.clear();
        auto font = fontFrom(std::string(header) + "\n" + kGlyphA + "\n");
        EXPECT_EQ(font->glyph('A'), nullptr);
        EXPECT_TRUE(called("log(Font fonts/test.fnt has incorrect format.)"))
            << "header \"" << header << "\"";
    }
}

TEST_F(FontTest, MissingFileGivesAnEmptyFontSilently) {
    Font font("nowhere.fnt", false);
    EXPECT_EQ(font.texture(), 0u);
    EXPECT_EQ(font.lineHeight(), 0);
    for (const auto& c : engine.calls)
        EXPECT_EQ(c.rfind("log(", 0), std::string::npos) << c;
}

TEST_F(FontTest, ImagePathIsTheFontFilesFolderPlusTheName) {
    const std::string body = "[QUBFONT]\nBitmap = img.tga\n";
    fontFrom(body, "data\\fonts\\a.fnt");
    EXPECT_TRUE(called("loadTexture(data\\fonts\\img.tga)"));
    fontFrom(body, "data/fonts/a.fnt");
    EXPECT_TRUE(called("loadTexture(data/fonts/img.tga)"));
    fontFrom(body, "a.fnt");
    EXPECT_TRUE(called("loadTexture(img.tga)"));
    fontFrom(body, "x\\y/z.fnt");
    EXPECT_TRUE(called("loadTexture(x\\img.tga)")) << "the last backslash decides";
}

TEST_F(FontTest, BitmapLineWithoutANameAsksForTheFontFilesOwnPath) {
    fontFrom("[QUBFONT]\nBitmap\n", "fonts/bare.fnt");
    EXPECT_TRUE(called("loadTexture(fonts/bare.fnt)"));
    engine.calls.clear();
    fontFrom("[QUBFONT]\nBitmap =  \n", "fonts/bare.fnt");
    EXPECT_TRUE(called("loadTexture(fonts/bare.fnt)"));
    engine.calls.clear();
    fontFrom("[QUBFONT]\nBitmapX = img.tga\n", "fonts/bare.fnt");
    EXPECT_FALSE(called("loadTexture(fonts/img.tga)")) << "the pattern does not match";
}

TEST_F(FontTest, GlyphsBeforeAnyBitmapUseTextureZero) {
    auto font = fontFrom("[QUBFONT]\nChar = 41, 4, 6, 8, 10, 0, 0\nBitmap = glyphs.tga\nChar = 42, "
                         "0, 0, 8, 10, 0, 0\n");
    EXPECT_EQ(font->glyph('A')->quad().texture, 0u);
    EXPECT_EQ(font->glyph('A')->quad().vertices[0].u, 4) << "pixel coordinates";
    EXPECT_EQ(font->glyph('B')->quad().texture, 5u);
}

TEST_F(FontTest, AnImageThatDoesNotLoadStopsReading) {
    auto font = fontFrom("[QUBFONT]\nBitmap = glyphs.tga\nChar = 41, 0, 0, 8, 10, 0, 0\n"
                         "Bitmap = missing.tga\nChar = 42, 0, 0, 8, 10, 0, 0\n");
    EXPECT_NE(font->glyph('A'), nullptr);
    EXPECT_EQ(font->glyph('B'), nullptr);
    EXPECT_EQ(font->texture(), 0u);
    font.reset();
    EXPECT_TRUE(called("freeTexture(5)")) << "the image that did load is still freed";
}

TEST_F(FontTest, ReplacedGlyphsGoAndEveryTextureIsFreedOnce) {
    engine.textureFiles["fonts/second.tga"] = 6;
    auto font = fontFrom("[QUBFONT]\nBitmap = glyphs.tga\nChar = 41, 0, 0, 8, 10, 0, 0\nChar = 41, "
                         "8, 0, 8, 12, 0, 0\n"
                         "Bitmap = second.tga\nChar = 42, 0, 0, 8, 10, 0, 0\n");
    EXPECT_EQ(engine.references, 3) << "the font and its two glyphs";
    EXPECT_EQ(font->glyph('A')->regionX(), 8);
    EXPECT_EQ(font->glyph('A')->quad().texture, 5u) << "the first texture lives on for it";
    EXPECT_EQ(font->lineHeight(), 12);
    font.reset();
    int frees5 = 0, frees6 = 0;
    for (const auto& c : engine.calls) {
        frees5 += c == "freeTexture(5)";
        frees6 += c == "freeTexture(6)";
    }
    EXPECT_EQ(frees5, 1);
    EXPECT_EQ(frees6, 1);
}

TEST_F(FontTest, OverlongLinesAreCutAndLongPathsKeptWhole) {
    std::string padded = "Char = 41, 0, 0, 8, 10, 1, 2" + std::string(400, ' ') + "junk";
    auto font = fontFrom("[QUBFONT]\n" + padded + "\nChar = 42" + std::string(300, ' ') +
                         ", 1, 1, 1, 1, 1, 1\n");
    EXPECT_NE(font->glyph('A'), nullptr);
    EXPECT_EQ(font->glyph('B'), nullptr) << "its numbers lie past the cut";

    const std::string folder = "a/" + std::string(100, 'f') + "/", longName(200, 'n');
    engine.calls.clear();
    fontFrom("[QUBFONT]\nBitmap = " + longName + "\n", folder + "test.fnt");
    EXPECT_TRUE(called("loadTexture(" + folder + longName + ")"))
        << "past 259 characters, as a deep folder's path is";
}

} // namespace
