// The demo's bitmap fonts, drawn from a small pixel font of our own: glyphs
// of five columns and nine rows (seven above the baseline, two below), set
// into the 16 x 16 cells of a 256 x 256 font texture, one cell per
// Windows-1252 code, with a width table of 256 bytes whose first byte is the
// baseline.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/democontent/DemoCanvas.h"

namespace tarv::demo {

// Rows of a glyph, top to bottom; bit 4 of a row is its leftmost pixel.
using GlyphRows = std::array<uint8_t, 9>;

// Distance of the baseline from the top of a cell, and the row of the cell
// in which a glyph's first row is drawn.
inline constexpr int kFontBaseline = 10;
inline constexpr int kGlyphTop = kFontBaseline - 7;

// The glyph of a code; false for codes the pixel font does not draw
// (control codes and the few Windows-1252 signs it leaves out).
bool FindGlyph(uint8_t code, GlyphRows& rows);

enum class FontStyle {
    Plain,     // white glyphs: small texts, the debug views
    Shadowed,  // white glyphs with a dark shadow: the message box
    Runes,     // angular rune signs in place of letters and digits
};

struct BitmapFont {
    DemoCanvas Texture;             // 256 x 256, black (the font colour key) where empty
    std::array<uint8_t, 256> Widths{};  // advance per code; Widths[0] is the baseline
};

BitmapFont MakeFont(FontStyle style);

}  // namespace tarv::demo
