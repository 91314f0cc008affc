#include "game/shell/mShellExecute.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/zCore.h"

extern char** environ;

namespace tarv::mShellExecute {

namespace {

bool IsExecutable(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Waits for a child, through interrupted waits.
bool WaitFor(pid_t pid, int& status) {
    for (;;) {
        if (::waitpid(pid, &status, 0) == pid) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

bool ShellExecuteWait(int32_t hWnd, const std::string& File, const std::string& Parameters,
                      const std::string& Folder, int32_t ShowCmd, int32_t* oExitCode) {
    std::vector<std::string> arguments;
    if (!Parameters.empty()) arguments.push_back(Parameters);
    return ShellExecuteWait(hWnd, File, arguments, Folder, ShowCmd, oExitCode);
}

bool ShellExecuteWait(int32_t /*hWnd*/, const std::string& File, const std::vector<std::string>& Arguments,
                      const std::string& Folder, int32_t /*ShowCmd*/, int32_t* oExitCode) {
    if (oExitCode) *oExitCode = -1;
    if (File.empty()) return false;
    std::vector<std::string> args{File};
    args.insert(args.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    if (!Folder.empty() && posix_spawn_file_actions_addchdir_np(&actions, Folder.c_str()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, File.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        zun::Log("WARN", "ShellExecuteWait", File, std::strerror(rc));
        return false;
    }
    int status = 0;
    if (!WaitFor(pid, status)) return false;
    if (oExitCode) {
        if (WIFEXITED(status)) *oExitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status)) *oExitCode = 128 + WTERMSIG(status);
    }
    return true;
}

std::string FindOnPath(const std::string& Name) {
    if (Name.empty()) return "";
    if (Name.find('/') != std::string::npos) return IsExecutable(Name) ? Name : "";
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        std::string dir = dirs.substr(start, colon - start);
        if (dir.empty()) dir.push_back('.');
        const std::string candidate = dir + "/" + Name;
        if (IsExecutable(candidate)) return candidate;
        start = colon + 1;
    }
    return "";
}

bool ShellOpen(const std::string& Target) {
    const std::string opener = FindOnPath("xdg-open");
    if (opener.empty()) {
        zun::Log("WARN", "ShellOpen", "xdg-open not found", Target);
        return false;
    }
    // Everything the children need is made before forking: between fork and
    // exec only async-signal-safe calls run.
    std::string file = opener, target = Target;
    char* argv[] = {file.data(), target.data(), nullptr};
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        // The middle child leaves at once, so the opener is not ours to reap
        // and a browser that stays open does not hold the game.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::execv(argv[0], argv);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    if (!WaitFor(child, status)) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tarv::mShellExecute
