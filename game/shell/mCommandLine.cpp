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

// The program folder as a host path. Before the framework has started, the
// file system does not know it yet; the executable's own folder is used then.
std::string ProgramFolderHost() {
    if (!zFileSystem.AppPath.empty()) return ToHostPath(zFileSystem.AppPath);
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "";
    return exe.parent_path().string();
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
    if (!FileExists(kCompiler)) {
        ShowMessageBox(std::string("Compiler not found\r\n\r\n") + kCompiler, MsgBoxStyle::Critical);
        return false;
    }
    // The run happens in the program folder, so the compiler that was found
    // here is named by its full path.
    std::error_code ec;
    fs::path compiler = fs::absolute(ToHostPath(kCompiler), ec);
    if (ec) compiler = ToHostPath(kCompiler);
    const std::string folder = ProgramFolderHost();

    bool result = true;
    for (const std::string& word : SplitParams(iParams)) {
        // Two blanks in a row name no script; the compiler would only say so.
        if (word.empty()) continue;
        int32_t status = -1;
        // After "--" the compiler reads every word as a script name, so a
        // name that starts with "-" is never taken for one of its options.
        const bool ran = mShellExecute::ShellExecuteWait(0, compiler.string(), {"--", Cp1252ToUtf8(word)}, folder, 0,
                                                         &status);
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
