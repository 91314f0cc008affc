// SIGTERM and SIGINT end the program even while a script runs an endless
// loop. The first signal only asks: the frame loop sees StopRequested() and
// shuts down in order. A watchdog thread gives it a grace time; when the main
// thread is still stuck after it, the watchdog writes the last word and ends
// the process itself with 128 + the signal number. A second signal ends the
// process at once, with 128 + its number.
#pragma once

#include <functional>

namespace zun {

// Installs the handlers once (later calls only replace the last word and the
// grace time). Also keeps SDL from installing its own, which would turn the
// signals into a quit event that a stuck frame never reads. The grace time
// tells a stuck frame from a slow one: a frame that opens a tool window takes
// half a second on a machine busy with other programs, and one cut short by
// the watchdog ends the game without its "onExit".
void InstallStopSignals(std::function<void(int iSignal)> iLastWord, int iGraceMs = 2000,
                        int iOrderlyLimitMs = 20000);

// The main thread has seen the request and is shutting down in order, or is
// on its way there (a box it waited on gave way to the request): the
// watchdog then waits for it (up to iOrderlyLimitMs of InstallStopSignals)
// instead of cutting it short and calling the slow end a stuck one.
void BeginOrderlyStop();

// The signal that asked the program to stop, or 0.
int StopSignal();
inline bool StopRequested() { return StopSignal() != 0; }

}  // namespace zun
