// The shell's own windows (settings dialog, console) beside the game window.
// Each is a window of its own with its own events; the main window hands
// every event on here first:
//
//   ShellWindows_Event(e): True when e is not the game window's (a tool
//               window's, or a late one of a tool window already closed);
//               the event is then handled or dropped here;
//   drawing:    ShellWindows_Render() after the game's frame is shown.
#pragma once

#include "platform/Window.h"

namespace tarv {

bool ShellWindows_Event(const zun::WindowEvent& e);
void ShellWindows_Render();

// Fills the shell's slots (gShellParts: compiler run, settings, the two
// windows), the tool windows' view of the game window, the program's title
// and input box for the dialogs, and the framework's log hook
// (gCharTest.OnLogEntry; with iMirrorToStderr the log also goes to stderr,
// zCore.LogToStderr).
void InstallShellWindows(bool iMirrorToStderr = true);

}  // namespace tarv
