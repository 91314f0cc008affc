// The shipped program on a virtual X server, played as a user would play it:
// a tool window opened and closed (the input box a script asks with, the
// console, the settings dialog), then Esc and Yes in the quit question. What
// only X shows (window parents, focus requests, message boxes after a window
// is gone) is tried here, several runs each, since it goes wrong only in some
// of them. The tool windows and the boxes are tried with a window manager on
// the server (one that reparents the windows into frames and answers their
// requests itself) and without one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "XSession.h"
#include "tools/zsc/zscCompiler.h"

namespace tarv::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Vorlund";
constexpr int32_t kWindowMs = 20000;
// Runs per test; ZUN_X11_RUNS=N asks for more when measuring.
int32_t Runs() {
    const char* n = std::getenv("ZUN_X11_RUNS");
    const int v = n ? std::atoi(n) : 0;
    return v > 0 && v <= 1000 ? v : 3;
}

// The game asks twice, a few frames after it starts; what the boxes answered
// and the end of the game go to the log.
constexpr const char* kAskingGame = R"(
class Game {
  player = empty;
  frames = 0;
  func onLoad() { player = new("Hero"); }
  func onUpdate() {
    frames = frames + 1;
    if (frames == 3 || frames == 6) log("answered " + inputBox("Your name?", "Name"));
  }
  func onExit() { log("onExit"); }
}
class Hero { }
class Music { }
)";

constexpr const char* kQuietGame = R"(
class Game {
  player = empty;
  func onLoad() { player = new("Hero"); }
  func onExit() { log("onExit"); }
}
class Hero { }
class Music { }
)";

// Says once that its frames run, so that what comes next meets the frame loop
// and not the start-up.
constexpr const char* kRunningGame = R"(
class Game {
  player = empty;
  said = 0;
  func onLoad() { player = new("Hero"); }
  func onUpdate() {
    if (said == 0) {
      said = 1;
      log("frames run");
    }
  }
  func onExit() { log("onExit"); }
}
class Hero { }
class Music { }
)";

// Every frame's own work takes longer than the frame limiter's 33 ms (and
// far longer than the timer's 15 ms), so a frame is always due. The script
// counts for longer until its frames take a tenth of a second on this
// machine and in this build, and says so after three such frames in a row
// (one frame held up by a busy machine is not enough).
constexpr const char* kLateGame = R"(
class Game {
  player = empty;
  spin = 100000;
  last = 0;
  slow = 0;
  func onLoad() { player = new("Hero"); }
  func onUpdate() {
    if (last > 0) {
      if (_ticks - last < 100) {
        spin = spin * 2;
        slow = 0;
      } else {
        slow = slow + 1;
        if (slow == 3) log("late frames run");
      }
    }
    last = _ticks;
    n = 0;
    for (i = 0; i < spin; i++) n = n + i;
  }
  func onExit() { log("onExit"); }
}
class Hero {
  func MouseDown(x, y, button) {
    log("clicked " + button);
    return true;
  }
}
class Music { }
)";

// Esc is held until the quit question shows: the game looks at it once a
// frame, and a frame may take longer than a keystroke. The question's
// window, 0 when none showed.
XWindowId AskToQuit(XUser& u, XWindowId iMain) {
    u.SendKey(iMain, "Escape", true);
    const XWindowId question = u.WaitForWindow(kTitle, kWindowMs, {iMain});
    u.SendKey(iMain, "Escape", false);
    return question;
}

// What a user does between the start and the quit question; false, with
// where it stopped, when a window did not come or go.
using Play = std::function<bool(XUser&, XWindowId iMain, std::string& oWhere)>;

class ProgramOnX : public ::testing::Test {
protected:
    VirtualXServer server;
    XUser user;
    fs::path folder;
    pid_t pid = 0;
    int status = 0;
    bool ended = false;

    virtual bool UnderAWindowManager() const { return false; }

    void SetUp() override {
        if (VirtualXServer::Program().empty())
            GTEST_SKIP() << "Xvfb is not installed (scripts/setup.sh installs it): the X tests do not run";
        if (UnderAWindowManager() && VirtualXServer::WindowManagerProgram().empty())
            GTEST_SKIP() << "openbox is not installed (scripts/setup.sh installs it): the X tests under a window "
                            "manager do not run";
        std::string why;
        ASSERT_TRUE(server.Start(why)) << why;
        if (UnderAWindowManager()) {
            ASSERT_TRUE(server.StartWindowManager(why)) << why;
        }
        ASSERT_TRUE(user.Connect(server.Display(), why)) << why;
    }

    void TearDown() override {
        if (pid > 0 && !ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }

    // A program folder of its own: the built program and its content, with
    // the game script of the test in place of the demo's.
    void MakeProgramFolder(const std::string& iGame) {
        const fs::path built = ZUN_PROGRAM_DIR;
        folder = fs::current_path() / ("x11-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::error_code ec;
        fs::remove_all(folder, ec);
        ASSERT_TRUE(fs::create_directories(folder / "scripts", ec)) << ec.message();
        for (const auto& entry : fs::directory_iterator(built)) {
            const std::string name = entry.path().filename().string();
            if (name == "scripts" || name == "vorlund" || name == "debug.log") continue;
            // Hard links: the program reads no file through a link out of
            // its folder.
            fs::copy(entry.path(), folder / name,
                     fs::copy_options::recursive | fs::copy_options::create_hard_links, ec);
            ASSERT_FALSE(ec) << name << ": " << ec.message();
        }
        // The program finds its folder through its own file: a link would
        // lead back to the built one.
        fs::create_hard_link(built / "vorlund", folder / "vorlund", ec);
        if (ec) fs::copy_file(built / "vorlund", folder / "vorlund", ec);
        ASSERT_FALSE(ec) << ec.message();
        auto r = zun::zsc::CompileText(iGame, "Game.zs");
        ASSERT_TRUE(r.Ok) << r.Diag.FormatAll();
        ASSERT_EQ(zun::zsc::WriteScriptFile(r.Classes, (folder / "scripts" / "Game.dat").string(), false),
                  "");
    }

    fs::path LogFile() const { return folder / "run.log"; }

    // Starts the program on the test's server, its output into the log;
    // iDisplay names another display.
    void Launch(const std::string& iDisplay = "") {
        ended = false;
        status = 0;
        const fs::path logFile = LogFile();
        const std::string display = iDisplay.empty() ? server.Display() : iDisplay;
        pid = fork();
        if (pid != 0) return;
        const int out = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        if (chdir(folder.c_str()) != 0) _exit(126);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("ZUN_HEADLESS", "0", 1);
        // The driver is the program's choice, as on a desktop.
        unsetenv("SDL_VIDEODRIVER");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("WAYLAND_DISPLAY");
        // A sanitizer build's leak report would change the exit status
        // these tests read; leaks are the other tests' business.
        const char* asan = std::getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS",
               (std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0").c_str(), 1);
        execl((folder / "vorlund").c_str(), "vorlund", static_cast<char*>(nullptr));
        _exit(127);
    }

    // Starts the program on the test's server and waits for its main window;
    // 0 when none showed.
    XWindowId LaunchShown() {
        Launch();
        user.Alive = [this] { return Alive(); };
        return user.WaitForWindow(kTitle, kWindowMs);
    }

    bool Alive() {
        ended = ended || (pid > 0 && waitpid(pid, &status, WNOHANG) == pid);
        return pid > 0 && !ended;
    }

    // True once the program ended, false when it still runs after iMs.
    bool WaitForEnd(int32_t iMs) {
        for (int32_t waited = 0; waited < iMs && Alive(); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !Alive();
    }

    std::string Log() const {
        std::ifstream in(LogFile());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The end of the log, for a failure's message.
    std::string LogTail() const {
        std::string log = Log();
        if (log.size() > 4000) log = "..." + log.substr(log.size() - 4000);
        return "\n--- its log ---\n" + log;
    }

    // Waits for the program's own word; false when it ended or did not say
    // it in time.
    bool WaitForLog(const std::string& iText, int32_t iMs = kWindowMs) {
        for (int32_t waited = 0; waited < iMs; waited += 20) {
            if (Log().find(iText) != std::string::npos) return true;
            if (!Alive()) return Log().find(iText) != std::string::npos;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Processes still running the test's copy of the program (a box's own
    // process is one of them).
    int32_t ProgramProcesses() const {
        std::error_code ec;
        const fs::path program = fs::canonical(folder / "vorlund", ec);
        int32_t n = 0;
        for (const auto& entry : fs::directory_iterator("/proc", ec)) {
            std::error_code linkError;
            const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
            if (!linkError && exe == program) ++n;
        }
        return n;
    }

    // One run of the program: `iPlay`, then Esc and Yes. "" when the program
    // ended in order, else what went wrong with the end of its log.
    std::string RunOnce(const Play& iPlay) {
        const XWindowId main = LaunchShown();
        if (pid < 0) return "no process";
        std::string where;
        bool played = main != 0;
        if (!played) where = "the main window did not show";
        if (played) played = iPlay(user, main, where);
        XWindowId question = 0;
        if (played) {
            question = AskToQuit(user, main);
            if (!question) where = "no quit question after Esc; shown: " + user.ShownWindows();
        }
        if (question) user.PressKey(question, "Return");

        const bool endedItself = WaitForEnd(10000);
        user.Alive = nullptr;
        if (!endedItself) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ended = true;
        }
        const std::string log = Log();
        std::string fault;
        if (!endedItself)
            fault = where.empty() ? "the program did not end after Yes" : where;
        else if (WIFSIGNALED(status))
            fault = "the program died of signal " + std::to_string(WTERMSIG(status));
        else if (WEXITSTATUS(status) != 0)
            fault = "the program ended with status " + std::to_string(WEXITSTATUS(status));
        else if (log.find("onExit") == std::string::npos)
            fault = "the game's onExit did not run";
        // Every run tears a window down under the program's requests.
        else if (log.find("WARN\tX11\t") == std::string::npos)
            fault = "no X error was logged as a warning";
        // Waiting for events sends no wake-up through a tool window, which
        // the server may have torn down by the time the wake-up comes.
        else if (log.find("request 25.") != std::string::npos)
            fault = "a wake-up was sent to a window that was gone";
        else if (!where.empty())
            fault = where;
        if (!fault.empty() && !where.empty() && fault != where) fault += " (" + where + ")";
        return fault.empty() ? "" : fault + LogTail();
    }

    // Every run must end in order; the failures are told with their count.
    void RunSeveral(const Play& iPlay) {
        const int32_t runs = Runs();
        int32_t failed = 0;
        std::string first;
        for (int32_t i = 0; i < runs; ++i) {
            const std::string fault = RunOnce(iPlay);
            if (fault.empty()) continue;
            if (std::getenv("ZUN_X11_RUNS"))
                std::printf("run %d: %s\n", int(i), fault.substr(0, fault.find('\n')).c_str());
            if (!failed) first = fault;
            ++failed;
        }
        EXPECT_EQ(failed, 0) << failed << " of " << runs << " runs did not end in order; the first:\n"
                             << first;
    }

    // Kilobytes of the program's written memory that it shares with other
    // processes, and that it has to itself; -1 when they cannot be read.
    void WrittenMemory(int64_t& oShared, int64_t& oOwn) const {
        oShared = oOwn = -1;
        std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string key;
            int64_t kb = 0;
            if (!(fields >> key >> kb)) continue;
            if (key == "Shared_Dirty:") oShared = kb;
            if (key == "Private_Dirty:") oOwn = kb;
        }
    }

    // The program started on `iGame`, a box opened by `iOpen` (the window it
    // opened, 0 when none showed), then the stop signal: "" when the program
    // ended in order (the game's "onExit", the signal's status, no watchdog
    // line) and left nothing behind, neither a process nor a window; else
    // what went wrong with the end of its log.
    using OpenBox = std::function<XWindowId(XUser&, XWindowId iMain)>;
    std::string StopWithABoxOpen(const std::string& iGame, const OpenBox& iOpen, int iSignal) {
        MakeProgramFolder(iGame);
        // The window manager's own.
        const std::string before = user.ShownWindows();
        const XWindowId main = LaunchShown();
        if (!main) return "the main window did not show" + LogTail();
        const XWindowId box = iOpen(user, main);
        if (!box) return "the box did not show; shown: " + user.ShownWindows() + LogTail();
        // Nothing else holds what the game wrote: a copy of the game showing
        // the box would make every page the game writes while the box shows,
        // and on its way to the end, a copy of its own, and the end slow.
        int64_t shared = 0, own = 0;
        WrittenMemory(shared, own);
        std::string fault;
        if (shared < 0 || own < 0) fault = "the program's memory could not be read";
        else if (shared * 4 > own)
            fault = "the game shares " + std::to_string(shared) + " kB it wrote with another process (" +
                    std::to_string(own) + " kB its own) while the box is open";

        kill(pid, iSignal);
        const bool stopped = WaitForEnd(kWindowMs);
        user.Alive = nullptr;
        const std::string log = Log();
        if (!fault.empty()) {
        } else if (!stopped) {
            fault = "the program did not end on the signal";
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 128 + iSignal) {
            fault = "status " + std::to_string(status);
        } else if (log.find("onExit") == std::string::npos) {
            fault = "the game's onExit did not run";
        } else if (log.find("did not stop in time") != std::string::npos) {
            fault = "the watchdog ended the program";
        } else {
            // A process's windows go when its last connection closes.
            std::string shown;
            int32_t left = 0;
            for (int i = 0; i < 500; ++i) {
                left = ProgramProcesses();
                shown = user.ShownWindows();
                if (left == 0 && shown == before) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (left != 0) fault = std::to_string(left) + " processes of the program outlived it";
            else if (shown != before) fault = "windows of the program outlived it: " + shown;
        }
        if (!stopped) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ended = true;
        }
        return fault.empty() ? "" : fault + LogTail();
    }

    // Both stop signals, each on a run of its own.
    void StopWithABoxOpenBothWays(const std::string& iGame, const OpenBox& iOpen) {
        for (const int sig : {SIGTERM, SIGINT})
            EXPECT_EQ(StopWithABoxOpen(iGame, iOpen, sig), "") << "signal " << sig;
    }
};

// The tool windows and the boxes, with a window manager and without one.
class QuitOnX : public ProgramOnX, public ::testing::WithParamInterface<bool> {
protected:
    bool UnderAWindowManager() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(WindowManager, QuitOnX, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                             return i.param ? "UnderOne" : "WithoutOne";
                         });

// Each tool window is closed twice in a run: as a user closes it, and once
// more with its window torn down outside the program as it closes, so that
// what the program still asks of that window fails on the server.

TEST_P(QuitOnX, QuitAfterTheInputBoxEndsInOrder) {
    MakeProgramFolder(kAskingGame);
    RunSeveral([](XUser& u, XWindowId, std::string& where) {
        for (bool goes : {false, true}) {
            const XWindowId box = u.WaitForWindow("Name", kWindowMs);
            if (!box) return where = "the input box did not show", false;
            u.PressKey(box, "Return", goes);
            if (!u.WaitUntilGone(box, kWindowMs))
                return where = "the input box did not close on Enter", false;
        }
        return true;
    });
}

TEST_P(QuitOnX, QuitAfterTheConsoleEndsInOrder) {
    MakeProgramFolder(kQuietGame);
    RunSeveral([](XUser& u, XWindowId main, std::string& where) {
        for (bool goes : {false, true}) {
            u.PressKey(main, "F10");
            const XWindowId console = u.WaitForWindow("Console", kWindowMs);
            if (!console) return where = "F10 showed no console", false;
            u.PressKey(console, "F10", goes);
            if (!u.WaitUntilGone(console, kWindowMs))
                return where = "the console did not close on F10", false;
        }
        return true;
    });
}

TEST_P(QuitOnX, QuitAfterTheSettingsDialogEndsInOrder) {
    MakeProgramFolder(kQuietGame);
    RunSeveral([](XUser& u, XWindowId main, std::string& where) {
        for (bool goes : {false, true}) {
            u.PressKey(main, "F1");
            const XWindowId settings = u.WaitForWindow("Demo Settings", kWindowMs);
            if (!settings) return where = "F1 showed no settings dialog", false;
            u.AskToClose(settings, goes);
            if (!u.WaitUntilGone(settings, kWindowMs))
                return where = "the settings dialog did not close", false;
        }
        return true;
    });
}

// A tool window destroyed by another client while the game waits on it ends
// as if its close box was used, and the game goes on: the next box, or the
// same window opened again, shows. Under a window manager the game must not
// wait for the server's word that the window it closes is hidden: about a
// window that is gone none comes.

TEST_P(QuitOnX, AnInputBoxTakenAwayEndsAsCancelledAndTheGameGoesOn) {
    MakeProgramFolder(kAskingGame);
    RunSeveral([](XUser& u, XWindowId, std::string& where) {
        const XWindowId box = u.WaitForWindow("Name", kWindowMs);
        if (!box) return where = "the input box did not show", false;
        u.TakeAway(box);
        const XWindowId next = u.WaitForWindow("Name", kWindowMs, {box});
        if (!next) return where = "the game stayed in the box taken away; shown: " + u.ShownWindows(), false;
        u.PressKey(next, "Return");
        if (!u.WaitUntilGone(next, kWindowMs)) return where = "the second box did not close on Enter", false;
        return true;
    });
}

// `iKey` on the main window shows the tool window `iTitle`, which is taken
// away; the key shows it again, and `iClose` closes that one.
Play TakenAwayAndOpenedAgain(const std::string& iKey, const std::string& iTitle,
                             const std::function<void(XUser&, XWindowId)>& iClose) {
    return [=](XUser& u, XWindowId main, std::string& where) {
        u.PressKey(main, iKey);
        const XWindowId first = u.WaitForWindow(iTitle, kWindowMs);
        if (!first) return where = iKey + " showed no " + iTitle, false;
        u.TakeAway(first);
        u.PressKey(main, iKey);
        const XWindowId again = u.WaitForWindow(iTitle, kWindowMs, {first});
        if (!again) return where = iKey + " showed no " + iTitle + " after one was taken away", false;
        iClose(u, again);
        if (!u.WaitUntilGone(again, kWindowMs)) return where = iTitle + " did not close", false;
        return true;
    };
}

TEST_P(QuitOnX, ASettingsDialogTakenAwayIsClosedAndOpensAgain) {
    MakeProgramFolder(kQuietGame);
    const auto close = [](XUser& u, XWindowId w) { u.AskToClose(w); };
    RunSeveral(TakenAwayAndOpenedAgain("F1", "Demo Settings", close));
}

TEST_P(QuitOnX, AConsoleTakenAwayIsClosedAndOpensAgain) {
    MakeProgramFolder(kQuietGame);
    const auto close = [](XUser& u, XWindowId w) { u.PressKey(w, "F10"); };
    RunSeveral(TakenAwayAndOpenedAgain("F10", "Console", close));
}

// However long frames take, what the player does acts: every waiting window
// event is handled before the next frame.
TEST_P(QuitOnX, KeysAClickAndTheCloseRequestActWhileFramesRunLate) {
    MakeProgramFolder(kLateGame);
    const XWindowId main = LaunchShown();
    ASSERT_NE(main, 0u) << "the main window did not show" << LogTail();
    ASSERT_TRUE(WaitForLog("late frames run")) << LogTail();

    user.Click(main, 100, 100);
    EXPECT_TRUE(WaitForLog("clicked 1")) << "the click did not act" << LogTail();
    user.PressKey(main, "F1");
    const XWindowId settings = user.WaitForWindow("Demo Settings", kWindowMs);
    EXPECT_NE(settings, 0u) << "F1 showed no settings dialog" << LogTail();
    if (settings) {
        user.AskToClose(settings);
        EXPECT_TRUE(user.WaitUntilGone(settings, kWindowMs)) << "the settings dialog did not close"
                                                             << LogTail();
    }
    user.PressKey(main, "F10");
    const XWindowId console = user.WaitForWindow("Console", kWindowMs);
    EXPECT_NE(console, 0u) << "F10 showed no console" << LogTail();
    if (console) {
        user.PressKey(console, "F10");
        EXPECT_TRUE(user.WaitUntilGone(console, kWindowMs)) << "the console did not close on F10"
                                                            << LogTail();
    }
    user.AskToClose(main);
    const bool closed = WaitForEnd(kWindowMs);
    user.Alive = nullptr;
    ASSERT_TRUE(closed) << "the close request did not end the program" << LogTail();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << LogTail();
    EXPECT_NE(Log().find("onExit"), std::string::npos) << LogTail();
}

// A stop signal, SIGTERM or SIGINT, with any box open closes the box and ends
// the program in order; nothing of it stays behind, neither the box's own
// process nor a window.

TEST_P(QuitOnX, AStopSignalWhileTheQuitQuestionIsOpenEndsTheProgramInOrder) {
    StopWithABoxOpenBothWays(kQuietGame, AskToQuit);
}

// A game whose frames take a while, as on a machine busy with other programs:
// its update objects share the work, each call far from a call's bound of
// steps, and count for longer until a frame takes longer than the watchdog
// gives a stuck frame. Then the game opens a box once (`BOX` stands for it).
// After the box, the rest of that frame runs before the frame loop can end
// the program: the program's end must wait for it, not take it for a frame
// stuck for good.
std::string SlowGameWithABox(const std::string& iBox) {
    std::string game = R"(
class Game {
  player = empty;
  last = 0;
  asked = 0;
  func onLoad() {
    player = new("Hero");
    for (i = 0; i < 16; i++) addUpdateObject(new("Worker"));
  }
  func onUpdate() {
    slow = last > 0 && _ticks - last >= 2500;
    last = _ticks;
    if (slow && asked == 0) {
      asked = 1;
      BOX;
    }
  }
  func onExit() { log("onExit"); }
}
class Worker {
  spin = 1000;
  last = 0;
  func onUpdate() {
    if (last > 0 && _ticks - last < 2500) spin = spin * 2;
    last = _ticks;
    n = 0;
    for (i = 0; i < spin; i++) n = n + i;
  }
}
class Hero { }
class Music { }
)";
    game.replace(game.find("BOX"), 3, iBox);
    return game;
}

TEST_P(QuitOnX, AStopSignalWhileAScriptsMessageBoxIsOpenEndsTheProgramInOrder) {
    StopWithABoxOpenBothWays(SlowGameWithABox("msgBox(\"Saved?\", true)"), [](XUser& u, XWindowId main) {
        return u.WaitForWindow(kTitle, kWindowMs, {main});
    });
}

// The box an error opens: a script asks for a picture that is not there.
TEST_P(QuitOnX, AStopSignalWhileAnErrorBoxIsOpenEndsTheProgramInOrder) {
    StopWithABoxOpenBothWays(SlowGameWithABox("loadImage(\"missing.png\", true, -1)"),
                             [](XUser& u, XWindowId main) { return u.WaitForWindow(kTitle, kWindowMs, {main}); });
}

TEST_P(QuitOnX, AStopSignalWhileTheInputBoxIsOpenEndsTheProgramInOrder) {
    StopWithABoxOpenBothWays(SlowGameWithABox("inputBox(\"Your name?\", \"Name\")"),
                             [](XUser& u, XWindowId) { return u.WaitForWindow("Name", kWindowMs); });
}

TEST_P(QuitOnX, AStopSignalWhileTheSettingsDialogIsOpenEndsTheProgramInOrder) {
    StopWithABoxOpenBothWays(kQuietGame, [](XUser& u, XWindowId main) {
        u.PressKey(main, "F1");
        return u.WaitForWindow("Demo Settings", kWindowMs);
    });
}

TEST_P(QuitOnX, AStopSignalWhileTheConsoleIsOpenEndsTheProgramInOrder) {
    StopWithABoxOpenBothWays(kQuietGame, [](XUser& u, XWindowId main) {
        u.PressKey(main, "F10");
        return u.WaitForWindow("Console", kWindowMs);
    });
}

// A display number nobody serves: the program says which display it could
// not open and runs as without a display, for a few seconds.
TEST_F(ProgramOnX, ADisplayWithNoServerRunsWithoutOneForAWhileAndSaysSo) {
    MakeProgramFolder(kQuietGame);
    int number = 400 + int(getpid() % 400);
    while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
           fs::exists("/tmp/.X" + std::to_string(number) + "-lock"))
        ++number;
    const std::string display = ":" + std::to_string(number);
    Launch(display);
    ASSERT_TRUE(WaitForEnd(60000)) << "the program still runs unseen" << LogTail();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << LogTail();
    const std::string log = Log();
    EXPECT_NE(log.find("The display " + display + " could not be opened"), std::string::npos) << LogTail();
    EXPECT_NE(log.find("without a display"), std::string::npos) << LogTail();
}

// The server under a running game goes away: the game ends in order with an
// error that names the display.
TEST_F(ProgramOnX, AServerThatGoesAwayEndsTheGameInOrderNamingTheDisplay) {
    MakeProgramFolder(kRunningGame);
    const XWindowId main = LaunchShown();
    user.Alive = nullptr;
    ASSERT_NE(main, 0u) << "the main window did not show" << LogTail();
    ASSERT_TRUE(WaitForLog("frames run")) << LogTail();
    const std::string display = server.Display();
    server.Stop();
    ASSERT_TRUE(WaitForEnd(kWindowMs)) << "the program still runs without its display" << LogTail();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status << LogTail();
    const std::string log = Log();
    EXPECT_NE(log.find("The display " + display + " went away"), std::string::npos) << LogTail();
    EXPECT_NE(log.find("onExit"), std::string::npos) << LogTail();
}

}  // namespace
}  // namespace tarv::test
