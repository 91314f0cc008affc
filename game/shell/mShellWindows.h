// The shell's own windows (settings dialog, console) as seen from the main
// window: they are drawn into the game's frame and take the input they are
// given first. The main window calls these before its own handling:
//
//   key down:   when ShellWindows_KeyDown(raw key code, shift) is True the key
//               is taken (before the main window maps arrows and Enter);
//               key up always goes to the game as well;
//   mouse:      positions in screen pixels; True = taken;
//   drawing:    ShellWindows_Render() after the frame is drawn and before it
//               is shown.
#pragma once

#include <cstdint>

namespace tarv {

bool ShellWindows_KeyDown(int32_t iKey, int32_t iShift);
bool ShellWindows_MouseDown(int32_t iButton, float iX, float iY);
bool ShellWindows_MouseMove(int32_t iButton, float iX, float iY);
bool ShellWindows_MouseUp(int32_t iButton, float iX, float iY);
bool ShellWindows_MouseWheel(int32_t iSteps, float iX, float iY);
void ShellWindows_Render();

// Fills the shell's slots (gShellParts: compiler run, settings, the two
// windows) and the framework's log hook (gCharTest.OnLogEntry; every line is
// also written to stderr when iMirrorToStderr is True).
void InstallShellWindows(bool iMirrorToStderr = true);

}  // namespace tarv
