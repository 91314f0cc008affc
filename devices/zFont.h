// Bitmap fonts: a texture of 16 x 16 glyph cells of 16 x 16 texels, one cell
// per character code, and a table of 256 advance widths read from the font's
// ".dat" file. Text is queued one quad per character through the device's
// batches, so it is drawn with everything else that uses the font's texture.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zun {

struct FontEntry {
    std::string Name;                // as given to LoadFont; compared without regard to case
    int32_t Texture = 0;             // glyph texture handle
    std::array<uint8_t, 256> Width{};  // advance of each code; 0, 9 and 10 are 0
    uint8_t Extra = 0;               // the table's first byte: the baseline
};

struct zFontModule {
    std::vector<FontEntry> Fonts{1};  // 1..FontCount; entry 0 holds no font
    int32_t FontCount = 0;
    std::string FontPath;

    int32_t FindFont(const std::string& Name) const;
    int32_t LoadFont(const std::string& Name, const std::string& Extension, int32_t ColorKey);
    void DrawText(int32_t Font, float X, float Y, const std::string& Text, float Scale, bool UseZoom, int32_t AlignH,
                  int32_t AlignV, int32_t Color);
    void DrawTextClipped(int32_t Font, float X, float Y, const std::string& Text, float ClipTop, float ClipBottom,
                         float Scale, bool UseZoom, int32_t AlignH, int32_t AlignV, int32_t Color);

private:
    void Draw(int32_t Font, float X, float Y, const std::string& Text, bool clipped, float ClipTop, float ClipBottom,
              float Scale, bool UseZoom, int32_t AlignH, int32_t AlignV, int32_t Color);
};
extern zFontModule zFont;

// Fills a width table from the bytes of a width file: the first 256 bytes
// are the widths, a shorter file leaves the rest 0, anything past 256 is
// ignored. Extra takes byte 0; codes 0, 9 and 10 then get width 0.
void SetFontWidths(FontEntry& Font, const uint8_t* Data, size_t Size);
// Reads at most 256 bytes of a width file (program path). False with the
// reason in Error when the file cannot be opened or read.
bool ReadFontWidthFile(const std::string& FileName, std::vector<uint8_t>& Data, std::string& Error);

}  // namespace zun
