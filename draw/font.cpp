#include "draw/font.h"

#include "draw/sprite.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

Engine* Font::engine = nullptr;
char Font::formatBuffer[Font::kFormatBytes];

namespace {

constexpr unsigned kQuestionMark = 63;

// Half to even, as the current rounding mode does by default.
float roundHalfEven(float value) { return std::nearbyint(value); }

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

Font::Font(const char* fileName, bool mipmap) {
    engine = engineRef_.get();
    std::uint32_t size = 0;
    void* resource = engine->loadResource(fileName, &size);
    if (!resource) return;
    std::string text(static_cast<const char*>(resource), size); // ends with a zero byte
    engine->freeResource(resource);
    parse(fileName, text.c_str(), mipmap);
}

Font::~Font() {
    for (Sprite*& glyph : glyphs_) {
        delete glyph;
        glyph = nullptr;
    }
    for (TextureHandle t : loadedTextures_)
        engine->freeTexture(t);
} // the reference goes last, with engineRef_

// A line ends at a zero byte, a line feed or a carriage return; a run of line
// ends is skipped. Lines longer than the buffer are cut, the rest skipped.
const char* Font::readLine(const char* cursor, char line[kLineBytes]) {
    if (*cursor == '\0') return nullptr;
    int length = 0;
    for (; *cursor != '\0' && !isLineEnd(*cursor); ++cursor)
        if (length < kLineBytes - 1) line[length++] = *cursor;
    line[length] = '\0';
    while (isLineEnd(*cursor))
        ++cursor;
    return cursor;
}

void Font::parse(const char* fileName, const char* text, bool mipmap) {
    char line[kLineBytes];
    const char* cursor = readLine(text, line);
    if (!cursor || std::strcmp(line, "[QUBFONT]") != 0) {
        engine->log("Font %s has incorrect format.", fileName);
        return;
    }
    while ((cursor = readLine(cursor, line))) {
        if (std::strncmp(line, "Bitmap", 6) == 0) {
            if (!readBitmapLine(fileName, line, mipmap)) return;
        } else if (std::strncmp(line, "Char", 4) == 0) {
            readGlyphLine(line);
        }
    }
}

bool Font::readBitmapLine(const char* fileName, const char* line, bool mipmap) {
    // The image lies in the font file's folder: the name replaces whatever
    // follows the last backslash, or failing that the last slash. The path
    // has any length (a folder deep in a user profile), not a fixed buffer's.
    std::string path = fileName;
    std::size_t separator = path.rfind('\\');
    if (separator == std::string::npos) separator = path.rfind('/');
    const std::size_t directoryLength = separator == std::string::npos ? 0 : separator + 1;

    char name[kLineBytes];
    const int scanned = std::sscanf(line, "Bitmap = %255s", name);
    if (scanned == 0) return true;
    if (scanned == 1) {
        // A line that ends before the name leaves the font file's own path.
        path.replace(directoryLength, std::string::npos, name);
    }
    texture_ = engine->loadTexture(path.c_str(), 0, mipmap);
    if (texture_ == 0) return false;
    loadedTextures_.push_back(texture_);
    return true;
}

void Font::readGlyphLine(const char* line) {
    const char* at = std::strchr(line, '=');
    if (!at) return;
    ++at;
    while (*at == ' ')
        ++at;

    std::uint32_t code = 0;
    if (*at == '"') {
        if (at[1] == '\0' || at[2] == '\0') return; // no character, or nothing closes it
        code = static_cast<unsigned char>(at[1]);
        at += 3;
    } else {
        for (int digit; (digit = hexValue(*at)) >= 0; ++at)
            code = code * 16 + static_cast<std::uint32_t>(digit);
        if (code > 255) return;
    }

    int x, y, w, h, before, after;
    if (std::sscanf(at, " , %d , %d , %d , %d , %d , %d", &x, &y, &w, &h, &before, &after) != 6)
        return;

    delete glyphs_[code];
    glyphs_[code] = new Sprite(texture_, static_cast<float>(x), static_cast<float>(y),
                               static_cast<float>(w), static_cast<float>(h));
    advanceBefore_[code] = static_cast<float>(before);
    advanceAfter_[code] = static_cast<float>(after);
    if (static_cast<float>(h) > lineHeight_) lineHeight_ = static_cast<float>(h);
}

Sprite* Font::glyphFor(char byte, unsigned& code) const {
    code = static_cast<unsigned char>(byte);
    if (!glyphs_[code]) code = kQuestionMark;
    return glyphs_[code];
}

float Font::textWidth(const char* text, bool multiline) const {
    float widest = 0;
    while (*text != '\0') {
        float lineWidth = 0;
        for (; *text != '\0' && *text != '\n'; ++text) {
            unsigned code;
            if (const Sprite* g = glyphFor(*text, code))
                lineWidth =
                    lineWidth +
                    (((advanceAfter_[code] + advanceBefore_[code]) + letterGap_) + g->width());
        }
        if (!multiline) return (widthRatio_ * scale_) * lineWidth;
        if (lineWidth > widest) widest = lineWidth;
        while (isLineEnd(*text))
            ++text;
    }
    return (widthRatio_ * scale_) * widest;
}

float Font::penStart(float x, int horizontal, const char* line) const {
    if (horizontal == ALIGN_RIGHT) return x - textWidth(line, false);
    if (horizontal == ALIGN_CENTRE) return x - roundHalfEven(textWidth(line, false) / 2);
    return x;
}

void Font::render(float x, float y, int alignment, const char* text) {
    const int horizontal = alignment & ALIGN_HORIZONTAL_MASK;
    const float stretch = widthRatio_ * scale_;
    float px = penStart(x, horizontal, text);
    for (; *text != '\0'; ++text) {
        if (*text == '\n') {
            y = y + roundHalfEven(lineSpacing_ * scale_ * lineHeight_);
            px = penStart(x, horizontal, text + 1);
            continue;
        }
        unsigned code;
        Sprite* glyph = glyphFor(*text, code);
        if (!glyph) continue;
        px = px + advanceBefore_[code] * widthRatio_ * scale_;
        glyph->renderTransformed(px, y, rotation_, stretch, scale_);
        px = px + ((advanceAfter_[code] + letterGap_) + glyph->width()) * widthRatio_ * scale_;
    }
}

void Font::renderFormatted(float x, float y, int alignment, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(formatBuffer, kFormatBytes, format, args);
    va_end(args);
    formatBuffer[kFormatBytes - 1] = '\0';
    render(x, y, alignment, formatBuffer);
}

// Breaks the words in formatBuffer into lines no wider than the box, in place,
// and returns the line count. A word wider than the box stays whole.
int Font::wrapFormatBuffer(float boxWidth) const {
    char* lineStart = formatBuffer;
    char* scan = formatBuffer;
    char* prevBreak = nullptr;
    int lines = 0;
    for (;;) {
        char* after = scan;
        while (*after != '\0' && *after != ' ' && *after != '\n')
            ++after;

        const char kept = *after;
        *after = '\0';
        const float wordsWidth = textWidth(lineStart, true);
        *after = kept;

        if (wordsWidth > boxWidth) {
            if (scan == lineStart || !prevBreak) {
                if (*after != '\0') {
                    *after = '\n';
                    lineStart = after + 1;
                }
            } else {
                *prevBreak = '\n';
                lineStart = prevBreak + 1;
            }
            ++lines;
        }
        if (*after == '\n') {
            lineStart = scan = after + 1;
            prevBreak = after;
            ++lines;
            continue;
        }
        if (*after == '\0') return lines + 1;
        prevBreak = after;
        scan = after + 1;
    }
}

void Font::renderFormattedInBox(float x, float y, float boxWidth, float boxHeight, int alignment,
                                const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(formatBuffer, kFormatBytes, format, args);
    va_end(args);
    formatBuffer[kFormatBytes - 1] = '\0';

    const int lines = wrapFormatBuffer(boxWidth);
    const float blockHeight = static_cast<float>(lines) * lineSpacing_ * scale_ * lineHeight_;

    float tx = x;
    if ((alignment & ALIGN_HORIZONTAL_MASK) == ALIGN_RIGHT) tx = x + boxWidth;
    if ((alignment & ALIGN_HORIZONTAL_MASK) == ALIGN_CENTRE) tx = x + roundHalfEven(boxWidth / 2);
    float ty = y;
    if ((alignment & ALIGN_VERTICAL_MASK) == ALIGN_BOTTOM) ty = y + (boxHeight - blockHeight);
    if ((alignment & ALIGN_VERTICAL_MASK) == ALIGN_MIDDLE)
        ty = y + roundHalfEven((boxHeight - blockHeight) / 2);
    render(tx, ty, alignment, formatBuffer);
}

void Font::setColour(std::uint32_t colour) {
    colour_ = colour;
    for (Sprite* glyph : glyphs_)
        if (glyph) glyph->setColour(colour, -1);
}

void Font::setZ(float z) {
    z_ = z;
    for (Sprite* glyph : glyphs_)
        if (glyph) glyph->setZ(z, -1);
}

void Font::setBlendMode(int blendMode) {
    blendMode_ = blendMode;
    for (Sprite* glyph : glyphs_)
        if (glyph) glyph->setBlendMode(blendMode);
}
