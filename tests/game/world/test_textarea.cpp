// The marked-up text area: parsing of the tag language, wrapping and
// alignment, the typewriter reveal, glyph effects and the drawn quads.
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "WidgetTestSupport.h"
#include "game/world/gTextArea.h"

namespace tarv::test {
namespace {

using zun::test::layers::Quad;

class TextAreaTest : public WidgetTest {
protected:
    gTextArea area;
    int32_t font = 0;
    const int32_t white = zDDrawModule::GetColorRGB(1, 1, 1);

    void SetUp() override {
        WidgetTest::SetUp();
        font = MakeFont("plain", 10);
        area.DefaultFont = font;
        area.DefaultColor = white;
        area.DefaultZoom = 1;
        area.SetBounds(20, 30, 100, 200);
    }
    const TextGlyph& G(int32_t line, int32_t glyph) const { return area.GetLine(line).Glyphs[size_t(glyph)]; }
    std::string LineText(int32_t line) const {
        std::string s;
        for (int32_t j = 1; j <= area.GetLine(line).GlyphCount; ++j) s += char(G(line, j).Code);
        return s;
    }
};

TEST_F(TextAreaTest, LineBreaksAndTheirLookalikes) {
    for (const char* text : {"ab<br>cd", "ab\r\ncd", "ab\ncd"}) {
        area.SetText(text);
        ASSERT_EQ(area.GetLineCount(), 2) << text;
        EXPECT_EQ(LineText(1), "ab");
        EXPECT_EQ(LineText(2), "cd");
        EXPECT_EQ(area.GetLine(2).Y, 16);
        EXPECT_EQ(area.CharsMax, 4);
    }
    EXPECT_EQ(area.Text, "ab\ncd");
    // Capitals make it an unknown tag, dropped; a lone carriage return is a glyph.
    area.SetText("ab<BR>cd");
    ASSERT_EQ(area.GetLineCount(), 1);
    EXPECT_EQ(LineText(1), "abcd");
    area.SetText("a\rb");
    EXPECT_EQ(LineText(1), "a\rb");
}

TEST_F(TextAreaTest, UnclosedTagSwallowsTheLineAndStrayCloserIsAGlyph) {
    area.SetText("ab<cd ef<br>gh");
    ASSERT_EQ(area.GetLineCount(), 2);
    EXPECT_EQ(LineText(1), "ab");
    EXPECT_EQ(LineText(2), "gh");
    area.SetText("a>b");
    EXPECT_EQ(LineText(1), "a>b");
    // The rest of a line read as a tag still acts as one.
    area.SetText("abc<center");
    EXPECT_EQ(area.GetLine(1).AlignX, 2);
}

TEST_F(TextAreaTest, EmptyTextAndABareBreak) {
    area.SetText("one");
    area.SetText("");
    EXPECT_EQ(area.GetLineCount(), 0);
    EXPECT_EQ(area.TextH, 0);
    EXPECT_EQ(area.TextW, 0);
    area.ShowChars = 100;
    area.Render();
    EXPECT_TRUE(Quads().empty());
    EXPECT_EQ(area.VisibleH, 0);

    area.SetText("<br>");
    ASSERT_EQ(area.GetLineCount(), 2);
    EXPECT_EQ(area.GetLine(1).Height, 16);
    EXPECT_EQ(area.GetLine(2).Height, 16);
    EXPECT_EQ(area.TextH, 32);
    EXPECT_EQ(area.TextW, 100);
}

TEST_F(TextAreaTest, AlignmentTagsSetTheWholeLineAndCarryOn) {
    area.SetText("<CENTER>abc");
    EXPECT_FLOAT_EQ(G(1, 1).X, (100 - 30) / 2.0f);

    area.SetText("ab<right>cd<br>ef<br><left>gh");
    EXPECT_FLOAT_EQ(G(1, 1).X, 100 - 40);  // the glyphs before the tag move too
    EXPECT_FLOAT_EQ(G(1, 4).X, 100 - 10);
    EXPECT_EQ(area.GetLine(2).AlignX, 1);
    EXPECT_FLOAT_EQ(G(2, 1).X, 100 - 20);
    EXPECT_FLOAT_EQ(G(3, 1).X, 0);

    // Vertical alignment within a row made taller by a larger glyph.
    area.SetText("<bottom>a<size=2>b</size><br><middle>a<size=2>b<br><baseline>a<br><top>a</size>b");
    EXPECT_FLOAT_EQ(G(1, 1).Y, 16);
    EXPECT_FLOAT_EQ(G(1, 2).Y, 0);
    EXPECT_FLOAT_EQ(G(2, 1).Y, 8);
    EXPECT_FLOAT_EQ(G(3, 1).Y, 32 - 12 * 2);  // the size carried over: row 32 high, baseline 12 x 2
    EXPECT_FLOAT_EQ(G(4, 2).Y, 0);
    EXPECT_FLOAT_EQ(area.GetLine(2).Y, 32);
}

TEST_F(TextAreaTest, Colours) {
    area.SetText("<color=#FF000080>a<color=#F00>b<color=Green>c<color=#GG0000>d<color=purple>e</color>f");
    const int32_t half = zDDrawModule::GetColorRGBA(1, 0, 0, 128 / 255.0f);
    const int32_t green = zDDrawModule::GetColorRGB(0, 1, 0);
    EXPECT_EQ(G(1, 1).Color, half);
    EXPECT_EQ(G(1, 2).Color, half);   // three digits: unchanged
    EXPECT_EQ(G(1, 3).Color, green);  // names in any case
    EXPECT_EQ(G(1, 4).Color, green);  // not hexadecimal: ignored
    EXPECT_EQ(G(1, 5).Color, green);  // unknown name: ignored
    EXPECT_EQ(G(1, 6).Color, white);
    area.SetText("<color=#00FF00>a");
    EXPECT_EQ(G(1, 1).Color, green);
}

TEST_F(TextAreaTest, ItalicSizeAlphaAndEffectValues) {
    area.SetText("<i>a<size=3><i>b<i=0.5>c</i>d</size><alpha=0.25>e</alpha><effect=4>f</effect>g");
    EXPECT_FLOAT_EQ(G(1, 1).Slant, 2);
    EXPECT_FLOAT_EQ(G(1, 2).Slant, 6);
    EXPECT_FLOAT_EQ(G(1, 3).Slant, 1.5f);
    EXPECT_FLOAT_EQ(G(1, 4).Slant, 0);
    EXPECT_FLOAT_EQ(G(1, 4).W, 30);
    EXPECT_FLOAT_EQ(G(1, 4).H, 48);
    EXPECT_FLOAT_EQ(G(1, 5).Zoom, 1);
    EXPECT_FLOAT_EQ(G(1, 5).Alpha, 0.25f);
    EXPECT_FLOAT_EQ(G(1, 6).Alpha, 0);
    EXPECT_EQ(G(1, 6).Effect, 4);
    EXPECT_EQ(G(1, 7).Effect, 0);
    EXPECT_EQ(G(1, 1).SrcX, ('a' % 16) * 16);
    EXPECT_EQ(G(1, 1).SrcY, ('a' / 16) * 16);
    EXPECT_EQ(G(1, 1).SrcW, 10);

    // Values that are no numbers (or out of range) leave the style alone.
    area.SetText("<size=big>a<size=1,5>b<effect=300>c<alpha=>d<size= 2 >e");
    EXPECT_FLOAT_EQ(G(1, 1).Zoom, 1);
    EXPECT_FLOAT_EQ(G(1, 2).Zoom, 1);
    EXPECT_EQ(G(1, 3).Effect, 0);
    EXPECT_FLOAT_EQ(G(1, 4).Alpha, 0);
    EXPECT_FLOAT_EQ(G(1, 5).Zoom, 2);
}

TEST_F(TextAreaTest, HugeSizesAndSlantsAreHeldSoAnyMarkupDraws) {
    area.SetText("<size=99999999999999999999>a<size=-99999999999999999999>b<size=3><i=99999999999999999999>c");
    EXPECT_FLOAT_EQ(G(1, 1).Zoom, 64);
    EXPECT_FLOAT_EQ(G(1, 1).H, 64 * 16);
    EXPECT_FLOAT_EQ(G(1, 2).Zoom, -64);
    EXPECT_FLOAT_EQ(G(1, 3).Slant, 64 * 3);

    // Drawn as the game draws the message box, every frame; a raise here would
    // put an error box up each time.
    for (const char* text : {"<size=99999999999999999999>ab cd<br>ef", "x<size=340282346638528859811704183484516925440>y z",
                             "<effect=5><size=99999999999999999999><i=99999999999999999999>gh",
                             "<size=-300000000000000000000000000000000000000>ab<size=0.00000000000000000000000000000000000000000001>cd"}) {
        area.SetText(text);
        for (int frame = 0; frame < 3; ++frame) {
            area.ShowChars = area.CharsMax;
            area.ScrollY = float(frame * 700);
            area.Update();
            area.H = std::max(area.VisibleH, int32_t(80));
            EXPECT_NO_THROW(area.Render()) << text;
        }
        for (const Quad& q : Quads())
            for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isfinite(q.X[k]) && std::isfinite(q.Y[k])) << text;
    }
}

TEST_F(TextAreaTest, NumberFormatOfTagValues) {
    float v = 0;
    EXPECT_TRUE(ParseMarkupNumber("-1.25", v));
    EXPECT_FLOAT_EQ(v, -1.25f);
    EXPECT_TRUE(ParseMarkupNumber(".5", v));
    EXPECT_FLOAT_EQ(v, 0.5f);
    for (const char* bad : {"", " ", "1,5", "1.2.3", "&H10", "1e3", "-", ".", "9999999999999999999999999999999999999999"})
        EXPECT_FALSE(ParseMarkupNumber(bad, v)) << bad;
}

TEST_F(TextAreaTest, WrappingAtBlanksAndInsideWords) {
    // The blank lies beyond the first third: the word moves to the next row.
    area.SetText("aaaa bbbbbbbbb");
    EXPECT_TRUE(G(1, 6).RowStart);
    EXPECT_FLOAT_EQ(G(1, 6).X, 0);
    EXPECT_FLOAT_EQ(G(1, 6).Y, 16);
    EXPECT_FLOAT_EQ(area.GetLine(1).Height, 32);

    // A word longer than the area breaks inside the word.
    area.SetText("aaaaaaaaaaaaa");
    EXPECT_FALSE(G(1, 10).RowStart);
    EXPECT_TRUE(G(1, 11).RowStart);
    EXPECT_FLOAT_EQ(G(1, 11).X, 0);

    // The last blank in the first third: break before the overflowing glyph.
    area.SetText("aa bbbbbbbbbbbb");
    EXPECT_TRUE(G(1, 11).RowStart);
    EXPECT_FALSE(G(1, 4).RowStart);

    // A blank that itself overflows: the next glyph opens the row.
    area.SetText("aaaaaaaaaa bb");
    EXPECT_TRUE(G(1, 12).RowStart);
    area.SetText("aaaaaaaaaa ");  // and nothing after it: an empty row, no fault
    EXPECT_FLOAT_EQ(area.GetLine(1).Height, 32);

    // Rows of a wrapped line are centred one by one.
    area.SetText("<center>aaaaaaaaaaaa");
    EXPECT_FLOAT_EQ(G(1, 1).X, 0);
    EXPECT_FLOAT_EQ(G(1, 11).X, (100 - 20) / 2.0f);
}

TEST_F(TextAreaTest, BoundsRelayOutWithoutRestartingTheReveal) {
    area.SetText("aaaa bbbb");
    area.ShowChars = 5;
    area.SetBounds(0, 0, 50, -4);
    EXPECT_EQ(area.W, 50);
    EXPECT_EQ(area.H, 0);
    EXPECT_EQ(area.ShowChars, 5);
    EXPECT_TRUE(G(1, 6).RowStart);
    area.SetText("x");
    EXPECT_EQ(area.ShowChars, 0);
}

TEST_F(TextAreaTest, TypewriterRevealAndVisibleHeight) {
    area.SetText("ab c<br>de");
    area.Render();
    EXPECT_TRUE(Quads().empty());
    EXPECT_EQ(area.VisibleH, 0);

    area.ShowChars = 3;  // "a", "b" and the blank: two quads
    area.Render();
    auto q = Quads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_FLOAT_EQ(q[0].Left(), 20);
    EXPECT_FLOAT_EQ(q[0].Top(), 30);
    EXPECT_FLOAT_EQ(q[0].Width(), 10);
    EXPECT_FLOAT_EQ(q[0].Height(), 16);
    EXPECT_FLOAT_EQ(q[1].Left(), 30);
    EXPECT_EQ(area.VisibleH, 16);

    area.ShowChars = 6;
    area.Render();
    EXPECT_EQ(Quads().size(), 5u);
    EXPECT_EQ(area.VisibleH, 32);
}

TEST_F(TextAreaTest, SlantClippingAndTransparency) {
    area.SetText("<i>a<br>b<br><alpha=1>c");
    area.ShowChars = 10;
    area.ScrollY = 8;
    area.H = 20;
    area.Render();
    auto q = Quads();
    // "a" is cut by 8 rows at the top; "b" (line top 16 - 8) by 4 at the bottom;
    // "c" is invisible and not drawn.
    ASSERT_EQ(q.size(), 2u);
    EXPECT_FLOAT_EQ(q[0].X[0], 20 + 2);  // top edge to the right
    EXPECT_FLOAT_EQ(q[0].X[3], 20 - 2);  // bottom edge to the left
    EXPECT_FLOAT_EQ(q[0].Y[0], 30);
    EXPECT_FLOAT_EQ(q[0].Height(), 8);
    EXPECT_NEAR(q[0].V[0] * 256, ('a' / 16) * 16 + 8, 1e-3);
    EXPECT_FLOAT_EQ(q[1].Y[0], 30 + 16 - 8);
    EXPECT_FLOAT_EQ(q[1].Height(), 12);
}

TEST_F(TextAreaTest, EffectsFollowTheClockAndTheUpdates) {
    area.SetText("<effect=1>ab</effect><effect=2>c<effect=3>d<effect=4>e<effect=5>f<effect=6>g<effect=9>h");
    now = 0.25;
    area.Update();
    EXPECT_FLOAT_EQ(G(1, 1).OffsetY, float(-std::fabs(std::sin(0.1) * 3)));
    EXPECT_FLOAT_EQ(G(1, 2).OffsetY, float(-std::fabs(std::sin(0.2) * 3)));
    EXPECT_FLOAT_EQ(G(1, 1).Phase, 0.2f);
    EXPECT_FLOAT_EQ(G(1, 3).Alpha, 0);
    EXPECT_FLOAT_EQ(G(1, 4).Alpha, float(std::sin(1.0) * 0.5 + 0.5));
    EXPECT_FLOAT_EQ(G(1, 6).H, float(16 * std::sin(1.0)));
    EXPECT_FLOAT_EQ(G(1, 6).OffsetY, float((16 - 16 * std::sin(1.0)) / 3));
    EXPECT_FLOAT_EQ(G(1, 7).Slant, float(4 * std::sin(1.0)));
    EXPECT_FLOAT_EQ(G(1, 8).H, 16);
    now = 0.75;
    area.Update();
    EXPECT_FLOAT_EQ(G(1, 3).Alpha, 1);
    EXPECT_FLOAT_EQ(G(1, 1).OffsetY, float(-std::fabs(std::sin(0.2f + 0.1) * 3)));
    const int32_t rainbow = zDDrawModule::GetColorRGB(float(std::sin(3.0) * 0.5 + 0.5),
                                                      float(std::sin(3.0 + 6.283186f / 3.0) * 0.5 + 0.5),
                                                      float(std::sin(3.0 + 2 * 6.283186f / 3.0) * 0.5 + 0.5));
    EXPECT_EQ(G(1, 5).Color, rainbow);
    // The blinking glyph is hidden now and is not drawn.
    area.ShowChars = 3;
    area.Render();
    EXPECT_EQ(Quads().size(), 2u);
}

TEST_F(TextAreaTest, UnknownFontHandleGivesEmptyGlyphs) {
    area.DefaultFont = 99;
    area.SetText("ab");
    EXPECT_EQ(G(1, 1).SrcW, 0);
    area.ShowChars = 2;
    area.Render();  // nothing to look up: no fault
    SUCCEED();
}

// A font that is not there, or whose name leaves the font folder, is told of
// (a missing one once, however often it is asked for) and the text goes on in
// the font it had.
TEST_F(TextAreaTest, AFontNotThereOrLeavingTheFontFolderIsToldOfAndTheTextKeepsItsFont) {
    // A font sheet and its widths one folder above the font folder.
    std::filesystem::create_directories(dir.HostPath("fonts"));
    zFont.FontPath = dir.Path("fonts\\");
    WriteTexture("secret.png", 256, 256);
    zun::test::WriteHostFile(dir.HostPath("secret.dat"), std::vector<uint8_t>(256, 7));
    const int32_t fonts = zFont.FontCount;
    for (const std::string& name : std::vector<std::string>{"../secret", "..\\secret", "sub/../../secret", dir.Host() + "secret"}) {
        area.SetText("<font=" + name + ">ab");
        EXPECT_EQ(G(1, 1).Font, font) << name;
        EXPECT_EQ(zFont.FontCount, fonts) << name;
        EXPECT_NE(Logged().find("ERR\tLoadFont\tFile name outside the program folder\t<" + name + ".png>"),
                  std::string::npos)
            << name;
    }
    for (int k = 0; k < 3; ++k) {
        area.SetText("<font=nope>ab");
        EXPECT_EQ(G(1, 1).Font, font);
    }
    const std::string log = Logged();
    const std::string warning = "WARN\tTextArea_LoadFont\tFont not found\t<nope>\r\n";
    EXPECT_NE(log.find(warning), std::string::npos) << log;
    EXPECT_EQ(log.find(warning), log.rfind(warning)) << log;
    zFont.FontPath.clear();
}

}  // namespace
}  // namespace tarv::test
