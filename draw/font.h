#pragma once

#include "engine/engine.h"
#include "engine/engine_ref.h"

#include <vector>

class Sprite;

// Text drawn with glyphs cut from one texture, built from a font description
// file ("[QUBFONT]", "Bitmap = name", "Char = code, x, y, w, h, before, after").
// Text is bytes; each byte selects its glyph, the line feed breaks lines, and a
// byte without a glyph is drawn as '?' when there is one.
//
// The font owns its glyph sprites and every texture it loaded, and holds one
// engine reference. A font whose file is missing or malformed is empty but
// valid. Drawing allocates nothing; the formatting operations share one
// class-wide buffer and are not re-entrant.
class Font {
  public:
    enum Alignment : int {
        ALIGN_LEFT = 0,
        ALIGN_RIGHT = 1,
        ALIGN_CENTRE = 2,
        ALIGN_HORIZONTAL_MASK = 3,
        ALIGN_TOP = 0,
        ALIGN_BOTTOM = 4,
        ALIGN_MIDDLE = 8,
        ALIGN_VERTICAL_MASK = 0xC,
    };

    // Shared by all fonts; set by the constructor from the font's own reference.
    static Engine* engine;

    Font(const char* fileName, bool mipmap);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font();

    // y is the top of the first line.
    void render(float x, float y, int alignment, const char* text);
    void renderFormatted(float x, float y, int alignment, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 5, 6)))
#endif
        ;
    // Word-wraps the formatted text in place to the box width and aligns the
    // block in the box.
    void renderFormattedInBox(float x, float y, float boxWidth, float boxHeight, int alignment,
                              const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 7, 8)))
#endif
        ;
    // The first line's width, or the widest line's when multiline.
    float textWidth(const char* text, bool multiline) const;

    void setColour(std::uint32_t colour);
    void setZ(float z);
    void setBlendMode(int blendMode);

    float scale() const { return scale_; }
    float widthRatio() const { return widthRatio_; }
    float rotation() const { return rotation_; }
    float letterGap() const { return letterGap_; }
    float lineSpacing() const { return lineSpacing_; }
    float lineHeight() const { return lineHeight_; }
    std::uint32_t colour() const { return colour_; }
    float z() const { return z_; }
    int blendMode() const { return blendMode_; }
    TextureHandle texture() const { return texture_; }
    const Sprite* glyph(unsigned char code) const { return glyphs_[code]; }
    float advanceBefore(unsigned char code) const { return advanceBefore_[code]; }
    float advanceAfter(unsigned char code) const { return advanceAfter_[code]; }

    // The text of the last formatting operation, wrapped by renderFormattedInBox.
    static const char* formattedText() { return formatBuffer; }

  private:
    static constexpr int kLineBytes = 256;
    static constexpr int kFormatBytes = 1024;

    static const char* readLine(const char* cursor, char line[kLineBytes]);
    void parse(const char* fileName, const char* text, bool mipmap);
    // false stops reading: the image could not be loaded.
    bool readBitmapLine(const char* fileName, const char* line, bool mipmap);
    void readGlyphLine(const char* line);
    // The glyph drawn for a byte: its own, else '?', else none.
    Sprite* glyphFor(char byte, unsigned& code) const;
    float penStart(float x, int horizontal, const char* line) const;
    int wrapFormatBuffer(float boxWidth) const;

    EngineRef engineRef_; // destroyed last: the glyphs and textures go first
    TextureHandle texture_ = 0;
    Sprite* glyphs_[256] = {};
    float advanceBefore_[256] = {};
    float advanceAfter_[256] = {};
    float lineHeight_ = 0;
    float scale_ = 1.0f;
    float widthRatio_ = 1.0f;
    float rotation_ = 0;
    float letterGap_ = 0;
    float lineSpacing_ = 1.0f;
    std::uint32_t colour_ = 0xFFFFFFFF;
    float z_ = 0.5f;
    std::int32_t blendMode_ = 2;

    // Every texture a bitmap line loaded: glyphs made before a later bitmap
    // line still draw with theirs, so each is freed only by the destructor.
    std::vector<TextureHandle> loadedTextures_;

    static char formatBuffer[kFormatBytes];
};
