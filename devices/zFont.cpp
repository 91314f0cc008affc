#include "devices/zFont.h"

#include <cmath>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"

namespace zun {

zFontModule zFont;

void SetFontWidths(FontEntry& Font, const uint8_t* Data, size_t Size) {
    Font.Width.fill(0);
    const size_t n = Size < Font.Width.size() ? Size : Font.Width.size();
    for (size_t i = 0; i < n; ++i) Font.Width[i] = Data[i];
    Font.Extra = Font.Width[0];
    Font.Width[0] = 0;
    Font.Width[9] = 0;
    Font.Width[10] = 0;
}

bool ReadFontWidthFile(const std::string& FileName, std::vector<uint8_t>& Data, std::string& Error) {
    Data.clear();
    HostFile file;
    if (!OpenFile(FileName, file, Error)) return false;
    Data.resize(256);
    const int64_t got = file.ReadFull(Data.data(), Data.size());
    if (got < 0) {
        Data.clear();
        Error = "cannot read the file";
        return false;
    }
    Data.resize(size_t(got));
    return true;
}

// A faulty table still loads (its missing widths are 0), but text drawn with it
// comes out squeezed or garbled, so the content maker hears of it.
static void WarnOnFaultyWidths(const std::string& FileName, const std::vector<uint8_t>& Data) {
    if (Data.empty()) {
        Log("WARN", "LoadFont", FileName, "Empty width table: every character has width 0");
        return;
    }
    if (Data.size() < 256) {
        Log("WARN", "LoadFont", FileName,
            "Short width table: " + std::to_string(Data.size()) + " of 256 widths, the rest are 0");
        return;
    }
    // A glyph cell is 16 texels wide: a wider printable character reads its
    // neighbour's glyph, which only a damaged table asks for.
    int32_t tooWide = 0;
    for (size_t i = 32; i < Data.size(); ++i) tooWide += Data[i] > 16 ? 1 : 0;
    if (tooWide > 0)
        Log("WARN", "LoadFont", FileName,
            "Corrupt width table: characters wider than a glyph cell: " + std::to_string(tooWide));
}

int32_t zFontModule::FindFont(const std::string& Name) const {
    const std::string key = UCase(Name);
    for (int32_t i = 1; i <= FontCount && size_t(i) < Fonts.size(); ++i)
        if (Fonts[size_t(i)].Name.size() == Name.size() && UCase(Fonts[size_t(i)].Name) == key) return i;
    return 0;
}

int32_t zFontModule::LoadFont(const std::string& Name, const std::string& Extension, int32_t ColorKey) {
    if (int32_t found = FindFont(Name); found > 0) return found;
    // Names come from message markup too; they stay in the font folder.
    if (!IsInnerFileName(Name + "." + Extension)) {
        LogOutsideName("LoadFont", Name + "." + Extension);
        return 0;
    }
    FontEntry font;
    font.Name = Name;
    font.Texture = zDDraw.LoadTextureFile(FontPath + Name + "." + Extension, false, ColorKey, 1, 0);
    const std::string widthFile = FontPath + Name + ".dat";
    std::vector<uint8_t> data;
    std::string error;
    if (FileExists(widthFile) && ReadFontWidthFile(widthFile, data, error)) {
        WarnOnFaultyWidths(widthFile, data);
        SetFontWidths(font, data.data(), data.size());
    } else {
        // A table that is there but cannot be read (a FIFO in its place) is
        // told by name; the font goes on as if it had none.
        if (!error.empty()) LogRefusedFile("LoadFont", widthFile, error);
        std::vector<uint8_t> sixteen(256, 16);
        SetFontWidths(font, sixteen.data(), sixteen.size());
    }
    // The entry goes in whole or not at all.
    Fonts.resize(size_t(FontCount) + 1);
    Fonts.push_back(font);
    FontCount += 1;
    return FontCount;
}

void zFontModule::DrawText(int32_t Font, float X, float Y, const std::string& Text, float Scale, bool UseZoom,
                           int32_t AlignH, int32_t AlignV, int32_t Color) {
    Draw(Font, X, Y, Text, false, 0, 0, Scale, UseZoom, AlignH, AlignV, Color);
}

void zFontModule::DrawTextClipped(int32_t Font, float X, float Y, const std::string& Text, float ClipTop,
                                  float ClipBottom, float Scale, bool UseZoom, int32_t AlignH, int32_t AlignV,
                                  int32_t Color) {
    Draw(Font, X, Y, Text, true, ClipTop, ClipBottom, Scale, UseZoom, AlignH, AlignV, Color);
}

void zFontModule::Draw(int32_t Font, float X, float Y, const std::string& Text, bool clipped, float ClipTop,
                       float ClipBottom, float Scale, bool UseZoom, int32_t AlignH, int32_t AlignV, int32_t Color) {
    // Callers hand over whatever font handle they hold, 0 included.
    if (Font < 1 || Font > FontCount || size_t(Font) >= Fonts.size()) return;
    if (Text.empty()) return;
    const FontEntry& f = Fonts[size_t(Font)];
    const auto& width = f.Width;

    if (AlignH != 0) {
        float total = 0;
        for (unsigned char b : Text) total += float(width[b]) * Scale;
        if (AlignH == 1) X -= total;
        else if (AlignH == 2) X -= total / 2;
    }
    if (AlignV == 1) Y -= 16 * Scale;
    else if (AlignV == 2) Y -= 8 * Scale;
    else if (AlignV == 4) Y -= float(f.Extra) * Scale;

    const double zoom = UseZoom ? double(zDDraw.RenderZoom) : 1.0;
    // Text lies in front of everything and is never smoothed.
    zDDraw.RenderZ = 0;
    zDDraw.SetTextureFilter(0);

    const double top = Div(double(Y), zoom);
    const double cell = Div(16.0 * Scale, zoom);
    double clipRow = 0, clipSpan = 0;
    if (clipped) {
        clipRow = Div(double(ClipTop), double(Scale));
        clipSpan = Div(double(ClipTop) + double(ClipBottom), double(Scale));
    }
    float advance = 0;
    for (unsigned char b : Text) {
        const int32_t wd = width[b];
        const double left = Div(double(X) + double(advance), zoom);
        const double right = left + Div(double(wd) * Scale, zoom);
        const float u = float((b % 16) * 16) / 256.0f, uw = float(wd) / 256.0f;
        const double row = double((b / 16) * 16);
        if (!clipped) {
            const float l = float(left), r = float(right), t = float(top), btm = float(top + cell);
            zDDraw.BltRect(f.Texture, l, t, r, t, r, btm, l, btm, Color, u, float(row / 256.0), uw, 16.0f / 256.0f);
        } else {
            const double t = top + ClipTop, btm = top + cell - ClipBottom;
            // A glyph cut away entirely would come out upside down.
            if (btm - t > 0) {
                const float l = float(left), r = float(right), tf = float(t), bf = float(btm);
                zDDraw.BltRect(f.Texture, l, tf, r, tf, r, bf, l, bf, Color, u, float((row + clipRow) / 256.0), uw,
                               float((16.0 - clipSpan) / 256.0));
            }
        }
        advance += float(wd) * Scale;
    }
}

}  // namespace zun
