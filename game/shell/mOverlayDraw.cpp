#include "game/shell/mOverlayDraw.h"

#include "devices/zDDraw.h"
#include "devices/zFont.h"

using namespace zun;

namespace tarv::mOverlayDraw {

namespace {

// Screen pixels to the device's drawing units.
float Z(float v) { return zDDraw.RenderZoom > 0 ? v / zDDraw.RenderZoom : v; }

const FontEntry* FontOf(int32_t font) {
    if (font < 1 || font > zFont.FontCount || size_t(font) >= zFont.Fonts.size()) return nullptr;
    return &zFont.Fonts[size_t(font)];
}

std::string Displayed(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (c == '\t') s += "  ";
        else if (c != '\r' && c != '\n') s += c;
    }
    return s;
}

}  // namespace

bool Begin() {
    if (!zDDraw.Device) return false;
    zDDraw.SetAlphaMode(2);
    zDDraw.RenderZ = 0;
    return true;
}

void Fill(float iX, float iY, float iW, float iH, int32_t iColor) {
    if (!zDDraw.Device || iW <= 0 || iH <= 0) return;
    zDDraw.RenderZ = 0;
    zDDraw.BltSurface(Z(iX), Z(iY), Z(iW), Z(iH), iColor);
}

void Outline(float iX, float iY, float iW, float iH, int32_t iColor) {
    Fill(iX, iY, iW, 1, iColor);
    Fill(iX, iY + iH - 1, iW, 1, iColor);
    Fill(iX, iY, 1, iH, iColor);
    Fill(iX + iW - 1, iY, 1, iH, iColor);
}

float TextWidth(int32_t iFont, const std::string& iText) {
    const FontEntry* f = FontOf(iFont);
    if (!f) return 0;
    float w = 0;
    for (unsigned char c : Displayed(iText)) w += float(f->Width[c]);
    return w;
}

std::string FitText(int32_t iFont, const std::string& iText, float iMaxWidth) {
    const std::string s = Displayed(iText);
    const FontEntry* f = FontOf(iFont);
    if (!f || iMaxWidth <= 0) return s;
    float w = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        w += float(f->Width[static_cast<unsigned char>(s[i])]);
        if (w > iMaxWidth) return s.substr(0, i);
    }
    return s;
}

void Text(int32_t iFont, float iX, float iY, const std::string& iText, int32_t iColor, float iMaxWidth) {
    if (!zDDraw.Device || !FontOf(iFont)) return;
    const std::string s = FitText(iFont, iText, iMaxWidth);
    if (s.empty()) return;
    zFont.DrawText(iFont, iX, iY, s, 1.0f, true, 0, 0, iColor);
}

}  // namespace tarv::mOverlayDraw
