#include "platform/StopSignals.h"

#include <SDL2/SDL.h>
#include <unistd.h>

#include <cerrno>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

namespace zun {

namespace {

std::atomic<int> gSignal{0};
int gPipe[2] = {-1, -1};
std::mutex gMutex;
std::function<void(int)> gLastWord;
int gGraceMs = 2000;
int gOrderlyLimitMs = 20000;
std::atomic<bool> gOrderly{false};

void OnSignal(int sig) {
    int expected = 0;
    if (!gSignal.compare_exchange_strong(expected, sig)) {
        // A second signal: the user will not wait for the orderly end (an
        // "onExit" that loops holds it for the whole limit), so end now.
        static const char kWord[] = "Second stop signal: ending the program now\n";
        [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kWord, sizeof kWord - 1);
        _exit(128 + sig);
    }
    // Only async-signal-safe work here: the watchdog does the rest.
    const unsigned char b = static_cast<unsigned char>(sig);
    [[maybe_unused]] ssize_t n = write(gPipe[1], &b, 1);
}

void Watchdog() {
    unsigned char b = 0;
    for (;;) {
        const ssize_t n = read(gPipe[0], &b, 1);
        if (n == 1) break;
        if (n < 0 && errno == EINTR) continue;
        return;
    }
    int graceMs = 0, orderlyLimitMs = 0;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        graceMs = gGraceMs;
        orderlyLimitMs = gOrderlyLimitMs;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(graceMs));
    // A shut-down under way is no stuck frame, only a slow one on a busy
    // machine; it gets its time, and only one that hangs is ended.
    for (int waited = 0; gOrderly.load() && waited < orderlyLimitMs; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::function<void(int)> lastWord;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        lastWord = gLastWord;
    }
    const int sig = b;
    if (lastWord) lastWord(sig);
    std::fflush(nullptr);
    _exit(128 + sig);
}

}  // namespace

void InstallStopSignals(std::function<void(int)> iLastWord, int iGraceMs, int iOrderlyLimitMs) {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        gLastWord = std::move(iLastWord);
        gGraceMs = iGraceMs;
        gOrderlyLimitMs = iOrderlyLimitMs;
    }
    if (gPipe[0] >= 0) return;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (pipe(gPipe) != 0) {
        std::perror("stop signals");
        return;
    }
    std::thread(Watchdog).detach();
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

void BeginOrderlyStop() { gOrderly.store(true); }

int StopSignal() { return gSignal.load(std::memory_order_relaxed); }

}  // namespace zun
