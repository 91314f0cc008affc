// The console: its commands, the log view, typing, and the log hook's error
// boxes, which the console keeps quiet while it is open.
#include "SettingsTestSupport.h"

namespace tarv::test {

using Console = SettingsTest;

TEST_F(Console, MuteStopsAllPlaybackWhateverTheCaseAndBlanks) {
    frmLog.Show();
    frmLog.RunCommand("  MUTE ");
    EXPECT_TRUE(Logged("OK\tAll playback stopped.\r\n"));
    EXPECT_TRUE(frmLog.Visible());
}

TEST_F(Console, HelpListsTheCommandsAndOtherWordsAreUnknown) {
    frmLog.Show();
    frmLog.RunCommand("Help");
    EXPECT_TRUE(Logged("LIST\texit\tend\tmute\thelp\r\n"));
    frmLog.RunCommand(" helpMe ");
    EXPECT_TRUE(Logged("Error\tUnknown\thelpMe\r\n"));
    frmLog.RunCommand("   ");
    EXPECT_TRUE(Logged("Error\tUnknown\t\r\n"));
}

TEST_F(Console, ExitClosesTheConsoleAndEndClosesTheGameFirst) {
    std::vector<std::string> order;
    frmLog.UnloadMain = [&] { order.push_back(frmLog.Loaded() ? "main while loaded" : "main after"); };
    frmLog.Show();
    frmLog.RunCommand("exit");
    EXPECT_FALSE(frmLog.Loaded());
    EXPECT_TRUE(order.empty());
    frmLog.Show();
    frmLog.RunCommand("END");
    EXPECT_FALSE(frmLog.Loaded());
    EXPECT_EQ(order, std::vector<std::string>{"main while loaded"});
    EXPECT_TRUE(zCore.LogText.empty());  // neither logs anything
}

TEST_F(Console, TheLogViewDropsTheFinalLineBreak) {
    frmLog.Show();
    EXPECT_EQ(frmLog.txtLog()->Text, "");
    EXPECT_EQ(frmLog.LineCount(), 0);
    Log("INF", "One", 1);
    frmLog.ShowLog();
    EXPECT_EQ(frmLog.txtLog()->Text, "INF\tOne\t1");
    EXPECT_EQ(frmLog.txtLog()->SelStart, 9);
    Log("WARN", "Two");
    frmLog.ShowLog();
    ASSERT_EQ(frmLog.LineCount(), 2);
    EXPECT_EQ(frmLog.Line(0), "INF\tOne\t1");
    EXPECT_EQ(frmLog.Line(1), "WARN\tTwo");
    EXPECT_EQ(frmLog.Line(2), "");
}

TEST_F(Console, TypedCommandsRunOnEnterAndTheViewCatchesUp) {
    frmLog.Show();
    Log("INF", "Before");
    frmLog.TypeText("help");
    EXPECT_EQ(frmLog.txtInput()->Text, "help");
    frmLog.TypeText("X");
    EXPECT_TRUE(frmLog.KeyDown(8, 0));  // Backspace
    EXPECT_TRUE(frmLog.KeyDown(13, 0));
    EXPECT_EQ(frmLog.txtInput()->Text, "");
    EXPECT_EQ(frmLog.Line(frmLog.LineCount() - 1), "LIST\texit\tend\tmute\thelp");
    EXPECT_EQ(frmLog.Line(frmLog.LineCount() - 2), "INF\tBefore");

    // The input keeps its case in the message.
    frmLog.TypeText("NO");
    frmLog.KeyDown(13, 0);
    EXPECT_TRUE(Logged("Error\tUnknown\tNO"));
}

TEST_F(Console, F10AndEscCloseItAndLosingTheFocusFreesTheKeys) {
    frmLog.Show();
    EXPECT_TRUE(frmLog.KeyDown(121, 0));
    EXPECT_FALSE(frmLog.Loaded());
    frmLog.Show();
    EXPECT_TRUE(frmLog.KeyDown(27, 0));
    EXPECT_FALSE(frmLog.Loaded());
    EXPECT_FALSE(frmLog.KeyDown('A', 0));

    frmLog.Show();
    frmLog.HandleEvent({.Type = WindowEventType::Deactivated, .Text = {}, .WindowId = frmLog.Window.Id()});
    EXPECT_FALSE(frmLog.KeyDown(33, 0));
    EXPECT_TRUE(frmLog.MouseDown(1, 10, 10));
    EXPECT_TRUE(frmLog.KeyDown(33, 0));
}

TEST_F(Console, ResizeSplitsTheWindowBetweenTheBoxes) {
    frmLog.Show();
    frmLog.Form.Width = 300;
    frmLog.Form.Height = 200;
    frmLog.Form_Resize();
    EXPECT_EQ(frmLog.txtLog()->Height, 180);
    EXPECT_EQ(frmLog.txtInput()->Top, 180);
    EXPECT_EQ(frmLog.txtInput()->Width, 300);
    // Too small for the input box: the layout stays.
    frmLog.Form.Height = 10;
    frmLog.Form_Resize();
    EXPECT_EQ(frmLog.txtLog()->Height, 180);
}

TEST_F(Console, ALongInputIsCappedAndScrollingStaysInTheLog) {
    frmLog.Show();
    for (int i = 0; i < 400; ++i) frmLog.TypeText("A");
    EXPECT_EQ(frmLog.txtInput()->Text.size(), 256u);
    for (int i = 0; i < 100; ++i) Log("INF", "Line", i);
    frmLog.ShowLog();
    frmLog.KeyDown(33, 0);  // Page up
    EXPECT_GT(frmLog.ScrollBack, 0);
    for (int i = 0; i < 50; ++i) frmLog.KeyDown(33, 0);
    EXPECT_LE(frmLog.ScrollBack, frmLog.LineCount());
    EXPECT_TRUE(frmLog.MouseWheel(-1000, 5, 5));
    EXPECT_EQ(frmLog.ScrollBack, 0);
}

TEST_F(Console, DrawsItsLinesWithTheGameFont) {
    const int32_t font = MakeFont();
    gCharTest.FontArial = font;
    for (int i = 0; i < 40; ++i) Log("INF", "Line", i);
    Log("ERR", "Broken");
    frmLog.Show();
    ASSERT_TRUE(zDDraw.BeginScene(ColorFromComponents(0, 0, 0, 1), 0));
    rec->ClearLog();
    frmLog.Render();
    zDDraw.EndScene(true);
    size_t glyphs = 0;
    for (const auto& d : rec->Draws)
        if (d.Textured) glyphs += d.Vertices.size();
    EXPECT_GT(glyphs, 100u);
}

using LogHook = SettingsTest;

TEST_F(LogHook, AnErrorShowsItsValuesLineByLine) {
    gCoreHooks.OnLogEntry = [](const std::string& t, const std::vector<LogValue>& v) { gCharTest.OnLogEntry(t, v); };
    Log("ERR", "LoadTexture", "File not found");
    EXPECT_TRUE(Logged("INF\tMsgBox\t\tERR\\r\\nLoadTexture\\r\\nFile not found\r\n"));
    zCore.LogText.clear();
    Log("WARN", "Timeline", "No target");
    Log("INFO", "Script compiled", "x");
    Log("Error", "Unknown", "x");
    EXPECT_FALSE(Logged("MsgBox"));
}

TEST_F(LogHook, TheOpenConsoleKeepsErrorsInTheLog) {
    gCoreHooks.OnLogEntry = [](const std::string& t, const std::vector<LogValue>& v) { gCharTest.OnLogEntry(t, v); };
    frmLog.Show();
    Log("ERR", "Quiet");
    EXPECT_FALSE(Logged("MsgBox"));
    frmLog.KeyDown(121, 0);
    Log("ERR", "Loud");
    EXPECT_TRUE(Logged("MsgBox\t\tERR\\r\\nLoud"));
}

// An error that keeps coming shows one box, not one each time; another error
// still shows its own, and the same one shows again after a quiet while.
TEST_F(LogHook, ARepeatedErrorShowsOneBox) {
    gCoreHooks.OnLogEntry = [](const std::string& t, const std::vector<LogValue>& v) { gCharTest.OnLogEntry(t, v); };
    auto boxes = [] {
        int n = 0;
        for (size_t p = zCore.LogText.find("\tMsgBox\t"); p != std::string::npos; p = zCore.LogText.find("\tMsgBox\t", p + 1)) ++n;
        return n;
    };
    zCore.Ticks = 1000;
    for (int i = 0; i < 50; ++i) {
        Log("ERR", "Script", "Game.onUpdate", "Division by zero");
        Log("ERR", "LoadWave", "File not found", "<a.wav>");
    }
    EXPECT_EQ(boxes(), 2);
    zCore.Ticks += 9000;
    Log("ERR", "Script", "Game.onUpdate", "Division by zero");
    EXPECT_EQ(boxes(), 2);
    zCore.Ticks += 11000;
    Log("INF", "between");
    Log("ERR", "Script", "Game.onUpdate", "Division by zero");
    EXPECT_EQ(boxes(), 3);
}

TEST_F(LogHook, AlwaysFalseAndSafeWithOddEntries) {
    EXPECT_FALSE(gCharTest.OnLogEntry("", {}));
    EXPECT_FALSE(gCharTest.OnLogEntry("x", {LogValue::None()}));
    EXPECT_FALSE(gCharTest.OnLogEntry("ERR", {LogValue("ERR")}));
    EXPECT_TRUE(Logged("MsgBox\t\tERR"));
}

}  // namespace tarv::test
