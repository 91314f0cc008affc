// Bitmap fonts: the width table, the cache by name, and the glyph quads text
// turns into.
#include <cstdio>

#include "DeviceTestSupport.h"

namespace zun::test {
namespace {

constexpr int32_t kWhite = int32_t(0xFFFFFFFFu);

class Fonts : public RecordingDevice {
protected:
    TempDir dir;
    void SetUp() override {
        RecordingDevice::SetUp();
        zFont.FontPath = dir.Path();
    }
    // A width table: every code 6 wide, with the given exceptions.
    void WriteWidths(const std::string& name, std::vector<std::pair<int, uint8_t>> widths, size_t size = 256) {
        std::vector<uint8_t> bytes(size, 6);
        for (auto [code, w] : widths)
            if (size_t(code) < size) bytes[size_t(code)] = w;
        WriteHostFile(dir.HostPath(name + ".dat"), bytes);
    }
    std::vector<TLVertex> Flushed() {
        rec->ClearLog();
        zDDraw.EndScene(false);
        return rec->Draws.empty() ? std::vector<TLVertex>{} : rec->Draws[0].Vertices;
    }
};

TEST_F(Fonts, WidthTableKeepsItsFirstByteAsBaselineAndZeroesControlCodes) {
    WriteWidths("Plain", {{0, 12}, {9, 30}, {10, 30}, {'A', 10}});
    int32_t f = zFont.LoadFont("Plain", "png", 0);
    ASSERT_EQ(f, 1);
    const FontEntry& e = zFont.Fonts[1];
    EXPECT_EQ(e.Name, "Plain");
    EXPECT_EQ(e.Extra, 12);
    EXPECT_EQ(e.Width[0], 0);
    EXPECT_EQ(e.Width[9], 0);
    EXPECT_EQ(e.Width[10], 0);
    EXPECT_EQ(e.Width['A'], 10);
    EXPECT_EQ(e.Width[255], 6);
    EXPECT_EQ(e.Texture, 0);  // no glyph image: the font is there all the same
}

TEST_F(Fonts, TheSameNameInAnyCaseIsLoadedOnce) {
    WriteWidths("Arial", {{'A', 10}});
    int32_t f = zFont.LoadFont("Arial", "png", 0);
    std::remove(dir.HostPath("Arial.dat").c_str());
    EXPECT_EQ(zFont.LoadFont("ARIAL", "png", 0), f);
    EXPECT_EQ(zFont.FindFont("arial"), f);
    EXPECT_EQ(zFont.FontCount, 1);
    EXPECT_EQ(zFont.Fonts[size_t(f)].Width['A'], 10);
    EXPECT_EQ(zFont.FindFont("Times"), 0);
}

TEST_F(Fonts, MissingShortAndLongWidthFiles) {
    int32_t none = zFont.LoadFont("NoTable", "png", 0);
    EXPECT_EQ(zFont.Fonts[size_t(none)].Extra, 16);
    EXPECT_EQ(zFont.Fonts[size_t(none)].Width['x'], 16);
    EXPECT_EQ(zFont.Fonts[size_t(none)].Width[9], 0);

    WriteHostFile(dir.HostPath("Short.dat"), {7, 5, 9});
    int32_t shortFont = zFont.LoadFont("Short", "png", 0);
    const FontEntry& s = zFont.Fonts[size_t(shortFont)];
    EXPECT_EQ(s.Extra, 7);
    EXPECT_EQ(s.Width[1], 5);
    EXPECT_EQ(s.Width[2], 9);
    EXPECT_EQ(s.Width[3], 0);
    EXPECT_EQ(s.Width[255], 0);

    WriteWidths("Long", {{255, 3}, {256, 99}}, 300);
    int32_t longFont = zFont.LoadFont("Long", "png", 0);
    EXPECT_EQ(zFont.Fonts[size_t(longFont)].Width[255], 3);
}

TEST_F(Fonts, ShortEmptyAndCorruptWidthTablesAreReportedAndStillLoad) {
    auto warnings = [] {
        size_t n = 0;
        for (size_t at = 0; (at = zCore.LogText.find("WARN\tLoadFont", at)) != std::string::npos; ++at) ++n;
        return n;
    };
    zCore.LogText.clear();
    WriteWidths("Good", {{0, 40}, {9, 30}});  // control codes may hold anything
    zFont.LoadFont("Good", "png", 0);
    EXPECT_EQ(warnings(), 0u);

    WriteHostFile(dir.HostPath("Short.dat"), {7, 5, 9});
    WriteHostFile(dir.HostPath("Empty.dat"), {});
    WriteWidths("Corrupt", {{'A', 200}});
    EXPECT_GT(zFont.LoadFont("Short", "png", 0), 0);
    EXPECT_NE(zCore.LogText.find("Short width table: 3 of 256"), std::string::npos);
    EXPECT_GT(zFont.LoadFont("Empty", "png", 0), 0);
    EXPECT_NE(zCore.LogText.find("Empty width table"), std::string::npos);
    EXPECT_GT(zFont.LoadFont("Corrupt", "png", 0), 0);
    EXPECT_NE(zCore.LogText.find("wider than a glyph cell: 1"), std::string::npos);
    EXPECT_EQ(warnings(), 3u);
}

TEST_F(Fonts, GlyphQuadsAdvanceByTheirWidthsAndSkipNothing) {
    WriteWidths("F", {{'A', 10}, {'B', 12}, {'C', 8}});
    int32_t f = zFont.LoadFont("F", "png", 0);
    zDDraw.SetTextureFilter(1);
    zDDraw.RenderZ = 0.7f;
    zFont.DrawText(f, 100, 50, "AB\tC\n", 1, false, 0, 0, kWhite);
    EXPECT_EQ(zDDraw.RenderZ, 0.0f);
    EXPECT_EQ(zDDraw.State.Filter, TexFilter::Point);
    auto v = Flushed();
    ASSERT_EQ(v.size(), 5u * 6);
    auto left = [&](int glyph) { return v[size_t(glyph) * 6].X + 0.5f; };
    auto right = [&](int glyph) { return v[size_t(glyph) * 6 + 1].X + 0.5f; };
    EXPECT_EQ(left(0), 100.0f);
    EXPECT_EQ(right(0), 110.0f);
    EXPECT_EQ(left(1), 110.0f);
    EXPECT_EQ(left(2), 122.0f);  // the tab: no width ...
    EXPECT_EQ(right(2), 122.0f);
    EXPECT_EQ(left(3), 122.0f);  // ... and no advance
    EXPECT_EQ(right(3), 130.0f);
    EXPECT_EQ(v[0].Y + 0.5f, 50.0f);
    EXPECT_EQ(v[2].Y + 0.5f, 66.0f);
    // 'A' (65) is column 1, row 4 of the glyph sheet; its left 10 texels.
    EXPECT_FLOAT_EQ(v[0].TU, 16.0f / 256);
    EXPECT_FLOAT_EQ(v[0].TV, 64.0f / 256);
    EXPECT_FLOAT_EQ(v[2].TU, 26.0f / 256);
    EXPECT_FLOAT_EQ(v[2].TV, 80.0f / 256);
}

TEST_F(Fonts, AlignmentUsesScaledWidthsAndTheBaseline) {
    WriteWidths("F", {{0, 11}, {'A', 10}, {'B', 12}});
    int32_t f = zFont.LoadFont("F", "png", 0);
    zFont.DrawText(f, 100, 50, "AB", 2, false, 2, 4, kWhite);
    auto v = Flushed();
    ASSERT_EQ(v.size(), 12u);
    EXPECT_EQ(v[0].X + 0.5f, 100.0f - 22);  // centred: half of (10 + 12) * 2
    EXPECT_EQ(v[0].Y + 0.5f, 50.0f - 22);   // lifted by the baseline 11 * 2
    EXPECT_EQ(v[2].Y + 0.5f, 50.0f - 22 + 32);
    zFont.DrawText(f, 100, 50, "AB", 1, false, 1, 1, kWhite);
    v = Flushed();
    EXPECT_EQ(v[7].X + 0.5f, 100.0f);  // right edge at X
    EXPECT_EQ(v[0].Y + 0.5f, 34.0f);   // bottom at Y
}

TEST_F(Fonts, ZoomedTextKeepsItsSizeOnScreen) {
    WriteWidths("F", {{'A', 10}});
    int32_t f = zFont.LoadFont("F", "png", 0);
    zDDraw.SetScreenSize(640, 480, 2, true);
    zFont.DrawText(f, 100, 50, "A", 1, true, 0, 0, kWhite);
    auto v = Flushed();
    EXPECT_EQ(v[0].X + 0.5f, 100.0f);
    EXPECT_EQ(v[1].X + 0.5f, 110.0f);
    zFont.DrawText(f, 100, 50, "A", 1, false, 0, 0, kWhite);
    v = Flushed();
    EXPECT_EQ(v[0].X + 0.5f, 200.0f);
}

TEST_F(Fonts, ClippingNothingDrawsWhatPlainTextDraws) {
    WriteWidths("F", {{'g', 9}, {'q', 7}});
    int32_t f = zFont.LoadFont("F", "png", 0);
    zFont.DrawText(f, 10.25f, 20.5f, "gq g", 1.5f, false, 2, 2, kWhite);
    auto plain = Flushed();
    zFont.DrawTextClipped(f, 10.25f, 20.5f, "gq g", 0, 0, 1.5f, false, 2, 2, kWhite);
    auto clipped = Flushed();
    ASSERT_EQ(plain.size(), clipped.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(plain[i].X, clipped[i].X);
        EXPECT_EQ(plain[i].Y, clipped[i].Y);
        EXPECT_EQ(plain[i].TU, clipped[i].TU);
        EXPECT_EQ(plain[i].TV, clipped[i].TV);
    }
}

TEST_F(Fonts, ClippingCutsQuadAndTexelsAndDropsGlyphsCutAway) {
    WriteWidths("F", {{'A', 10}});
    int32_t f = zFont.LoadFont("F", "png", 0);
    zFont.DrawTextClipped(f, 0, 100, "A", 4, 8, 2, false, 0, 0, kWhite);
    auto v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].Y + 0.5f, 104.0f);
    EXPECT_EQ(v[2].Y + 0.5f, 100.0f + 32 - 8);
    EXPECT_FLOAT_EQ(v[0].TV, (64.0f + 2) / 256);
    EXPECT_FLOAT_EQ(v[2].TV - v[0].TV, (16.0f - 6) / 256);

    zFont.DrawTextClipped(f, 0, 100, "AAA", 20, 20, 2, false, 0, 0, kWhite);
    EXPECT_TRUE(Flushed().empty());
}

TEST_F(Fonts, NoFontOrNoTextDrawsNothingAndChangesNothing) {
    zDDraw.RenderZ = 0.5f;
    zFont.DrawText(0, 0, 0, "abc", 1, false, 0, 0, kWhite);
    zFont.DrawText(7, 0, 0, "abc", 1, false, 0, 0, kWhite);
    zFont.DrawTextClipped(-1, 0, 0, "abc", 0, 0, 1, false, 0, 0, kWhite);
    int32_t f = zFont.LoadFont("F", "png", 0);
    zFont.DrawText(f, 0, 0, "", 1, false, 0, 0, kWhite);
    EXPECT_EQ(zDDraw.RenderZ, 0.5f);
    EXPECT_EQ(zDDraw.BltCount, 0);
}

TEST(FontWidths, BytesToTable) {
    FontEntry e;
    SetFontWidths(e, nullptr, 0);
    EXPECT_EQ(e.Extra, 0);
    EXPECT_EQ(e.Width[100], 0);
    std::vector<uint8_t> all(256, 200);
    SetFontWidths(e, all.data(), all.size());
    EXPECT_EQ(e.Extra, 200);
    EXPECT_EQ(e.Width[10], 0);
    EXPECT_EQ(e.Width[11], 200);
}

}  // namespace
}  // namespace zun::test
