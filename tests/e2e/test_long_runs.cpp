// The long runs end at a stop signal as the game does: the level soak
// itself, and the scripts of the soak, the fuzzing and the valgrind replay,
// which pass the signal on to what they started, so that nothing runs on
// after them. Each run is started in a session of its own, so that whatever
// it leaves behind is found and ended by the test.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace zun::test {
namespace {

std::string ReadText(const std::string& iHostPath) {
    std::ifstream f(iHostPath, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The living processes of a session.
std::vector<pid_t> SessionMembers(pid_t iSession) {
    std::vector<pid_t> members;
    DIR* proc = ::opendir("/proc");
    if (!proc) return members;
    while (const dirent* e = ::readdir(proc)) {
        const pid_t pid = pid_t(std::atoi(e->d_name));
        if (pid <= 0) continue;
        // "pid (name) state ppid pgrp session ...": the name may hold anything.
        const std::string stat = ReadText("/proc/" + std::string(e->d_name) + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 1));
        char state = 0;
        long parent = 0, group = 0, session = 0;
        if (fields >> state >> parent >> group >> session && session == iSession && state != 'Z')
            members.push_back(pid);
    }
    ::closedir(proc);
    return members;
}

// Runs argv in a session of its own, in iFolder, with iEnv added to the
// environment and its output in iOut. The pid is the session's id.
pid_t StartInSession(const std::vector<std::string>& iArgv, const std::vector<std::string>& iEnv,
                     const std::string& iFolder, const std::string& iOut) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setsid();
    // As from a terminal: a test run started in the background has SIGINT
    // ignored, and a shell cannot trap a signal ignored when it started.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    FILE* out = std::freopen(iOut.c_str(), "w", stdout);
    if (!out || ::dup2(STDOUT_FILENO, STDERR_FILENO) < 0 || ::chdir(iFolder.c_str()) != 0) _exit(126);
    for (const std::string& v : iEnv) ::putenv(const_cast<char*>(v.c_str()));
    std::vector<char*> argv;
    for (const std::string& a : iArgv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    _exit(127);
}

// Polls until iDone holds, for at most a minute: the bound only keeps a run
// that never gets there from holding the test for ever.
template <class Done>
bool Eventually(Done iDone) {
    for (int i = 0; i < 1200; ++i) {
        if (iDone()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return iDone();
}

// The run's exit status once it has ended, and true when nothing of its
// session is left; what is left is killed.
bool EndsWithItsSession(pid_t iPid, int& oStatus) {
    oStatus = -1;
    const bool ended = Eventually([&] { return ::waitpid(iPid, &oStatus, WNOHANG) == iPid; });
    const bool gone = ended && Eventually([&] { return SessionMembers(iPid).empty(); });
    for (pid_t left : SessionMembers(iPid)) ::kill(left, SIGKILL);
    if (!ended) {
        ::kill(iPid, SIGKILL);
        ::waitpid(iPid, &oStatus, 0);
    }
    return gone;
}

// A stop as a user gives it: Ctrl-C reaches the run's whole process group,
// SIGTERM (or make passing one on) only the run itself.
void Stop(pid_t iPid, int iSignal) { ::kill(iSignal == SIGINT ? -iPid : iPid, iSignal); }

bool ExitedFor(int iStatus, int iSignal) { return WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 128 + iSignal; }

TEST(LongRuns, TheLevelSoakStopsAtASignalAsTheGameDoes) {
    const TempDir dir;
    const std::string bin = ZUN_PROGRAM_DIR, out = dir.HostPath("out.txt");
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        std::filesystem::remove(out);
        const pid_t pid = StartInSession({bin + "soak_levels"},
                                         {"ZUN_HEADLESS=1", "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                          "ZUN_SOAK_LOADS=100000"},
                                         bin, out);
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(Eventually([&] { return ReadText(out).find("soak: started") != std::string::npos; }));
        Stop(pid, sig);
        int status = 0;
        EXPECT_TRUE(EndsWithItsSession(pid, status));
        const std::string log = ReadText(out);
        EXPECT_TRUE(ExitedFor(status, sig)) << status << "\n" << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
        EXPECT_NE(log.find("soak: stopped by signal " + std::to_string(sig)), std::string::npos);
    }
}

TEST(LongRuns, TheLongScriptsPassAStopOnToWhatTheyStarted) {
    const TempDir dir;
    const std::string source = ZUN_SOURCE_DIR, mark = dir.HostPath("started"), out = dir.HostPath("out.txt");
    // Stand-ins for the programs the scripts start: each notes that it
    // started, then runs for long.
    auto standIn = [&](const std::string& iPath) {
        std::filesystem::create_directories(std::filesystem::path(iPath).parent_path());
        const std::string text = "#!/bin/sh\necho started >> '" + mark + "'\nexec sleep 600\n";
        WriteHostFile(iPath, std::vector<uint8_t>(text.begin(), text.end()));
        ASSERT_EQ(::chmod(iPath.c_str(), 0755), 0);
    };
    standIn(dir.HostPath("soak/bin/vorlund"));
    standIn(dir.HostPath("fuzzing/fuzz/fuzz_a"));
    standIn(dir.HostPath("fuzzing/fuzz/fuzz_b"));
    standIn(dir.HostPath("replays/replay_x"));
    struct Run {
        const char* Name;
        std::vector<std::string> Argv, Env;
        size_t Started;  // stand-ins that run at once
    };
    std::vector<Run> runs = {
        {"soak.sh", {"/bin/bash", source + "/scripts/soak.sh"}, {"BUILD=" + dir.HostPath("soak"), "SOAK_FRAMES=1000"}, 1},
        {"fuzz/run.sh", {"/bin/bash", source + "/fuzz/run.sh", dir.HostPath("fuzzing"), "600", "2"}, {}, 2},
    };
    if (std::system("command -v valgrind > /dev/null") == 0)
        runs.push_back({"fuzz/valgrind.sh", {"/bin/bash", source + "/fuzz/valgrind.sh", dir.HostPath("replays"), "x"}, {}, 1});
    for (const Run& run : runs) {
        for (int sig : {SIGTERM, SIGINT}) {
            SCOPED_TRACE(std::string(run.Name) + " " + std::to_string(sig));
            std::filesystem::remove(mark);
            const pid_t pid = StartInSession(run.Argv, run.Env, source, out);
            ASSERT_GT(pid, 0);
            EXPECT_TRUE(Eventually([&] {
                const std::string started = ReadText(mark);
                return size_t(std::count(started.begin(), started.end(), '\n')) >= run.Started;
            })) << ReadText(out);
            Stop(pid, sig);
            int status = 0;
            EXPECT_TRUE(EndsWithItsSession(pid, status)) << "what it started runs on";
            EXPECT_TRUE(ExitedFor(status, sig)) << status << "\n" << ReadText(out);
        }
    }
}

}  // namespace
}  // namespace zun::test
