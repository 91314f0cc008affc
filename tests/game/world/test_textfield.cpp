// The plain text field: its line breaks, word wrapping, alignment and the
// clipped lines it draws.
#include "WidgetTestSupport.h"
#include "game/world/gTextField.h"

namespace tarv::test {
namespace {

class TextFieldTest : public WidgetTest {
protected:
    gTextField field;
    int32_t font = 0;

    void SetUp() override {
        WidgetTest::SetUp();
        font = MakeFont("plain", 10);
    }
    void Lay(const std::string& text, int32_t w = 100, int32_t h = 200, float zoom = 1) {
        field.SetText(font, text, zoom);
        field.SetBounds(5, 7, float(w), float(h));
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (int32_t i = 1; i <= field.GetLineCount(); ++i) out.push_back(field.GetLine(i).Text);
        return out;
    }
};

TEST_F(TextFieldTest, EmptyTextIsOneBlankRow) {
    Lay("");
    EXPECT_EQ(field.Text, "\n");
    EXPECT_EQ(Lines(), std::vector<std::string>{""});
    EXPECT_EQ(field.GetTextHeight(), 16);
    Lay("", 100, 200, 2);
    EXPECT_EQ(field.GetTextHeight(), 32);
    EXPECT_EQ(field.TextH, 32);
}

TEST_F(TextFieldTest, FieldSmallerThanOneCellHasNoLines) {
    Lay("abc", 15, 100);
    EXPECT_EQ(field.GetLineCount(), 0);
    EXPECT_EQ(field.GetTextHeight(), 0);
    Lay("abc", 100, 31, 2);
    EXPECT_EQ(field.GetLineCount(), 0);
    Lay("abc", 100, 32, 2);
    EXPECT_EQ(field.GetLineCount(), 1);
}

TEST_F(TextFieldTest, LineFeedsWrittenEitherWay) {
    Lay("ab\\ncd\r\nef");
    // A line feed inside the text opens the next line as its first, zero-wide character.
    EXPECT_EQ(Lines(), (std::vector<std::string>{"ab", "\ncd", "\nef"}));
    EXPECT_FLOAT_EQ(field.GetLine(2).W, 20);
    EXPECT_FLOAT_EQ(field.GetLine(3).Y, 32);
    EXPECT_EQ(field.TextH, 48);
}

TEST_F(TextFieldTest, WrapsAtBlanksAndHyphensPastTheMiddle) {
    Lay("aaaaaaa bbbbbb");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"aaaaaaa ", "bbbbbb"}));
    EXPECT_FLOAT_EQ(field.GetLine(1).W, 70);
    EXPECT_EQ(field.TextW, 70);

    Lay("aaaaaaa-bbbbbb");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"aaaaaaa-", "bbbbbb"}));

    // The last blank in the first half (by characters): broken inside the word.
    Lay("aaaa bbbbbbbbb");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"aaaa bbbbb", "bbbb"}));
    EXPECT_EQ(field.TextW, 100);

    // Tabs are no break characters.
    Lay("aaaaaaa\tbbbbbb");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"aaaaaaa\tbbb", "bbb"}));
}

TEST_F(TextFieldTest, AlignmentMovesEachLine) {
    Lay("aaaaaaa bbbbbb");
    field.ApplyAlign(1);
    EXPECT_FLOAT_EQ(field.GetLine(1).X, 30);
    EXPECT_FLOAT_EQ(field.GetLine(2).X, 40);
    field.ApplyAlign(2);
    EXPECT_FLOAT_EQ(field.GetLine(2).X, 20);
    field.ApplyAlign(7);
    EXPECT_FLOAT_EQ(field.GetLine(2).X, 20);
    field.ApplyAlign(0);
    EXPECT_FLOAT_EQ(field.GetLine(2).X, 0);
}

TEST_F(TextFieldTest, RenderClipsLinesToTheField) {
    Lay("ab\\ncd\\nef", 100, 16);
    ASSERT_EQ(field.GetLineCount(), 3);
    field.H = 20;
    field.ScrollY = 8;
    field.TextColor = zDDrawModule::GetColorRGB(1, 0, 0);
    field.Render();
    auto q = Quads();
    // Line 1 loses 8 rows at the top, line 2 4 rows at the bottom, line 3 is
    // below. Line 2 starts with its zero-wide line feed.
    ASSERT_EQ(q.size(), 5u);
    EXPECT_FLOAT_EQ(q[2].Width(), 0);
    EXPECT_FLOAT_EQ(q[0].Top(), 7);
    EXPECT_FLOAT_EQ(q[0].Height(), 8);
    EXPECT_FLOAT_EQ(q[0].Left(), 5);
    EXPECT_EQ(q[0].Color, uint32_t(field.TextColor));
    EXPECT_FLOAT_EQ(q[3].Top(), 7 + 16 - 8);
    EXPECT_FLOAT_EQ(q[3].Height(), 12);
    EXPECT_FLOAT_EQ(q[3].Left(), 5);
}

TEST_F(TextFieldTest, ZeroScaleDrawsNothingAndDoesNotFail) {
    Lay("ab", 100, 100, 0);
    field.ScrollY = -5;
    field.Render();
    EXPECT_TRUE(Quads().empty());
    EXPECT_EQ(Logged().find("ERR"), std::string::npos);
}

}  // namespace
}  // namespace tarv::test
