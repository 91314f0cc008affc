// The program's own wiring with a display: the main window on SDL's offscreen
// driver, full screen through the window system, and the input box a script
// opens.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "MainFormTestSupport.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/gToolWindow.h"
#include "platform/StopSignals.h"
#include "platform/Window.h"
#include "scene/zScriptHook.h"

namespace tarv::test {
namespace {

constexpr const char* kGame = R"(
class Game {
  player = empty;
  exits = 0;
  answer = "none";
  asking = 0;
  func onLoad() { player = new("Hero"); }
  func onUpdate() {
    if (asking == 1) { answer = inputBox("Your name?"); }
  }
  func onExit() { exits = exits + 1; }
}
class Hero { }
)";

class DisplayProgram : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ASSERT_FALSE(IsHeadless()) << "display tests run on SDL_VIDEODRIVER=offscreen";
        ConnectProgram(false);
        std::string error;
        window = Window::Create("Vorlund", 320, 240, &error);
        ASSERT_TRUE(window) << error;
        frmMain.Window = window.get();
    }
    void TearDown() override {
        MainFormTest::TearDown();
        frmMain.Window = nullptr;
        window.reset();
        gSceneScript = SceneScriptHooks{};
        gCoreHooks = CoreHooks{};
        gToolWindows = {};
        gInputBoxHandler = nullptr;
    }
    static int32_t Local(const std::shared_ptr<zScriptObject>& o, const char* name) {
        const zScriptValue* v = o && o->Locals ? o->Locals->GetName(name) : nullptr;
        return v ? v->GetLong() : -1;
    }

    std::unique_ptr<Window> window;
};

// Under a window manager a window moved and sized over the screen by hand
// is cut by the frame it keeps and creeps on every way back.
TEST_F(DisplayProgram, FullScreenIsTheDesktopsOwnAndComesBackWhereItWas) {
    Start(kGame);
    ASSERT_TRUE(window->Visible());
    window->SetPosition(100, 50);
    const DisplayModeInfo screen = DesktopDisplayMode();
    for (int i = 0; i < 3; ++i) {
        frmMain.Form_KeyDown(70, 0);  // F
        frmMain.Form_KeyUp(70, 0);
        EXPECT_TRUE(gCharTest.FullScreen);
        EXPECT_TRUE(window->FullScreen());
        EXPECT_FALSE(window->Bordered());
        int32_t w = 0, h = 0;
        window->ClientSize(w, h);
        EXPECT_EQ(w, screen.Width);
        EXPECT_EQ(h, screen.Height);
        EXPECT_EQ(zDDraw.ViewW, 512);

        frmMain.Form_KeyDown(70, 0);
        frmMain.Form_KeyUp(70, 0);
        EXPECT_FALSE(window->FullScreen());
        EXPECT_TRUE(window->Bordered());
        int32_t x = 0, y = 0;
        window->Position(x, y);
        window->ClientSize(w, h);
        EXPECT_EQ(x, 100);
        EXPECT_EQ(y, 50);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
    }
}

// The box a script waits on gives way to a stop signal, and the frame loop
// ends the program in order: "onExit" runs, no watchdog line, the status a
// shell expects. The program runs in a child process.
TEST_F(DisplayProgram, ASignalWhileTheInputBoxWaitsEndsTheProgramInOrder) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const int out = fds[1];
        auto say = [out](const std::string& s) { [[maybe_unused]] ssize_t n = write(out, s.data(), s.size()); };
        InstallStopSignals([say](int sig) { say("last word " + std::to_string(sig) + ";"); });
        Start(kGame);
        const auto game = gCharTest.GameObject;
        frmMain.ExitProcess = [say, game](int32_t) {
            say("exits " + std::to_string(Local(game, "exits")) + ";");
            _exit(128 + StopSignal());
        };
        game->Locals->SetNameValue("asking", HostValue(1));
        // The signal comes while the box waits for someone to type.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            kill(getpid(), SIGTERM);
        }).detach();
        Frame();
        say("answer '" + game->Locals->GetName("answer")->GetString() + "';");
        frmMain.RunFrameLoop(0, 0);
        say("the loop ended without the exit;");
        _exit(1);
    }
    ASSERT_GT(pid, 0);
    close(fds[1]);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    std::string said;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) said.append(buf, size_t(n));
    close(fds[0]);
    ASSERT_TRUE(WIFEXITED(status)) << said;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM) << said;
    EXPECT_EQ(said, "answer '';exits 1;");
}

}  // namespace
}  // namespace tarv::test
