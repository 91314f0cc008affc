#include "game/world/gTextField.h"

#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "game/world/gTextCommon.h"

namespace tarv {

using namespace zun;

void gTextField::SetText(int32_t iFont, const std::string& iText, float iZoom) {
    Text = ReplaceAll(ReplaceAll(iText + "\r\n", "\\n", "\n"), "\r\n", "\n");
    Font = iFont;
    FontZoom = iZoom;
}

void gTextField::SetBounds(float iX, float iY, float iW, float iH) {
    x = iX;
    y = iY;
    W = SafeRound(iW);
    H = SafeRound(iH);
    UpdateSize();
}

void gTextField::UpdateSize() {
    LineCount = 0;
    TextW = 0;
    TextH = 0;
    Lines.assign(1, TextFieldLine{});
    const float cell = 16.0f * FontZoom;
    // Also refuses a scale that is not a number.
    if (Text.empty() || !(cell <= float(W)) || !(cell <= float(H))) return;

    const auto& width = FontOf(Font).Width;
    const int32_t n = int32_t(Text.size());
    auto widthOf = [&](int32_t i) {
        const uint8_t c = uint8_t(Text[size_t(i)]);
        return c == 10 ? 0.0f : float(width[c]) * FontZoom;
    };
    double heights = 0;
    float lineW = 0, breakX = 0;
    int32_t lineStart = 0, lastBreak = 0;
    int32_t i = 0;
    while (i < n) {
        const uint8_t c = uint8_t(Text[size_t(i)]);
        const float w = widthOf(i);
        if (c == 32 || c == 45) {
            lastBreak = i;
            breakX = float(SafeRound(lineW));
        }
        if (lineW + w <= float(W) && c != 10 && i != n - 1) {
            lineW += w;
            ++i;
            continue;
        }
        float measured = lineW;
        if (c != 10 && double(lastBreak) > lineStart + (i - lineStart) / 2.0) {
            i = lastBreak + 1;
            measured = breakX;
        }
        TextFieldLine line;
        line.Text = Text.substr(size_t(lineStart), size_t(i - lineStart));
        line.Y = float(LineCount) * cell;
        line.W = measured;
        line.H = cell;
        Lines.push_back(std::move(line));
        LineCount += 1;
        if (measured > float(TextW)) TextW = SafeRound(measured);
        heights += cell;

        lineStart = i;
        if (i >= n) break;
        lineW = widthOf(i);
        lastBreak = i;
        breakX = 0;
        ++i;
    }
    TextH = SafeRound(heights);
}

int32_t gTextField::GetTextHeight() const { return SafeRound(double(LineCount) * 16.0 * FontZoom); }

void gTextField::ApplyAlign(int32_t iAlign) {
    for (int32_t i = 1; i <= LineCount; ++i) {
        TextFieldLine& line = Lines[size_t(i)];
        if (iAlign == 0) line.X = 0;
        else if (iAlign == 1) line.X = float(W) - line.W;
        else if (iAlign == 2) line.X = (float(W) - line.W) / 2;
    }
}

void gTextField::Render() {
    zDDraw.SetAlphaMode(2);
    zDDraw.SetTextureFilter(0);
    zDDraw.SetAlphaValue(Alpha, 100);
    // Glyphs without a scale have no size and no source rows to cut.
    if (!(FontZoom != 0)) return;
    SkipOnFailure("TextField_Render", [&] {
        for (int32_t i = 1; i <= LineCount; ++i) {
            const TextFieldLine& line = Lines[size_t(i)];
            const float top = float(i - 1) * 16.0f * FontZoom - ScrollY;
            if (top + line.H <= 0 || top >= float(H)) continue;
            const float cutTop = top < 0 ? -top : 0;
            const float over = top + line.H - float(H);
            const float cutBottom = over > 0 ? over : 0;
            zFont.DrawTextClipped(Font, x + line.X, y + line.Y - ScrollY, line.Text, cutTop, cutBottom, FontZoom,
                                  false, 0, 0, TextColor);
        }
    });
}

}  // namespace tarv
