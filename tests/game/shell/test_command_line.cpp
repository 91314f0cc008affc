// The command line and the compiler runs: "debug", splitting into script
// names, and the built compiler on a good and a bad script.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "game/shell/mCommandLine.h"
#include "game/shell/mShellExecute.h"
#include "platform/Dialogs.h"
#include "support/TestSupport.h"

namespace tarv::test {

using namespace zun;
namespace fs = std::filesystem;

namespace {

bool Logged(const std::string& fragment) { return zCore.LogText.find(fragment) != std::string::npos; }
int Count(const std::string& fragment) {
    int n = 0;
    for (size_t p = zCore.LogText.find(fragment); p != std::string::npos; p = zCore.LogText.find(fragment, p + 1)) ++n;
    return n;
}
void WriteText(const std::string& hostPath, const std::string& text) {
    zun::test::WriteHostFile(hostPath, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

TEST(CommandLine, ArgumentsJoinWithSingleBlanks) {
    const char* argv[] = {"vorlund", "Game", "Level1", nullptr};
    EXPECT_EQ(CommandLineFromArgs(3, argv), "Game Level1");
    EXPECT_EQ(CommandLineFromArgs(1, argv), "");
    const char* utf8[] = {"vorlund", "M\xC3\xBChle"};
    EXPECT_EQ(CommandLineFromArgs(2, utf8), "M\xFChle");
}

TEST(CommandLine, WordsSplitAtEverySingleBlank) {
    EXPECT_EQ(SplitParams("a b"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitParams("a  b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitParams("one"), (std::vector<std::string>{"one"}));
    EXPECT_EQ(TrimBlanks("  a  b "), "a  b");
    EXPECT_EQ(TrimBlanks("   "), "");
}

class CompilerRun : public ::testing::Test {
protected:
    zun::test::TempDir dir;
    std::string keptCwd, keptAppPath;

    void SetUp() override {
        keptCwd = fs::current_path().string();
        keptAppPath = zFileSystem.AppPath;
        zFileSystem.AppPath = dir.Path();
        zCore.LogText.clear();
        gCoreHooks.OnLogEntry = nullptr;
        ClearDialogAnswers();
        WriteText(dir.HostPath("good.zs"), "class Game {\n    func onLoad() { x = 1; }\n}\n");
        WriteText(dir.HostPath("bad.zs"), "class Game {\n    func onLoad( { x = ; }\n");
    }
    void TearDown() override {
        fs::current_path(keptCwd);
        zFileSystem.AppPath = keptAppPath;
    }
    // The compiler in the current folder, which is the program folder.
    void InstallCompiler() {
        fs::copy_file(ZUN_COMPILER_EXE, dir.HostPath("Compiler.exe"), fs::copy_options::overwrite_existing);
        fs::current_path(dir.Host());
    }
};

TEST_F(CompilerRun, DebugIsNoScriptName) {
    fs::current_path(dir.Host());  // no compiler here
    bool debug = false;
    EXPECT_TRUE(HandleCommandLine("debug", debug));
    EXPECT_TRUE(debug);
    EXPECT_FALSE(Logged("Compiler not found"));

    debug = false;
    EXPECT_TRUE(HandleCommandLine("", debug));
    EXPECT_FALSE(debug);
    EXPECT_FALSE(Logged("MsgBox"));

    // Any other spelling is a script to compile.
    EXPECT_FALSE(HandleCommandLine("Debug", debug));
    EXPECT_FALSE(debug);
    EXPECT_TRUE(Logged("INF\tMsgBox\t\tCompiler not found\\r\\n\\r\\nCompiler.exe"));
    // The box keeps to its text; the log says where the compiler was looked for.
    EXPECT_TRUE(Logged("WARN\tExecuteParams\tCompiler not found\t<" + dir.Path("Compiler.exe") + ">"));
}

TEST_F(CompilerRun, AGoodScriptCompilesInTheProgramFolder) {
    InstallCompiler();
    bool debug = false;
    EXPECT_TRUE(HandleCommandLine("  good ", debug));
    EXPECT_TRUE(Logged("INFO\tScript compiled\tgood\r\n"));
    EXPECT_TRUE(fs::exists(dir.HostPath("good.dat")));
    EXPECT_FALSE(Logged("MsgBox"));
}

TEST_F(CompilerRun, AFailedCompileIsReportedAndNeverCountsAsCompiled) {
    InstallCompiler();
    EXPECT_FALSE(ExecuteParams("bad"));
    EXPECT_FALSE(Logged("Script compiled\tbad"));
    EXPECT_TRUE(Logged("WARN\tCompiler exit status\tbad\t1"));
    // What the compiler said is in the log, with the file and line of the fault.
    EXPECT_TRUE(Logged("WARN\tCompiler\tbad\tbad.zs:2:")) << zCore.LogText;
    EXPECT_TRUE(Logged("INF\tMsgBox\t\tCould not compile\\r\\n\\r\\nbad"));
    EXPECT_FALSE(fs::exists(dir.HostPath("bad.dat")));
}

TEST_F(CompilerRun, EveryWordRunsAndOneFailureFailsTheWhole) {
    InstallCompiler();
    // Two runs: the empty word between the two blanks names no script.
    EXPECT_TRUE(ExecuteParams("good  good"));
    EXPECT_EQ(Count("INFO\tScript compiled\tgood"), 2);
    EXPECT_EQ(Count("Could not compile"), 0);
    // A word that starts with "-" is a script name, never an option of the compiler.
    WriteText(dir.HostPath("-dash.zs"), "class Dash {\n}\n");
    EXPECT_FALSE(ExecuteParams("-dash -o"));
    EXPECT_TRUE(fs::exists(dir.HostPath("-dash.dat")));
    EXPECT_TRUE(Logged("Script compiled\t-dash"));
    EXPECT_TRUE(Logged("Could not compile\\r\\n\\r\\n-o"));
    zCore.LogText.clear();
    EXPECT_FALSE(ExecuteParams("bad good"));
    EXPECT_TRUE(Logged("Script compiled\tgood"));
}

TEST_F(CompilerRun, ACompilerOnlyInTheProgramFolderCountsAsMissing) {
    InstallCompiler();
    zun::test::TempDir elsewhere;
    fs::current_path(elsewhere.Host());
    EXPECT_FALSE(ExecuteParams("good"));
    EXPECT_TRUE(Logged("Compiler not found"));
    EXPECT_FALSE(fs::exists(dir.HostPath("good.dat")));
}

TEST_F(CompilerRun, AProgramThatCannotStartIsNoRun) {
    int32_t status = 0;
    EXPECT_FALSE(mShellExecute::ShellExecuteWait(0, dir.HostPath("missing"), "", "", 0, &status));
    EXPECT_FALSE(mShellExecute::ShellExecuteWait(0, "", "", "", 0, &status));
    // A folder that does not exist stops the start as well.
    EXPECT_FALSE(mShellExecute::ShellExecuteWait(0, "/bin/true", "", dir.HostPath("nowhere"), 0, &status));
    EXPECT_TRUE(mShellExecute::ShellExecuteWait(0, "/bin/false", "", dir.Host(), 0, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(mShellExecute::ShellExecuteWait(0, "/bin/true", "", "", 0, &status));
    EXPECT_EQ(status, 0);
}

TEST(ShellOpen, FindsProgramsOnThePath) {
    EXPECT_EQ(mShellExecute::FindOnPath(""), "");
    EXPECT_EQ(mShellExecute::FindOnPath("no-such-program-here"), "");
    EXPECT_FALSE(mShellExecute::FindOnPath("sh").empty());
}

}  // namespace tarv::test
