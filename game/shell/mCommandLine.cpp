#include "game/shell/mCommandLine.h"

#include <filesystem>
#include <system_error>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zRuntime.h"
#include "game/shell/mShellExecute.h"
#include "platform/Dialogs.h"

using namespace zun;
namespace fs = std::filesystem;

namespace tarv {

namespace {

constexpr const char* kCompiler = "Compiler.exe";

// The program folder the game is played from, as a host path. Before the
// framework has started, it is found as the framework will find it.
std::string ProgramFolderHost() {
    if (!zFileSystem.AppPath.empty()) return ToHostPath(zFileSystem.AppPath);
    return ApplicationFolderHost();
}

// What the compiler said goes to the log, a line an entry: its messages name
// the file and line of each fault, which the box has no room for.
void LogCompilerOutput(const std::string& iWord, const std::string& iOutput) {
    constexpr int kMaxLines = 100;
    int lines = 0;
    size_t start = 0;
    while (start < iOutput.size()) {
        size_t end = iOutput.find('\n', start);
        if (end == std::string::npos) end = iOutput.size();
        std::string line = iOutput.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (++lines > kMaxLines) {
            Log("WARN", "Compiler", iWord, "more lines left out");
            return;
        }
        Log("WARN", "Compiler", iWord, Utf8ToCp1252(line));
    }
}

}  // namespace

std::string CommandLineFromArgs(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (!argv || !argv[i]) continue;
        if (i > 1) line += ' ';
        line += Utf8ToCp1252(argv[i]);
    }
    return line;
}

std::string TrimBlanks(const std::string& iText) {
    size_t b = 0, e = iText.size();
    while (b < e && iText[b] == ' ') ++b;
    while (e > b && iText[e - 1] == ' ') --e;
    return iText.substr(b, e - b);
}

std::vector<std::string> SplitParams(const std::string& iParams) {
    std::vector<std::string> words;
    size_t start = 0;
    for (;;) {
        const size_t blank = iParams.find(' ', start);
        if (blank == std::string::npos) {
            words.push_back(iParams.substr(start));
            return words;
        }
        words.push_back(iParams.substr(start, blank - start));
        start = blank + 1;
    }
}

bool HandleCommandLine(const std::string& iCommandLine, bool& oDebug,
                       const std::function<bool(const std::string&)>& iCompile) {
    if (iCommandLine == "debug") {
        oDebug = true;
        return true;
    }
    if (iCommandLine.empty()) return true;
    return iCompile && iCompile(TrimBlanks(iCommandLine));
}

bool ExecuteParams(const std::string& iParams) {
    // The bare name: the compiler is looked for in the current folder.
    std::error_code ec;
    fs::path compiler = fs::absolute(ToHostPath(kCompiler), ec);
    if (ec) compiler = ToHostPath(kCompiler);
    if (!FileExists(kCompiler)) {
        // The box says what the user asked for; the log also says where it was looked for.
        Log("WARN", "ExecuteParams", "Compiler not found", "<" + FromHostPath(compiler.string()) + ">");
        ShowMessageBox(std::string("Compiler not found\r\n\r\n") + kCompiler, MsgBoxStyle::Critical);
        return false;
    }
    // The run happens in the program folder, so the compiler that was found
    // here is named by its full path.
    const std::string folder = ProgramFolderHost();

    bool result = true;
    for (const std::string& word : SplitParams(iParams)) {
        // Two blanks in a row name no script; the compiler would only say so.
        if (word.empty()) continue;
        int32_t status = -1;
        std::string said;
        // After "--" the compiler reads every word as a script name, so a
        // name that starts with "-" is never taken for one of its options.
        const bool ran = mShellExecute::ShellExecuteWait(0, compiler.string(), {"--", Cp1252ToUtf8(word)},
                                                         folder, 0, &status, &said);
        LogCompilerOutput(word, said);
        if (ran && status == 0) {
            Log("INFO", "Script compiled", word);
            continue;
        }
        // A run that started but failed must not count as compiled: an old
        // compiled file would be loaded as if the new one were there.
        if (ran) Log("WARN", "Compiler exit status", word, status);
        ShowMessageBox("Could not compile\r\n\r\n" + word, MsgBoxStyle::Critical);
        result = false;
    }
    return result;
}

}  // namespace tarv
