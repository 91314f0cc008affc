// A plain word-wrapped block of text in one bitmap font, scale and colour,
// clipped to its rectangle and scrollable. The option list uses one per row;
// the row's highlight colour and answer value travel with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarv {

struct TextFieldLine {
    float X = 0;  // offset within the field (alignment)
    float Y = 0;
    float W = 0;  // measured width
    float H = 0;
    std::string Text;
};

class gTextField {
public:
    int32_t TextW = 0;
    int32_t TextH = 0;
    std::string Text;  // always ends in one line feed
    int32_t Font = 0;
    float FontZoom = 1;
    float x = 0, y = 0;
    int32_t W = 0, H = 0;
    float ScrollY = 0;
    int32_t TextColor = 0;
    int32_t SelColor = 0;
    float Alpha = 0;
    int32_t Tag = 0;

    // "\n" written as a backslash and an n breaks the line as a line feed does.
    void SetText(int32_t iFont, const std::string& iText, float iZoom = 1);
    void SetBounds(float iX, float iY, float iW, float iH);
    void UpdateSize();
    int32_t GetTextHeight() const;
    void ApplyAlign(int32_t iAlign);
    void Render();

    int32_t GetLineCount() const { return LineCount; }
    const TextFieldLine& GetLine(int32_t i) const { return Lines[size_t(i)]; }

private:
    int32_t LineCount = 0;
    std::vector<TextFieldLine> Lines = std::vector<TextFieldLine>(1);
};

}  // namespace tarv
