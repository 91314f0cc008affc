// Drawing of the shell's own windows (settings, console, input box): flat
// panels and one-line texts in the window's pixels, drawn by the game's
// device between a tool window's BeginDraw and EndDraw. Nothing is drawn when
// there is no drawing device.
#pragma once

#include <cstdint>
#include <string>

namespace tarv::mOverlayDraw {

// Selects blending by the colours' alpha. False when there is no device.
bool Begin();
void Fill(float iX, float iY, float iW, float iH, int32_t iColor);
// A one-pixel outline.
void Outline(float iX, float iY, float iW, float iH, int32_t iColor);
// Advance of a one-line text in the font (0 when there is no such font).
float TextWidth(int32_t iFont, const std::string& iText);
// The longest start of iText that fits into iMaxWidth (everything when
// iMaxWidth is not above 0).
std::string FitText(int32_t iFont, const std::string& iText, float iMaxWidth);
// One line at (iX, iY) (top left), cut to iMaxWidth when that is above 0;
// TAB characters show as blanks.
void Text(int32_t iFont, float iX, float iY, const std::string& iText, int32_t iColor, float iMaxWidth = 0);

}  // namespace tarv::mOverlayDraw
