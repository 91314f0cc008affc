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
#include "platform/Dialogs.h"
#include "platform/StopSignals.h"
#include "platform/Window.h"

using namespace zun;
using namespace tarv;

namespace {

// Without a display nobody can close the window: a headless run stops itself.
constexpr int32_t kHeadlessRunMs = 3000;

// The log's last line when a signal finds the frame stuck. It runs on the
// watchdog's thread while the main thread may be inside a script, so it goes
// straight to stderr and to debug.log as it is open (opening the file again
// could wait for ever) and leaves the log text alone.
void WriteLastWord(int iSignal) {
    LogLastWord("ERR\tfrmMain\tSignal " + std::to_string(iSignal) +
                ": the program did not stop in time, ending it now");
}

}  // namespace

int main(int argc, char** argv) {
    // A process started to show a message box ends in here.
    ServeBoxProcess(argc, argv);
    ConnectProgram();
    const RunSwitches run = ReadRunSwitches();
    ApplyRunSwitches(run);

    // A frame stuck in a script cannot read a quit event: the signals are
    // watched from outside the frame loop.
    InstallStopSignals(WriteLastWord);

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
        // A signal's stop ends with the status a shell expects of it.
        const int sig = StopSignal();
        ExitAfterShutDown(sig ? 128 + sig : iStatus, headless);
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
    if (const int sig = StopSignal()) return 128 + sig;
    return 0;
}
