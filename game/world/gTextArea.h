// The box that shows spoken messages, questions and event lines: a text in a
// small tag language, broken into lines and glyphs with their own font,
// colour, size, slant, transparency and effect, wrapped and aligned inside a
// rectangle and drawn glyph by glyph. Drawing stops after ShowChars glyphs,
// which gives the typewriter reveal.
//
// Tags, written between "<" and ">" (names in any case): left, right, center,
// top, bottom, middle, baseline (alignment of the whole line), color=#RRGGBB,
// color=#RRGGBBAA or a name (red, green, blue), /color, font=name, /font,
// size=n, /size, effect=0..255, /effect, alpha=n, /alpha, i[=n], /i. "<br>"
// breaks the line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarv {

struct TextGlyph {
    float X = 0, Y = 0;  // top left within the text, set by the layout
    float Alpha = 0;     // own transparency, 0 opaque .. 1 invisible
    float W = 0, H = 0;  // drawn size
    float Slant = 0;     // top edge this far right, bottom edge this far left
    int32_t SrcX = 0, SrcY = 0, SrcW = 0, SrcH = 0;
    uint8_t Code = 0;
    bool RowStart = false;
    int32_t Font = 0;
    int32_t Color = 0;
    float Zoom = 0;
    uint8_t Effect = 0;
    float Phase = 0;    // hop effect
    float OffsetY = 0;  // hop and flip effects
};

struct TextLine {
    float Y = 0;       // top of the line block within the text
    float Height = 0;  // all rows of the block
    std::vector<TextGlyph> Glyphs;  // 1..GlyphCount used; 0 stays empty
    int32_t GlyphCount = 0;
    int32_t AlignX = 0;  // 0 left, 1 right, 2 centre
    int32_t AlignY = 0;  // 0 top, 1 bottom, 2 middle, 4 baseline
};

class gTextArea {
public:
    int32_t TextW = 0;
    int32_t TextH = 0;
    std::string Text;
    int32_t DefaultFont = 0;
    int32_t DefaultColor = 0;
    float DefaultZoom = 0;
    float DefaultItalic = 0;
    int32_t DefaultAlignX = 0;
    int32_t DefaultAlignY = 0;
    float x = 0, y = 0;
    int32_t W = 0, H = 0;
    float ScrollY = 0;
    int32_t ShowChars = 0;
    int32_t CharsMax = 0;
    int32_t NextChar = 0;
    float Alpha = 0;
    int32_t VisibleW = 0;
    int32_t VisibleH = 0;

    void SetBounds(float iX, float iY, float iW, float iH);
    void SetText(const std::string& iText);
    void UpdatePositions();
    void Update();
    void Render();

    // Read access for the owner and the tests: lines 1..LineCount.
    int32_t GetLineCount() const { return LineCount; }
    const TextLine& GetLine(int32_t i) const { return Lines[size_t(i)]; }

private:
    int32_t LineCount = 0;
    std::vector<TextLine> Lines = std::vector<TextLine>(1);
};

// The markup parser's number format: an optional sign, digits and at most one
// decimal point, with blanks around; the same in every locale. False for
// anything else or a value beyond the range of a Single.
bool ParseMarkupNumber(const std::string& iText, float& oValue);

}  // namespace tarv
