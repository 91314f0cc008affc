#include "game/world/gTextArea.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "game/world/gTextCommon.h"
#include "game/world/mClock.h"

namespace tarv {

using namespace zun;

bool ParseMarkupNumber(const std::string& iText, float& oValue) {
    size_t a = 0, b = iText.size();
    while (a < b && iText[a] == ' ') ++a;
    while (b > a && iText[b - 1] == ' ') --b;
    if (a == b) return false;
    size_t i = a;
    bool negative = false;
    if (iText[i] == '+' || iText[i] == '-') {
        negative = iText[i] == '-';
        ++i;
    }
    double whole = 0, scale = 1;
    bool digits = false, point = false;
    for (; i < b; ++i) {
        const char c = iText[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                scale /= 10;
                whole += (c - '0') * scale;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!digits) return false;
    if (negative) whole = -whole;
    if (!std::isfinite(whole) || std::fabs(whole) > double(std::numeric_limits<float>::max())) return false;
    oValue = float(whole);
    return true;
}

namespace {

// The style in force while a text is read.
struct MarkupStyle {
    int32_t Font = 0;
    int32_t Color = 0;
    float Zoom = 0;
    float Italic = 0;
    int32_t AlignX = 0;
    int32_t AlignY = 0;
    float Alpha = 0;
    uint8_t Effect = 0;
};

// Sizes and slants are held to this magnitude when they are read: a glyph of
// zoom 64 is 1024 pixels high, more than any screen. Without a bound a value
// near the top of the float range overflows the glyph's geometry, and its
// source rectangle then fails at every frame it is drawn.
constexpr float kMaxMarkupScale = 64;

float MarkupScale(float v) { return std::clamp(v, -kMaxMarkupScale, kMaxMarkupScale); }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Pairs of hexadecimal digits after the "#" as components 0..1; false when
// one is not hexadecimal.
bool HexComponents(const std::string& v, int count, float* out) {
    for (int k = 0; k < count; ++k) {
        const int hi = HexDigit(v[size_t(1 + 2 * k)]), lo = HexDigit(v[size_t(2 + 2 * k)]);
        if (hi < 0 || lo < 0) return false;
        out[k] = float(hi * 16 + lo) / 255.0f;
    }
    return true;
}

void ApplyColor(const std::string& v, MarkupStyle& s) {
    float c[4];
    if (!v.empty() && v[0] == '#' && v.size() == 7) {
        if (HexComponents(v, 3, c)) s.Color = zDDrawModule::GetColorRGB(c[0], c[1], c[2]);
        return;
    }
    if (!v.empty() && v[0] == '#' && v.size() == 9) {
        if (HexComponents(v, 4, c)) s.Color = zDDrawModule::GetColorRGBA(c[0], c[1], c[2], c[3]);
        return;
    }
    const std::string name = LCase(v);
    if (name == "red") s.Color = zDDrawModule::GetColorRGB(1, 0, 0);
    else if (name == "green") s.Color = zDDrawModule::GetColorRGB(0, 1, 0);
    else if (name == "blue") s.Color = zDDrawModule::GetColorRGB(0, 0, 1);
}

void ApplyTag(const std::string& tag, const gTextArea& area, TextLine& line, MarkupStyle& s) {
    std::string name = tag, value;
    if (const size_t eq = tag.find('='); eq != std::string::npos) {
        name = tag.substr(0, eq);
        value = tag.substr(eq + 1);
    }
    name = LCase(name);
    float n = 0;
    if (name == "left" || name == "right" || name == "center") {
        s.AlignX = name == "left" ? 0 : name == "right" ? 1 : 2;
        line.AlignX = s.AlignX;
    } else if (name == "top" || name == "bottom" || name == "middle" || name == "baseline") {
        s.AlignY = name == "top" ? 0 : name == "bottom" ? 1 : name == "middle" ? 2 : 4;
        line.AlignY = s.AlignY;
    } else if (name == "color") {
        ApplyColor(value, s);
    } else if (name == "/color") {
        s.Color = area.DefaultColor;
    } else if (name == "font") {
        // A font that cannot be read, or whose name the loader refuses, is
        // reported by the loader; the text goes on in the font it had. A
        // font without glyphs is kept as such, so it is told of once, when
        // this tag first asks for it.
        const bool known = zFont.FindFont(value) > 0;
        const int32_t font =
            Trap("TextArea_LoadFont", s.Font, [&] { return zFont.LoadFont(value, "png", int32_t(0xFF000000)); });
        const bool drawn =
            font > 0 && size_t(font) < zFont.Fonts.size() && zFont.Fonts[size_t(font)].Texture > 0;
        if (drawn)
            s.Font = font;
        else if (font > 0 && !known)
            Log("WARN", "TextArea_LoadFont", "Font not found", "<" + value + ">");
    } else if (name == "/font") {
        s.Font = area.DefaultFont;
    } else if (name == "size") {
        if (ParseMarkupNumber(value, n)) s.Zoom = MarkupScale(n);
    } else if (name == "/size") {
        s.Zoom = area.DefaultZoom;
    } else if (name == "effect") {
        if (ParseMarkupNumber(value, n) && n >= -0.5f && n <= 255.5f) {
            const double r = RoundHalfEven(n);
            if (r >= 0 && r <= 255) s.Effect = uint8_t(r);
        }
    } else if (name == "/effect") {
        s.Effect = 0;
    } else if (name == "alpha") {
        if (ParseMarkupNumber(value, n)) s.Alpha = n;
    } else if (name == "/alpha") {
        s.Alpha = 0;
    } else if (name == "i") {
        if (value.empty()) s.Italic = 2;
        else if (ParseMarkupNumber(value, n)) s.Italic = MarkupScale(n);
    } else if (name == "/i") {
        s.Italic = 0;
    }
}

}  // namespace

void gTextArea::SetBounds(float iX, float iY, float iW, float iH) {
    x = iX;
    y = iY;
    W = SafeRound(iW);
    H = SafeRound(iH);
    if (W < 0) W = 0;
    if (H < 0) H = 0;
    UpdatePositions();
}

void gTextArea::SetText(const std::string& iText) {
    ScrollY = 0;
    ShowChars = 0;
    NextChar = 0;
    CharsMax = 0;
    LineCount = 0;
    Lines.assign(1, TextLine{});

    MarkupStyle s;
    s.Font = DefaultFont;
    s.Color = DefaultColor;
    s.Zoom = DefaultZoom;
    s.Italic = DefaultItalic;
    s.AlignX = DefaultAlignX;
    s.AlignY = DefaultAlignY;

    Text = ReplaceAll(ReplaceAll(iText, "\r\n", "\n"), "<br>", "\n");

    size_t start = 0;
    while (!Text.empty() && start <= Text.size()) {
        size_t stop = Text.find('\n', start);
        if (stop == std::string::npos) stop = Text.size();
        const std::string_view piece(Text.data() + start, stop - start);

        Lines.emplace_back();
        LineCount += 1;
        TextLine& line = Lines.back();
        line.AlignX = s.AlignX;
        line.AlignY = s.AlignY;
        line.Glyphs.resize(1);

        size_t k = 0;
        while (k < piece.size()) {
            const char c = piece[k];
            if (c == '<') {
                const size_t close = piece.find('>', k + 1);
                const size_t end = close == std::string_view::npos ? piece.size() : close;
                ApplyTag(std::string(piece.substr(k + 1, end - k - 1)), *this, line, s);
                k = close == std::string_view::npos ? piece.size() : close + 1;
                continue;
            }
            const uint8_t code = uint8_t(c);
            const FontEntry& font = FontOf(s.Font);
            TextGlyph g;
            g.Code = code;
            g.Font = s.Font;
            g.Color = s.Color;
            g.Zoom = s.Zoom;
            g.Effect = s.Effect;
            g.Alpha = s.Alpha;
            g.Slant = s.Italic * s.Zoom;
            g.SrcX = (code % 16) * 16;
            g.SrcY = (code / 16) * 16;
            g.SrcW = font.Width[code];
            g.SrcH = 16;
            g.W = s.Zoom * float(g.SrcW);
            g.H = s.Zoom * 16.0f;
            line.Glyphs.push_back(g);
            line.GlyphCount += 1;
            CharsMax += 1;
            ++k;
        }
        start = stop + 1;
    }
    // The layout skips a text without lines; its measures are those of nothing.
    if (LineCount == 0) {
        TextW = 0;
        TextH = 0;
    }
    UpdatePositions();
}

void gTextArea::UpdatePositions() {
    if (LineCount < 1) return;
    const float areaW = float(W);

    for (int32_t i = 1; i <= LineCount; ++i) {
        TextLine& line = Lines[size_t(i)];
        float px = 0, rowTop = 0, rowH = 16;
        int32_t lastBreak = 0;
        float lastBreakX = 0;
        int32_t j = 1;
        while (j <= line.GlyphCount) {
            TextGlyph* g = &line.Glyphs[size_t(j)];
            g->RowStart = false;
            if (g->Code == 32 || g->Code == 9 || g->Code == 45) {
                lastBreak = j;
                lastBreakX = float(SafeRound(px));
            }
            if (px + g->W > areaW) {
                rowTop += rowH;
                rowH = 16;
                px = 0;
                if (lastBreakX > areaW / 3) j = lastBreak + 1;
                // A break glyph that overflows itself ends its line: the row it
                // opens stays empty.
                if (j > line.GlyphCount) break;
                g = &line.Glyphs[size_t(j)];
                g->RowStart = true;
                lastBreak = j;
                lastBreakX = 0;
            }
            g->X = px;
            g->Y = rowTop;
            if (g->H > rowH) rowH = g->H;
            px += g->W;
            ++j;
        }
        line.Height = rowTop + rowH;
    }

    for (int32_t i = 1; i <= LineCount; ++i) {
        TextLine& line = Lines[size_t(i)];
        int32_t j = 1;
        while (j <= line.GlyphCount) {
            float rowW = line.Glyphs[size_t(j)].W, rowH = line.Glyphs[size_t(j)].H;
            int32_t k = j + 1;
            while (k <= line.GlyphCount && !line.Glyphs[size_t(k)].RowStart) {
                rowW += line.Glyphs[size_t(k)].W;
                if (line.Glyphs[size_t(k)].H > rowH) rowH = line.Glyphs[size_t(k)].H;
                ++k;
            }
            for (int32_t m = j; m < k; ++m) {
                TextGlyph& g = line.Glyphs[size_t(m)];
                if (line.AlignX == 1) g.X += areaW - rowW;
                else if (line.AlignX == 2) g.X += (areaW - rowW) / 2;
                if (line.AlignY == 1) g.Y += rowH - g.H;
                else if (line.AlignY == 2) g.Y += (rowH - g.H) / 2;
                else if (line.AlignY == 4) g.Y += rowH - float(FontOf(g.Font).Extra) * g.Zoom;
            }
            j = k;
        }
    }

    for (int32_t i = 1; i <= LineCount; ++i) Lines[size_t(i)].Y = Lines[size_t(i - 1)].Y + Lines[size_t(i - 1)].Height;

    TextW = W;
    TextH = SafeRound(double(Lines[size_t(LineCount)].Y) + double(Lines[size_t(LineCount)].Height));
}

void gTextArea::Update() {
    const double T = mClock.Timer();
    const double twoThirds = double(6.283186f) / 3;
    for (int32_t i = 1; i <= LineCount; ++i) {
        TextLine& line = Lines[size_t(i)];
        for (int32_t j = 1; j <= line.GlyphCount; ++j) {
            TextGlyph& g = line.Glyphs[size_t(j)];
            switch (g.Effect) {
                case 1:
                    g.OffsetY = float(-std::fabs(std::sin(double(g.Phase) + j / 10.0) * 3));
                    g.Phase += 0.2f;
                    break;
                case 2: g.Alpha = float(std::fmod(std::floor(T * 2), 2.0)); break;
                case 3: g.Alpha = float(std::sin(T * 4) * 0.5 + 0.5); break;
                case 4:
                    g.Color = zDDrawModule::GetColorRGB(float(std::sin(T * 4) * 0.5 + 0.5),
                                                        float(std::sin(T * 4 + twoThirds) * 0.5 + 0.5),
                                                        float(std::sin(T * 4 + 2 * twoThirds) * 0.5 + 0.5));
                    break;
                case 5:
                    g.H = float(double(g.Zoom) * g.SrcH * std::sin(T * 4));
                    g.OffsetY = (g.Zoom * float(g.SrcH) - g.H) / 3;
                    break;
                case 6: g.Slant = float(4 * std::sin(T * 4) * g.Zoom); break;
                default: break;
            }
        }
    }
}

void gTextArea::Render() {
    zDDraw.SetAlphaMode(2);
    zDDraw.SetTextureFilter(0);
    VisibleH = 0;
    int32_t count = 0;
    for (int32_t i = 1; i <= LineCount; ++i) {
        const TextLine& line = Lines[size_t(i)];
        // A line counts as reached while the reveal has glyphs left for it.
        if (count < ShowChars) VisibleH = SafeRound(double(line.Y) + double(line.Height));
        for (int32_t j = 1; j <= line.GlyphCount; ++j) {
            if (++count > ShowChars) return;
            const TextGlyph& g = line.Glyphs[size_t(j)];
            if (g.Code == 32 || g.Code == 9 || g.Alpha >= 1) continue;
            // Without a scale there is nothing to draw and no source row to cut.
            if (g.Zoom == 0) continue;
            const float top = line.Y + g.Y - ScrollY;
            if (top + g.H <= 0 || top >= float(H)) continue;
            const float cutTop = top < 0 ? -top : 0;
            const float over = top + g.H - float(H);
            const float cutBottom = over > 0 ? over : 0;
            const float x1 = x + g.X, x2 = x1 + g.W;
            const float y1 = y + line.Y + g.Y + g.OffsetY - ScrollY + cutTop;
            const float y2 = y1 + g.H - (cutTop + cutBottom);
            const float s = g.Slant;
            zDDraw.SetAlphaValue(g.Alpha + Alpha, 100);
            float srcW = float(g.SrcW), srcH = float(g.SrcH) - (cutTop + cutBottom) / g.Zoom;
            zDDraw.BltEx(FontOf(g.Font).Texture, x1 + s, y1, x2 + s, y1, x2 - s, y2, x1 - s, y2, float(g.SrcX),
                         float(g.SrcY) + cutTop / g.Zoom, srcW, srcH, g.Color, 1);
        }
    }
}

}  // namespace tarv
