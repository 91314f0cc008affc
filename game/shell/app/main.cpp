// The program: makes the main window, connects the shell's modules and the
// game's script functions, and hands over to the window's load event and its
// frame loop. Closing the window ends the program.
#include <cstdio>
#include <memory>
#include <string>

#include "core/zCore.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/frmMain.h"
#include "game/shell/mCommandLine.h"
#include "platform/Window.h"

using namespace zun;
using namespace tarv;

namespace {

// Without a display nobody can close the window: a headless run stops itself.
constexpr int32_t kHeadlessRunMs = 3000;

}  // namespace

int main(int argc, char** argv) {
    ConnectProgram();
    const RunSwitches run = ReadRunSwitches();
    ApplyRunSwitches(run);

    std::string error;
    std::unique_ptr<Window> window = Window::Create("Vorlund", 640, 480, &error);
    // No window at all still runs the game, drawing offscreen.
    if (!window) std::fprintf(stderr, "No window: %s\n", error.c_str());
    const bool headless = !window || window->Headless();
    frmMain.Window = window.get();
    // Quitting from anywhere, even from inside a frame, ends the process.
    frmMain.ExitProcess = [&window, headless](int32_t iStatus) {
        frmMain.Window = nullptr;
        window.reset();
        ExitAfterShutDown(iStatus, headless);
    };

    if (!frmMain.Form_Load(CommandLineFromArgs(argc, argv))) {
        window.reset();
        return 1;
    }
    if (frmMain.Running && headless) frmMain.RunFrameLoop(run.Frames > 0 ? 0 : kHeadlessRunMs, run.Frames);
    else if (frmMain.Running) frmMain.RunFrameLoop();
    else if (!frmMain.Closed) frmMain.Form_Unload();

    const int32_t frames = zCore.FrameCounter;
    frmMain.Window = nullptr;
    window.reset();
    if (headless) std::printf("Ran %d frames without a display and shut down.\n", int(frames));
    return 0;
}
