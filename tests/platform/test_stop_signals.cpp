// SIGTERM and SIGINT end the program whether or not its main thread comes
// back to the frame loop. Each case runs in a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/StopSignals.h"

namespace zun {
namespace {

// Waits for the child to end; a child that never ends is killed, so a lost
// signal fails the test instead of hanging it.
int WaitStatus(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return status;
}

// The child's end of the pipe, for what its body has to say.
int gChildOut = -1;

void Say(const std::string& iWord) {
    [[maybe_unused]] ssize_t n = write(gChildOut, iWord.data(), iWord.size());
}

// The child reports through a pipe that it is ready and, from its last word,
// which signal stopped it.
struct Child {
    int fds[2] = {-1, -1};
    pid_t pid = -1;

    template <class Body>
    explicit Child(Body body) {
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int out = fds[1];
            gChildOut = out;
            InstallStopSignals(
                [out](int sig) {
                    const std::string word = "last word " + std::to_string(sig);
                    [[maybe_unused]] ssize_t n = write(out, word.data(), word.size());
                },
                100);
            [[maybe_unused]] ssize_t n = write(out, "R", 1);
            body();
            _exit(0);
        }
        close(fds[1]);
        char c = 0;
        [[maybe_unused]] ssize_t n = read(fds[0], &c, 1);
    }
    // Waits for the child to say exactly `iWord`; false when it ended first.
    bool Heard(const std::string& iWord) {
        std::string heard;
        char c = 0;
        while (heard.size() < iWord.size() && read(fds[0], &c, 1) == 1) heard += c;
        return heard == iWord;
    }
    std::string Rest() {
        std::string s;
        char buf[64];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) s.append(buf, size_t(n));
        close(fds[0]);
        return s;
    }
};

TEST(StopSignals, EndAStuckMainThreadAndLeaveALoopThatListensToEndInOrderHoweverLong) {
    // Stuck: nothing ever looks at the request, as in an endless script loop.
    Child stuck([] {
        volatile int i = 0;
        for (;;) i = i + 1;
    });
    ASSERT_GT(stuck.pid, 0);
    kill(stuck.pid, SIGTERM);
    int status = WaitStatus(stuck.pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_EQ(stuck.Rest(), "last word " + std::to_string(SIGTERM));

    // Listening: the loop sees the request and ends by itself before the watchdog.
    Child listening([] {
        while (StopSignal() != SIGINT) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        _exit(7);
    });
    ASSERT_GT(listening.pid, 0);
    kill(listening.pid, SIGINT);
    status = WaitStatus(listening.pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
    EXPECT_EQ(listening.Rest(), "");

    // Listening, and its shut-down outlasts the grace time (a busy machine):
    // no last word, and the shut-down ends the process itself.
    Child slow([] {
        while (!StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        BeginOrderlyStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        _exit(9);
    });
    ASSERT_GT(slow.pid, 0);
    kill(slow.pid, SIGINT);
    status = WaitStatus(slow.pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 9);
    EXPECT_EQ(slow.Rest(), "");
}

// A shut-down that hangs (an "onExit" that loops) would hold the exit for the
// whole orderly limit; a second signal ends the process at once.
TEST(StopSignals, ASecondSignalEndsAHangingShutDownAtOnce) {
    Child hanging([] {
        while (!StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        BeginOrderlyStop();
        Say("stopping");
        for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    ASSERT_GT(hanging.pid, 0);
    kill(hanging.pid, SIGTERM);
    // The second signal only once the first was seen: sent together to a
    // child that the machine holds up, they would be one stop, not two.
    ASSERT_TRUE(hanging.Heard("stopping"));
    kill(hanging.pid, SIGINT);
    // Ten seconds at most (then WaitStatus kills it), half the orderly limit.
    const int status = WaitStatus(hanging.pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
    EXPECT_EQ(hanging.Rest(), "");
}

}  // namespace
}  // namespace zun
