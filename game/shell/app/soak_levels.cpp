// Level-switch soak: starts the real program from its folder (headless), then
// loads the two demo levels in turn through the game's "loadLevel" function,
// running frames between loads, and samples resident memory after each load.
// Memory must stay flat once warmed up: a load that keeps something of the
// level before shows as a steady climb.
//
//   ZUN_SOAK_LOADS   loads (1000)          ZUN_SOAK_FRAMES  frames per load (90)
//   ZUN_SOAK_MAX_KB  allowed growth per load after warm-up, in KB (16)
//   ZUN_SOAK_VERBOSE 1: what the engine holds, every 50 loads
//
// Prints the samples' figures and ends with status 1 when memory climbs.
// SIGINT or SIGTERM stops it as they stop the game: after the frame or load
// under way, with 128 + the signal's number.
// The climb judged is the median of the slopes between every two samples:
// a steady leak shows in full, while a few jumps of the allocator (another
// thread's arena, a burst of large blocks under a busy machine) do not
// decide the verdict as they would a least-squares line.

#include <algorithm>
#include <malloc.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zDSound.h"
#include "game/scriptapi/gScript.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/shell/mShellWindows.h"
#include "game/world/gCharTest.h"
#include "platform/StopSignals.h"
#include "platform/Window.h"
#include "script/zScript.h"
#include "script/zScriptArgs.h"

using namespace zun;
using namespace tarv;

namespace {

long EnvNumber(const char* name, long fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    return (end && *end == 0 && n > 0) ? n : fallback;
}

// Least-squares slope of the samples, in KB per load.
double Slope(const std::vector<double>& y) {
    const double n = double(y.size());
    if (n < 2) return 0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        sx += double(i);
        sy += y[i];
        sxx += double(i) * double(i);
        sxy += double(i) * y[i];
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

// Median of the slopes between every two samples, in KB per load.
double MedianSlope(const std::vector<double>& y) {
    std::vector<double> slopes;
    slopes.reserve(y.size() * (y.size() - 1) / 2);
    for (size_t i = 0; i < y.size(); ++i)
        for (size_t j = i + 1; j < y.size(); ++j) slopes.push_back((y[j] - y[i]) / double(j - i));
    if (slopes.empty()) return 0;
    const auto mid = slopes.begin() + long(slopes.size() / 2);
    std::nth_element(slopes.begin(), mid, slopes.end());
    return *mid;
}

// Bytes the allocator hands out, in KB: flat while resident memory climbs
// means the heap is fragmenting rather than leaking.
long HeapInUseKilobytes() {
    const struct mallinfo2 mi = mallinfo2();
    return long((mi.uordblks + mi.hblkhd) / 1024);
}

void Load(const char* name, int32_t x, int32_t y) {
    zScriptArgs args;
    args.Push(zScript.VariantToScriptValue(HostValue(name)));
    args.Push(zScript.VariantToScriptValue(HostValue(x)));
    args.Push(zScript.VariantToScriptValue(HostValue(y)));
    CallGameFunction(gCharTest.GameObject.get(), nullptr, "loadLevel", args);
}

}  // namespace

int main() {
    const long loads = EnvNumber("ZUN_SOAK_LOADS", 1000);
    const long frames = EnvNumber("ZUN_SOAK_FRAMES", 90);
    const double maxKbPerLoad = double(EnvNumber("ZUN_SOAK_MAX_KB", 16));
    const bool verbose = EnvNumber("ZUN_SOAK_VERBOSE", 0) != 0;
    // Progress shows as it comes, also when the output goes to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // Before the window: SDL would otherwise take the signals for a quit
    // event that nothing here reads. A load that holds the stop up longer
    // than the grace time is cut short.
    InstallStopSignals(
        [](int iSignal) {
            LogLastWord("ERR\tsoak\tSignal " + std::to_string(iSignal) + ": the soak did not stop in time, ending it now");
        },
        800);

    gShellParts.RenderGamePre = RenderGamePre;
    gShellParts.RenderGame = RenderGame;
    InstallShellWindows(false);
    RegisterGameFunctions();
    std::string error;
    std::unique_ptr<Window> window = Window::Create("Vorlund", 640, 480, &error);
    frmMain.Window = window.get();
    if (!frmMain.Form_Load("") || !frmMain.Running) {
        std::fprintf(stderr, "soak: the program did not start\n");
        return 1;
    }
    // Every call is a frame: the soak counts frames, not wall time.
    gCharTest.Settings->SetByte("DisableTimer", 1);
    std::printf("soak: started; %ld loads of %ld frames each\n", loads, frames);

    std::vector<double> samples;
    samples.reserve(size_t(loads));
    for (long i = 0; i < loads; ++i) {
        if (i % 2 == 0) Load("cellar", 5, 5);
        else Load("village", 30, 36);
        for (long f = 0; f < frames && !frmMain.Closed && !StopRequested(); ++f) frmMain.tmrMain_Timer();
        if (StopRequested()) break;
        // The game's own scripts may end it (a question answered by the
        // headless dialogs); what was measured until then is still judged.
        if (frmMain.Closed) {
            std::printf("soak: the game ended itself during load %ld\n", i + 1);
            break;
        }
        samples.push_back(double(ResidentKilobytes(false)));
        if (verbose && (i + 1) % 50 == 0)
            std::printf("soak: load %ld: %.0f KB resident, %ld KB heap in use, %zu array entries, %d waves, %d duplicates, %d textures\n",
                        i + 1, samples.back(), HeapInUseKilobytes(), ArrayEntriesInUse(), int(zDSound.WaveCount),
                        int(zDSound.DuplicateCount), int(zDDraw.TextureCount));
        if (verbose && (i + 1) % 50 == 0)
            std::printf("soak: %d globals, %d saved values\n", zScript.Globals->Size(), zScript.SavedValues->Size());
        // The log keeps every line of the run; it is not what is measured.
        zCore.LogText.clear();
        // A player reads each message before the next visit; unread ones
        // (the cellar greets every visitor) would pile up here with their
        // speakers and be counted as what a load keeps.
        gCharTest.Messages.clear();
    }
    if (!frmMain.Closed) frmMain.Form_Unload();
    frmMain.Window = nullptr;
    window.reset();
    if (const int sig = StopSignal()) {
        std::printf("soak: stopped by signal %d after %zu loads\n", sig, samples.size());
        return 128 + sig;
    }

    const size_t warm = std::max<size_t>(samples.size() / 5, 2);
    if (samples.size() <= warm + 2) {
        std::printf("soak: %zu loads are too few to judge\n", samples.size());
        return 0;
    }
    const std::vector<double> after(samples.begin() + long(warm), samples.end());
    const double slope = MedianSlope(after);
    std::printf("soak: %ld loads, %ld frames each; resident %.0f MB after the first load, %.0f MB after warm-up "
                "(%zu loads), %.0f MB at the end; %.1f KB per load after warm-up (allowed %.0f; least squares %.1f)\n",
                long(samples.size()), frames, samples.front() / 1024.0, samples[warm] / 1024.0, warm, samples.back() / 1024.0,
                slope, maxKbPerLoad, Slope(after));
    return slope > maxKbPerLoad ? 1 : 0;
}
