#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

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

// A debug.log that is no plain file of one name in the program folder - a
// link to a file of the player's, a FIFO (which would hold the start for
// ever), a folder, a device, a second name of another file - is not written:
// the log says once why, and the run goes on without it.
TEST(Log, TheDebugFileIsOnlyAPlainFileOfOneNameInTheProgramFolder) {
    TempDir dir, player;
    const std::vector<uint8_t> profile{'e', 'c', 'h', 'o', '\n'};
    zun::test::WriteHostFile(player.HostPath("profile"), profile);
    SetApplicationFolder(dir.Host());
    const std::string debugLog = dir.HostPath("debug.log");
    auto refusedFor = [&](const std::string& reason) {
        zCore.LogText.clear();
        Core_Start();
        Log("ERR", "a line a script wrote");
        EXPECT_FALSE(zCore.DebugToFile) << reason;
        const std::string warn =
            "WARN\tZUN_Initialize\tLog file refused: " + reason + "\t<" + dir.Path("debug.log") + ">";
        EXPECT_NE(zCore.LogText.find(warn), std::string::npos) << zCore.LogText;
        EXPECT_EQ(zun::test::ReadHostFile(player.HostPath("profile")), profile) << reason;
    };
    for (zun::test::Hostile kind : zun::test::kHostileKinds) {
        zun::test::PlaceHostile(debugLog, kind, player.HostPath("profile"));
        const bool link = kind == zun::test::Hostile::DeviceLink || kind == zun::test::Hostile::OutsideLink;
        refusedFor(link ? "a link, not a file" : zun::test::HostileReason(kind));
    }
    std::filesystem::remove_all(debugLog);
    ASSERT_EQ(::link(player.HostPath("profile").c_str(), debugLog.c_str()), 0);
    refusedFor("a file with other names (hard links)");
    Core_Reset();
    SetApplicationFolder("");
}

// The last word of a run that cannot stop goes to the log as it is open: a
// FIFO put at the name since is never opened (it would wait for a reader).
TEST(Log, TheLastWordIsWrittenToTheOpenLogWithoutOpeningItAgain) {
    TempDir dir;
    zun::test::WriteHostFile(dir.HostPath("debug.log"), {});
    SetApplicationFolder(dir.Host());
    Core_Start();
    ASSERT_TRUE(zCore.DebugToFile);
    std::filesystem::rename(dir.HostPath("debug.log"), dir.HostPath("debug.old"));
    zun::test::PlaceHostile(dir.HostPath("debug.log"), zun::test::Hostile::Fifo, "");
    testing::internal::CaptureStderr();
    LogLastWord("ERR\tfrmMain\tSignal 15");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERR\tfrmMain\tSignal 15\n");
    const auto bytes = zun::test::ReadHostFile(dir.HostPath("debug.old"));
    const std::string text(bytes.begin(), bytes.end());
    const std::string last = "ERR\tfrmMain\tSignal 15\r\n";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    Core_Reset();
    SetApplicationFolder("");
}

// Each place the log goes (debug.log, standard error) takes at most its
// budget a run, then one line saying so; the lines past it are counted and
// the count is written at the end. Everything else goes on: the hook sees
// every line.
TEST(Log, EachPlaceTheLogGoesStopsAtItsBudgetWithOneLine) {
    TempDir dir;
    zun::test::WriteHostFile(dir.HostPath("debug.log"), {});
    SetApplicationFolder(dir.Host());
    const int64_t budget = zCore.LogSinkBudget;
    zCore.LogSinkBudget = 4000;
    zCore.LogToStderr = true;
    testing::internal::CaptureStderr();
    Core_Start();
    LogCapture cap;
    constexpr int kLines = 1000;
    for (int i = 0; i < kLines; ++i) Log("INF", "flood", i);
    Core_Release();
    const std::string err = testing::internal::GetCapturedStderr();
    zCore.LogToStderr = false;
    zCore.LogSinkBudget = budget;
    EXPECT_EQ(cap.Lines().size(), size_t(kLines));
    const auto bytes = zun::test::ReadHostFile(dir.HostPath("debug.log"));
    for (const auto& [text, end] : {std::pair{std::string(bytes.begin(), bytes.end()), std::string("\r\n")},
                                    std::pair{err, std::string("\n")}}) {
        const std::string spent = "LOG\tLog budget spent\t";
        const size_t at = text.find(spent);
        ASSERT_NE(at, std::string::npos) << text.size();
        EXPECT_LE(at, 4000u);
        const size_t spentEnd = text.find(end, at) + end.size();
        EXPECT_LE(spentEnd, 4000u + 100u) << "the budget and one line";
        int written = 0;
        for (size_t p = text.find("INF\tflood\t"); p != std::string::npos;
             p = text.find("INF\tflood\t", p + 1))
            ++written;
        EXPECT_GT(written, 100);
        EXPECT_EQ(text.substr(spentEnd),
                  "LOG\tLines past the log budget, not written\t" + std::to_string(kLines - written) + end);
    }
    Core_Reset();
    SetApplicationFolder("");
}

// debug.log lasts from run to run: what earlier runs left counts against its
// budget, the budget line is written once in the file's life, and a file
// shipped larger than its budget takes one line and then nothing. Standard
// error keeps a budget a run.
TEST(Log, TheDebugFileHoldsItsBudgetAcrossRuns) {
    TempDir dir;
    const std::string path = dir.HostPath("debug.log");
    zun::test::WriteHostFile(path, {});
    SetApplicationFolder(dir.Host());
    const int64_t budget = zCore.LogSinkBudget;
    zCore.LogSinkBudget = 4000;
    auto text = [&] {
        const auto bytes = zun::test::ReadHostFile(path);
        return std::string(bytes.begin(), bytes.end());
    };
    auto count = [](const std::string& t, const std::string& what) {
        int n = 0;
        for (size_t p = t.find(what); p != std::string::npos; p = t.find(what, p + 1)) ++n;
        return n;
    };
    auto run = [&](int lines) {
        zCore.LogToStderr = true;
        testing::internal::CaptureStderr();
        Core_Start();
        for (int i = 0; i < lines; ++i) Log("INF", "flood", i);
        Core_Reset();
        zCore.LogToStderr = false;
        return testing::internal::GetCapturedStderr();
    };
    const std::string note = "LOG\tLog budget spent\t";
    size_t sizeAfter = 0;
    for (int r = 0; r < 4; ++r) {
        const std::string err = run(r == 0 ? 20 : 1000);
        const std::string t = text();
        EXPECT_LE(t.size(), 4000u) << "run " << r;
        EXPECT_EQ(count(t, note), r == 0 ? 0 : 1) << "run " << r;
        if (r >= 2) {
            EXPECT_EQ(t.size(), sizeAfter) << "run " << r;
        }
        sizeAfter = t.size();
        EXPECT_GE(count(err, "INF\tflood\t"), 20) << "standard error has a budget of its own each run";
    }
    zun::test::WriteHostFile(path, std::vector<uint8_t>(6000, 'x'));
    run(10);
    const std::string once = text();
    EXPECT_EQ(once.substr(0, 6000), std::string(6000, 'x'));
    EXPECT_EQ(count(once, note), 1);
    EXPECT_LT(once.size(), 6000u + 200u);
    run(10);
    EXPECT_EQ(text(), once);
    zCore.LogSinkBudget = budget;
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
