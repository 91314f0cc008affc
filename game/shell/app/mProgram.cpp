#include "game/shell/app/mProgram.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zHostFile.h"
#include "game/scriptapi/gScript.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/shell/mShellWindows.h"
#include "platform/EventSource.h"
#include "scene/zScriptHook.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

std::unique_ptr<EventSource> MakeSoakRun();

namespace {

int32_t EnvNumber(const char* iName) {
    const char* v = std::getenv(iName);
    if (!v || !*v) return 0;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (*end || n < 0 || n > INT32_MAX) {
        std::fprintf(stderr, "%s: not a number of frames: %s\n", iName, v);
        return 0;
    }
    return int32_t(n);
}

bool EnvSwitch(const char* iName) {
    const char* v = std::getenv(iName);
    return v && *v && std::string(v) != "0";
}

}  // namespace

void ConnectProgram(bool iMirrorLogToStderr) {
    // An error a script makes every frame is one line a frame, not thousands.
    zCore.CountRepeats = true;
    gShellParts.RenderGamePre = RenderGamePre;
    gShellParts.RenderGame = RenderGame;
    // The compiler, settings, console and settings windows, and the log hook
    // (which also mirrors the log to stderr).
    InstallShellWindows(iMirrorLogToStderr);
    RegisterGameFunctions();
    // The items hold their script object while it runs.
    gSceneScript.Execute = [](zScriptObject& iObject, const std::string& iEvent) { iObject.Execute(iEvent); };
}

RunSwitches ReadRunSwitches() {
    RunSwitches s;
    s.Frames = EnvNumber("ZUN_FRAMES");
    s.VirtualClock = EnvSwitch("ZUN_VIRTUAL_CLOCK");
    s.Soak = EnvSwitch("ZUN_SOAK");
    return s;
}

void ApplyRunSwitches(const RunSwitches& iSwitches) {
    if (iSwitches.VirtualClock) frmMain.UseVirtualClock();
    if (iSwitches.Soak) {
        static std::unique_ptr<EventSource> soak;
        soak = MakeSoakRun();
        frmMain.Events = soak.get();
    }
}

void ExitAfterShutDown(int32_t iStatus, bool iHeadless) {
    if (iHeadless) std::printf("Ran %d frames without a display and shut down.\n", int(zCore.FrameCounter));
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(iStatus);
}

int64_t ResidentKilobytes(bool iPeak) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadHostFileBytes("/proc/self/status", size_t(1) << 20, bytes, error)) return 0;
    std::istringstream status(std::string(bytes.begin(), bytes.end()));
    std::string key;
    while (status >> key) {
        if (key == (iPeak ? "VmHWM:" : "VmRSS:")) {
            int64_t kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

}  // namespace tarv
