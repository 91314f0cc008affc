#include "game/shell/mShellExecute.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// Reads a pipe to its end, keeping at most kMaxOutput bytes: a child that
// writes more is still read to the end, so it never blocks on a full pipe.
void ReadAll(int fd, std::string& out) {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        if (out.size() < kMaxOutput) out.append(buf, std::min(size_t(n), kMaxOutput - out.size()));
    }
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
                      const std::string& Folder, int32_t /*ShowCmd*/, int32_t* oExitCode,
                      std::string* oOutput) {
    if (oExitCode) *oExitCode = -1;
    if (oOutput) oOutput->clear();
    if (File.empty()) return false;
    std::vector<std::string> args{File};
    args.insert(args.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The pipe's ends are closed in the child by exec; the copies on its
    // output and error output stay open.
    int pipeFds[2] = {-1, -1};
    if (oOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    auto closePipe = [&pipeFds] {
        for (int& fd : pipeFds) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    };
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        closePipe();
        return false;
    }
    bool ready = Folder.empty() || posix_spawn_file_actions_addchdir_np(&actions, Folder.c_str()) == 0;
    if (ready && oOutput)
        ready = posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO) == 0 &&
                posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO) == 0;
    pid_t pid = 0;
    const int rc = ready ? posix_spawn(&pid, File.c_str(), &actions, nullptr, argv.data(), environ) : -1;
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        closePipe();
        if (rc > 0) zun::Log("WARN", "ShellExecuteWait", File, std::strerror(rc));
        return false;
    }
    if (oOutput) {
        ::close(pipeFds[1]);
        pipeFds[1] = -1;
        ReadAll(pipeFds[0], *oOutput);
        closePipe();
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
