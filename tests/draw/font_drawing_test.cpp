#include "draw/sprite.h"
#include "tests/draw/font_test_support.h"

#include <vector>

namespace {

// Glyphs: A is 8 wide, B 6, C 4 (all 10 tall); A has 1 before and 2 after.
const std::string kFont = "[QUBFONT]\nBitmap = glyphs.tga\n"
                          "Char = 41, 0, 0, 8, 10, 1, 2\n"
                          "Char = 42, 8, 0, 6, 10, 0, 0\n"
                          "Char = 43, 14, 0, 4, 10, 0, 0\n";
const std::string kFontWithQuestionMark = kFont + "Char = 3F, 18, 0, 5, 10, 0, 1\n";

struct Drawn {
    float x;
    float y;
    float width;
};

class FontDrawing : public FontTest {
  protected:
    std::vector<Drawn> drawn() const {
        std::vector<Drawn> out;
        for (const Quad& q : engine.quads)
            out.push_back(
                Drawn{q.vertices[0].x, q.vertices[0].y, q.vertices[1].x - q.vertices[0].x});
        return out;
    }
    std::vector<float> xs() const {
        std::vector<float> out;
        for (const Drawn& d : drawn())
            out.push_back(d.x);
        return out;
    }
};

TEST_F(FontDrawing, LeftAlignedPenAdvancesByBeforeWidthAndAfter) {
    auto font = fontFrom(kFont);
    font->render(100, 50, Font::ALIGN_LEFT, "ABC");
    EXPECT_EQ(xs(), (std::vector<float>{101, 111, 117}));
    for (const Drawn& d : drawn())
        EXPECT_EQ(d.y, 50);
    EXPECT_EQ(font->textWidth("ABC", false), 21);
}

TEST_F(FontDrawing, RightAlignmentEndsEveryLineAtX) {
    auto font = fontFrom(kFont);
    font->render(100, 0, Font::ALIGN_RIGHT, "AB\nC");
    // "AB" is 17 wide, "C" 4.
    EXPECT_EQ(xs(), (std::vector<float>{84, 94, 96}));
    EXPECT_EQ(drawn()[2].y, 10);
}

TEST_F(FontDrawing, CentredLinesStartAtXLessHalfTheirRoundedWidth) {
    auto font = fontFrom(kFont);
    font->render(100, 0, Font::ALIGN_CENTRE, "ABC\nB");
    // 21 / 2 = 10.5 rounds to 10 (half to even); 6 / 2 = 3.
    EXPECT_EQ(xs(), (std::vector<float>{91, 101, 107, 97}));
}

TEST_F(FontDrawing, AlignmentThreeActsAsLeft) {
    auto font = fontFrom(kFont);
    font->render(100, 0, 3, "B");
    EXPECT_EQ(xs(), (std::vector<float>{100}));
}

TEST_F(FontDrawing, LineFeedMovesDownAndBackToX) {
    auto font = fontFrom(kFont);
    font->render(20, 30, Font::ALIGN_LEFT, "B\nB");
    ASSERT_EQ(drawn().size(), 2u);
    EXPECT_EQ(drawn()[1].x, 20);
    EXPECT_EQ(drawn()[1].y, 40);
}

TEST_F(FontDrawing, MissingGlyphsFallBackToTheQuestionMarkOrNothing) {
    auto plain = fontFrom(kFont);
    plain->render(0, 0, Font::ALIGN_LEFT, "AzB");
    EXPECT_EQ(xs(), (std::vector<float>{1, 11})) << "neither glyph nor '?': no draw, no advance";
    engine.quads.clear();

    auto withQuestionMark = fontFrom(kFontWithQuestionMark);
    withQuestionMark->render(0, 0, Font::ALIGN_LEFT, "Bz\r\nB");
    // z and the carriage return are drawn as '?' (5 wide, 1 after).
    EXPECT_EQ(xs(), (std::vector<float>{0, 6, 12, 0}));
    EXPECT_EQ(drawn()[1].width, 5);
    EXPECT_EQ(withQuestionMark->textWidth("z", false), 6);
}

TEST_F(FontDrawing, TextWidthOfTheFirstLineOrTheWidest) {
    auto font = fontFrom(kFont);
    EXPECT_EQ(font->textWidth("AB\nBBC", false), 17);
    EXPECT_EQ(font->textWidth("AB\nBBC", true), 17) << "AB is 17, BBC 16";
    EXPECT_EQ(font->textWidth("BC\nABC", true), 21);
    EXPECT_EQ(font->textWidth("", true), 0);
    EXPECT_EQ(font->textWidth("B\n\n\nC", true), 6);
}

TEST_F(FontDrawing, FormattedTextIsCutAt1023Characters) {
    auto font = fontFrom(kFont);
    std::string longText(2000, 'B');
    font->renderFormatted(0, 0, Font::ALIGN_LEFT, "%s", longText.c_str());
    EXPECT_EQ(engine.quads.size(), 1023u);
    EXPECT_EQ(std::string(Font::formattedText()).size(), 1023u);
    engine.quads.clear();
    font->renderFormatted(0, 0, Font::ALIGN_LEFT, "%c%d", 'A', 7);
    EXPECT_EQ(engine.quads.size(), 1u) << "'7' has no glyph and there is no '?'";
}

// The line count shows in where a bottom-aligned block starts: y + box height
// minus lines x line height.
class FontWrapping : public FontDrawing {
  protected:
    int linesFor(const char* text, float boxWidth) {
        engine.quads.clear();
        font->renderFormattedInBox(0, 0, boxWidth, 100, Font::ALIGN_BOTTOM, "%s", text);
        const float top = engine.quads.front().vertices[0].y;
        return static_cast<int>((100 - top) / 10);
    }
    void SetUp() override {
        FontDrawing::SetUp();
        font = fontFrom(kFont);
    }
    void TearDown() override {
        font.reset();
        FontDrawing::TearDown();
    }
    std::unique_ptr<Font> font;
};

TEST_F(FontWrapping, TheSpaceBeforeAWordThatDoesNotFitBreaksTheLine) {
    EXPECT_EQ(linesFor("BB BB", 15), 2);
    EXPECT_STREQ(Font::formattedText(), "BB\nBB");
}

TEST_F(FontWrapping, AWordWiderThanTheBoxGetsALineOfItsOwnCountedTwice) {
    EXPECT_EQ(linesFor("BBBBB B", 15), 3);
    EXPECT_STREQ(Font::formattedText(), "BBBBB\nB");
}

TEST_F(FontWrapping, ASingleWordWiderThanTheBoxStaysOneLine) {
    EXPECT_EQ(linesFor("BBBBB", 15), 2);
    EXPECT_STREQ(Font::formattedText(), "BBBBB");
}

TEST_F(FontWrapping, WordsThatFitStayOnOneLineAndLineFeedsCount) {
    EXPECT_EQ(linesFor("B B B", 100), 1);
    EXPECT_EQ(linesFor("B\nB", 100), 2);
    EXPECT_EQ(linesFor("BB BB BB BB", 40), 2);
    EXPECT_STREQ(Font::formattedText(), "BB BB BB\nBB");
}

TEST_F(FontWrapping, BoxAlignmentPlacesTheBlock) {
    engine.quads.clear();
    font->renderFormattedInBox(10, 20, 40, 60, Font::ALIGN_RIGHT | Font::ALIGN_MIDDLE, "%s", "B");
    // One line of 10 in a box of 60: centred at 20 + 25; the line ends at 10 + 40.
    EXPECT_EQ(drawn()[0].y, 45);
    EXPECT_EQ(drawn()[0].x, 44);
    engine.quads.clear();
    font->renderFormattedInBox(10, 20, 41, 60, Font::ALIGN_CENTRE, "%s", "B");
    EXPECT_EQ(drawn()[0].y, 20);
    EXPECT_EQ(drawn()[0].x, 10 + 20 - 3) << "round(41 / 2) = 20, half of 6 is 3";
}

TEST_F(FontDrawing, ColourDepthAndBlendModeReachEveryGlyph) {
    auto font = fontFrom(kFont);
    font->setColour(0xFF102030);
    font->setZ(0.125f);
    font->setBlendMode(0);
    EXPECT_EQ(font->colour(), 0xFF102030u);
    for (char c : {'A', 'B', 'C'}) {
        const Quad& q = font->glyph(static_cast<unsigned char>(c))->quad();
        EXPECT_EQ(q.blendMode, 0);
        for (const Vertex& v : q.vertices) {
            EXPECT_EQ(v.colour, 0xFF102030u);
            EXPECT_EQ(v.z, 0.125f);
        }
    }
}

} // namespace
