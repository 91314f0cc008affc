#include <gtest/gtest.h>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "support/TestSupport.h"

using namespace zun;
using zun::test::LogCapture;
using zun::test::TempDir;

TEST(Log, JoinsValuesWithTabsAndSkipsObjects) {
    LogCapture cap;
    zCore.LogText.clear();
    Log("A", 1, "b");
    Log();
    Log("INF", std::make_shared<int>(3), 2.5f);
    ASSERT_EQ(cap.Lines().size(), 3u);
    EXPECT_EQ(cap.Lines()[0], "A\t1\tb");
    EXPECT_EQ(cap.Lines()[1], "");
    EXPECT_EQ(cap.Lines()[2], "INF\t2.5");
    EXPECT_EQ(zCore.LogText, "A\t1\tb\r\n\r\nINF\t2.5\r\n");
}

// A long run keeps the newest lines in memory and says how many older ones went.
TEST(Log, TheLogTextKeepsTheNewestLinesAndCountsTheDropped) {
    LogCapture cap;
    zCore.LogText.clear();
    zCore.LogLinesDropped = 0;
    const size_t limit = zCore.LogTextLimit;
    zCore.LogTextLimit = 200;
    for (int i = 0; i < 100; ++i) Log("L", i);
    const std::string text = zCore.LogText;
    zCore.LogTextLimit = limit;

    EXPECT_LE(text.size(), 200u);
    const std::string note = "LOG\tOlder lines dropped from this view\t" + std::to_string(zCore.LogLinesDropped) + "\r\n";
    EXPECT_EQ(text.substr(0, note.size()), note);
    EXPECT_EQ(text.substr(text.size() - 6), "L\t99\r\n");
    int kept = 0;
    for (size_t p = text.find("L\t"); p != std::string::npos; p = text.find("L\t", p + 1)) ++kept;
    EXPECT_EQ(zCore.LogLinesDropped + kept, 100);
    // The hook (and so the log file) saw every line.
    EXPECT_EQ(cap.Lines().size(), 100u);
}

// Whatever a value holds, an entry is one line of bounded size: long values
// are cut with their size stated, control characters are shown escaped, and
// the TABs between values stay the only TABs.
TEST(Log, EveryEntryIsOneBoundedLine) {
    LogCapture cap;
    zCore.LogText.clear();
    const std::string huge(20000000, 'A');
    Log("ERR", "Script class not found", huge);
    Log("ERR", std::string("a\0b\r\nERR\tforged\x01", 16), "end");
    ASSERT_EQ(cap.Lines().size(), 2u);
    const std::string& big = cap.Lines()[0];
    EXPECT_LT(big.size(), 1100u);
    EXPECT_EQ(big.substr(0, 30), "ERR\tScript class not found\tAAA");
    EXPECT_EQ(big.substr(big.size() - 20), "... (20000000 bytes)");
    EXPECT_EQ(cap.Lines()[1], "ERR\ta\\0b\\r\\nERR\\tforged\\x01\tend");
    EXPECT_EQ(zCore.LogText, big + "\r\n" + cap.Lines()[1] + "\r\n");
}

// The same line again is counted, not written: the count follows when
// another line comes, and once a frame while the repeats go on.
TEST(Log, RepeatedLinesAreCounted) {
    LogCapture cap;
    zCore.CountRepeats = true;
    zCore.FrameCounter = 1;
    for (int i = 0; i < 5; ++i) Log("ERR", "Loop", "x");
    Log("INF", "other");
    for (int i = 0; i < 3; ++i) Log("ERR", "Loop", "x");
    zCore.FrameCounter = 2;
    Log("ERR", "Loop", "x");
    Log("ERR", "Loop", "x");
    Log("INF", "other");
    zCore.FrameCounter = 0;
    zCore.CountRepeats = false;
    const std::vector<std::string> want = {
        "ERR\tLoop\tx", "LOG\tLast line repeated\t4 times", "INF\tother",
        "ERR\tLoop\tx", "LOG\tLast line repeated\t3 times", "LOG\tLast line repeated\t1 time", "INF\tother"};
    EXPECT_EQ(cap.Lines(), want);
}

TEST(Log, ARethrowingHookDoesNotStopTheLog) {
    auto saved = gCoreHooks.OnLogEntry;
    gCoreHooks.OnLogEntry = [](const std::string&, const std::vector<LogValue>&) { throw std::runtime_error("x"); };
    zCore.LogText.clear();
    Log("OK", "still here");
    EXPECT_EQ(zCore.LogText, "OK\tstill here\r\n");
    gCoreHooks.OnLogEntry = saved;
}

TEST(Log, DebugFileIsWrittenOnlyWhenItExistedAtStart) {
    TempDir dir;
    SetApplicationFolder(dir.Host());
    Core_Start();
    EXPECT_FALSE(zCore.DebugToFile);
    zun::test::WriteHostFile(dir.HostPath("debug.log"), {});
    Log("INF", "after");
    EXPECT_TRUE(zun::test::ReadHostFile(dir.HostPath("debug.log")).empty());

    Core_Start();
    EXPECT_TRUE(zCore.DebugToFile);
    Log("INF", "now");
    auto bytes = zun::test::ReadHostFile(dir.HostPath("debug.log"));
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("[ZUN 1.3.1]\r\n"), std::string::npos);
    EXPECT_NE(text.find("INF\tnow\r\n"), std::string::npos);
    Core_Reset();
    SetApplicationFolder("");
}

TEST(Log, TrapLogsTheProcedureAndReturnsTheFailureValue) {
    LogCapture cap;
    int r = Trap("Texture_Export", -1, []() -> int { Raise(errOverflow); });
    EXPECT_EQ(r, -1);
    EXPECT_EQ(zCore.CurrentProc, "Texture_Export");
    ASSERT_FALSE(cap.Lines().empty());
    EXPECT_EQ(cap.Lines().back(), "ERR\tTexture_Export\tOverflow");
}

TEST(Log, StartUpHeaderAndSeparatorFallback) {
    TempDir dir;
    SetApplicationFolder(dir.Host());
    LogCapture cap;
    Core_Start();
    EXPECT_FALSE(zCore.DecimalSeparator.empty());
    EXPECT_TRUE(cap.Contains("[ZUN 1.3.1]"));
    EXPECT_EQ(CheckSystemFiles(false), 0);
    EXPECT_FALSE(cap.Contains("Missing system files"));
    SetApplicationFolder("");
    zCore.DecimalSeparator = ".";
}
