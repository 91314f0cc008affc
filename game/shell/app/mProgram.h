// The program's parts connected, and the switches of headless runs: main()
// and the tests that run the whole program start the same way.
//
// Headless runs read these from the environment:
//   ZUN_FRAMES=N         the run ends after N frames (default: 3 seconds);
//   ZUN_VIRTUAL_CLOCK=1  the frame loop runs on a virtual clock, as fast as
//                        the machine can, and plays the same on any machine;
//   ZUN_SOAK=1           a scripted player walks a loop while the weather
//                        changes, and the resident memory is logged now and
//                        then ("INF", "Soak", frame, kilobytes, peak).
#pragma once

#include <cstdint>

namespace tarv {

// Fills every slot the program's parts meet through: the render pipeline,
// the shell's windows and log hook, the game's script functions, and the
// scene's script hook through which map items get "onUpdate".
void ConnectProgram(bool iMirrorLogToStderr = true);

struct RunSwitches {
    int32_t Frames = 0;  // 0: no limit in frames
    bool VirtualClock = false;
    bool Soak = false;
};
RunSwitches ReadRunSwitches();
// Before Form_Load: the virtual clock must be in place when the framework
// reads its first tick and seeds the random source.
void ApplyRunSwitches(const RunSwitches& iSwitches);

// The end of the process after a shut-down: a headless run tells how many
// frames it ran, the output is flushed, the process exits.
[[noreturn]] void ExitAfterShutDown(int32_t iStatus, bool iHeadless);

// Resident memory of this process in kilobytes, now or at its peak; 0 when
// it cannot be read.
int64_t ResidentKilobytes(bool iPeak);

}  // namespace tarv
