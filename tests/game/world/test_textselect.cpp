// The option list: its rows, choosing by keys and mouse, answering, and the
// highlight it draws.
#include "WidgetTestSupport.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextSelect.h"

namespace tarv::test {
namespace {

class TextSelectTest : public WidgetTest {
protected:
    std::shared_ptr<gTextSelect> list = std::make_shared<gTextSelect>();
    std::shared_ptr<iController> below = std::make_shared<iController>();

    void SetUp() override {
        WidgetTest::SetUp();
        gCharTest.FontGeorgia = MakeFont("georgia", 8);
        gCharTest.MessageArea = std::make_shared<gTextArea>();
        LoadScript("class Q { func answer(v) { record(v); } }");
        list->ScriptCaller = Object("Q");
        list->ScriptFunction = "answer";
        gCharTest.PushController(below);
    }
    // Puts the list on screen as the shell does.
    void Show() {
        gCharTest.Message = list;
        gCharTest.PushController(list);
        list->SetBounds(10, 20, 200, 100);
    }
    void Press(int32_t key) {
        zDInput.SetKey(key, true);
        list->CheckInput();
    }
    bool Active() const { return gCharTest.Controller == list; }
};

TEST_F(TextSelectTest, RowsAreNumberedBlankRowsIncluded) {
    list->AddOption("#", 0);
    list->AddOption("Yes", 5);
    list->AddOption("", 9);  // adds nothing
    list->AddOption("No", 6);
    ASSERT_EQ(list->Options.size(), 3u);
    EXPECT_EQ(list->Options[0]->Text, "\n");
    EXPECT_EQ(list->Options[1]->Text, "2.  Yes\n");
    EXPECT_EQ(list->Options[2]->Text, "3.  No\n");
    EXPECT_EQ(list->Options[2]->Tag, 6);
    EXPECT_EQ(list->Options[1]->Font, gCharTest.FontGeorgia);
}

TEST_F(TextSelectTest, ColourMarkers) {
    list->AddOption("[+]  Go on  ", 1);
    list->AddOption("[x]Plain", 2);
    list->AddOption("[!]Gold", 3);
    EXPECT_EQ(list->Options[0]->Text, "1.  Go on\n");
    EXPECT_EQ(list->Options[0]->SelColor, zDDrawModule::GetColorRGB(0, 0, 1));
    EXPECT_EQ(list->Options[0]->TextColor, zDDrawModule::GetColorRGB(0.5f, 0.5f, 1));
    EXPECT_EQ(list->Options[1]->Text, "2.  Plain\n");
    EXPECT_EQ(list->Options[1]->SelColor, zDDrawModule::GetColorRGB(0, 0, 0));
    EXPECT_EQ(list->Options[1]->TextColor, zDDrawModule::GetColorRGB(1, 1, 1));
    EXPECT_EQ(list->Options[2]->TextColor, zDDrawModule::GetColorRGB(1, 0.85f, 0));
}

TEST_F(TextSelectTest, RowsStackByTheirWrappedHeight) {
    list->AddOption("short", 1);
    list->AddOption(std::string(30, 'w'), 2);  // "2.  " and 30 glyphs of 8: three rows of 12 in 100
    list->AddOption("last", 3);
    list->SetBounds(10, 20, 100, 50);
    EXPECT_FLOAT_EQ(list->Options[0]->y, 20);
    EXPECT_EQ(list->Options[0]->H, 16);
    EXPECT_FLOAT_EQ(list->Options[1]->y, 36);
    EXPECT_EQ(list->Options[1]->H, 48);
    EXPECT_FLOAT_EQ(list->Options[2]->y, 84);
    EXPECT_EQ(list->Options[2]->W, 100);
}

TEST_F(TextSelectTest, WAndSWrapAroundAndBlankRowsCannotBeSelected) {
    for (const char* t : {"a", "b", "c"}) list->AddOption(t, 0);
    Show();
    Press(87);
    EXPECT_EQ(list->Selected, 3);
    Press(87);
    EXPECT_EQ(list->Selected, 2);
    Press(83);
    Press(83);
    EXPECT_EQ(list->Selected, 1);
    EXPECT_FALSE(zDInput.Keys[83]);  // every key acts once

    auto blank = std::make_shared<gTextSelect>();
    blank->AddOption("a", 0);
    blank->AddOption("#", 0);
    blank->Selected = 1;
    zDInput.SetKey(83, true);
    blank->CheckKeys();
    EXPECT_EQ(blank->Selected, 0);

    auto empty = std::make_shared<gTextSelect>();
    zDInput.SetKey(87, true);
    empty->CheckKeys();
    EXPECT_EQ(empty->Selected, 0);
}

TEST_F(TextSelectTest, DigitKeysAnswerAndTheTenthRowIsKey58) {
    for (int32_t i = 1; i <= 10; ++i) list->AddOption("row", 100 + i);
    Show();
    Press(48);  // the digit 0 chooses nothing
    EXPECT_TRUE(Active());
    Press(58);
    EXPECT_FALSE(Active());
    EXPECT_EQ(gCharTest.Controller, below);
    EXPECT_EQ(gCharTest.Message, nullptr);
    EXPECT_EQ(records, std::vector<std::string>{"110"});
}

TEST_F(TextSelectTest, FirstClickFinishesTheTyping) {
    list->AddOption("a", 1);
    Show();
    gCharTest.MessageArea->SetText("Hello there");
    gCharTest.MessageArea->ShowChars = 3;
    list->Selected = 1;
    EXPECT_TRUE(list->MouseDown(0, 0, 1));
    EXPECT_EQ(gCharTest.MessageArea->ShowChars, gCharTest.MessageArea->CharsMax - 1);
    EXPECT_TRUE(Active());
    EXPECT_TRUE(records.empty());
}

TEST_F(TextSelectTest, QuestionWaitsForAChoice) {
    list->AddOption("a", 1);
    list->AddOption("b", 2);
    Show();
    list->MouseDown(0, 0, 1);
    Press(32);
    EXPECT_TRUE(Active());
    EXPECT_TRUE(records.empty());
    Press(83);
    Press(32);
    EXPECT_FALSE(Active());
    EXPECT_EQ(records, std::vector<std::string>{"1"});
}

TEST_F(TextSelectTest, PlainMessageEndsOnTheFirstClickWithoutACall) {
    Show();
    EXPECT_TRUE(list->MouseMove(1, 1, 0));
    EXPECT_TRUE(list->MouseUp(1, 1, 1));
    EXPECT_TRUE(list->MouseDown(1, 1, 2));
    EXPECT_FALSE(Active());
    EXPECT_EQ(gCharTest.Message, nullptr);
    EXPECT_TRUE(records.empty());
}

TEST_F(TextSelectTest, TrailingBlankRowAnswersWithTheFirstRow) {
    list->AddOption("go", 7);
    list->AddOption("#", 0);
    Show();
    Press(32);
    EXPECT_FALSE(Active());
    EXPECT_EQ(records, std::vector<std::string>{"7"});
}

TEST_F(TextSelectTest, HoveringSelectsScaledByTheZoomButNeverAnswers) {
    list->AddOption("a", 1);
    list->AddOption("b", 2);
    Show();
    zDDraw.RenderZoom = 2;
    zDInput.MouseX = 2 * 50;
    zDInput.MouseY = 2 * 40;  // row 2 spans y 36..52
    list->CheckInput();
    EXPECT_EQ(list->Selected, 2);
    EXPECT_TRUE(Active());
    zDInput.MouseX = 2 * 300;  // beyond the rows: the selection stays
    list->CheckInput();
    EXPECT_EQ(list->Selected, 2);

    auto blank = std::make_shared<gTextSelect>();
    blank->AddOption("a", 1);
    blank->AddOption("#", 0);
    blank->SetBounds(10, 20, 200, 100);
    zDInput.MouseX = 2 * 50;
    zDInput.MouseY = 2 * 25;
    blank->CheckMouse();
    EXPECT_EQ(blank->Selected, 0);
}

TEST_F(TextSelectTest, HighlightBoxAroundTheSelectedRow) {
    list->AddOption("a", 1);
    list->AddOption("b", 2);
    list->Options[1]->SelColor = zDDrawModule::GetColorRGB(0, 1, 0);
    list->SetBounds(10.4f, 20, 200, 100);
    list->Selected = 2;
    list->Render();
    zDDraw.EndScene(false);
    std::vector<RecordedDraw> boxes, lines;
    for (const auto& d : rec->Draws) {
        if (d.Prim == Primitive::TriangleStrip && !d.Textured) boxes.push_back(d);
        if (d.Prim == Primitive::LineList) lines.push_back(d);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FLOAT_EQ(boxes[0].Vertices[0].X, 6);   // round(10.4 - 4)
    EXPECT_FLOAT_EQ(boxes[0].Vertices[0].Y, 35);  // round(36 - 1)
    EXPECT_FLOAT_EQ(boxes[0].Vertices[3].X, 6 + 208);
    EXPECT_FLOAT_EQ(boxes[0].Vertices[3].Y, 35 + 17);
    EXPECT_EQ(boxes[0].Vertices[0].Color & 0xFFFFFF, 0x00FF00u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Vertices.size(), 8u);
    EXPECT_FLOAT_EQ(list->Options[0]->Alpha, list->Alpha);
}

}  // namespace
}  // namespace tarv::test
