#include "game/shell/mShellWindows.h"

#include <SDL2/SDL.h>

#include <cstdio>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "game/shell/frmLog.h"
#include "game/shell/frmMain.h"
#include "game/shell/frmSettings.h"
#include "game/shell/mCommandLine.h"
#include "game/world/gCharTest.h"
#include "platform/Window.h"

using namespace zun;

namespace tarv {

// The console lies over the top of the screen and is drawn last, so it is
// asked first.
bool ShellWindows_KeyDown(int32_t iKey, int32_t iShift) {
    if (frmLog.KeyDown(iKey, iShift)) return true;
    return frmSettings.KeyDown(iKey, iShift);
}

bool ShellWindows_MouseDown(int32_t iButton, float iX, float iY) {
    // Each window learns whether it keeps the focus, so both are told.
    const bool console = frmLog.MouseDown(iButton, iX, iY);
    if (console) {
        frmSettings.Focused = false;
        return true;
    }
    return frmSettings.MouseDown(iButton, iX, iY);
}

bool ShellWindows_MouseMove(int32_t iButton, float iX, float iY) { return frmSettings.MouseMove(iButton, iX, iY); }

bool ShellWindows_MouseUp(int32_t iButton, float iX, float iY) { return frmSettings.MouseUp(iButton, iX, iY); }

bool ShellWindows_MouseWheel(int32_t iSteps, float iX, float iY) { return frmLog.MouseWheel(iSteps, iX, iY); }

void ShellWindows_Render() {
    frmSettings.Render();
    frmLog.Render();
}

void InstallShellWindows(bool iMirrorToStderr) {
    gShellParts.ExecuteParams = [](const std::string& p) { return ExecuteParams(p); };
    gShellParts.SetDefaultSettings = [] { gCharTest.SetDefaultSettings(); };
    gShellParts.ApplySettings = [] { gCharTest.ApplySettings(); };
    gShellParts.SettingsVisible = [] { return frmSettings.Visible(); };
    gShellParts.ShowSettings = [] { frmSettings.Show(); };
    gShellParts.ConsoleVisible = [] { return frmLog.Visible(); };
    gShellParts.ShowConsole = [] { frmLog.Show(); };
    gShellParts.UnloadConsole = [] { frmLog.Unload(); };

    frmLog.UnloadMain = [] { frmMain.Form_Unload(); };
    frmSettings.MinimizeMain = [] {
        if (frmMain.Window && !frmMain.Window->Headless() && frmMain.Window->Sdl())
            SDL_MinimizeWindow(frmMain.Window->Sdl());
    };

    gCoreHooks.OnLogEntry = [iMirrorToStderr](const std::string& line, const std::vector<LogValue>& values) {
        if (iMirrorToStderr) {
            const std::string text = Cp1252ToUtf8(line) + "\n";
            std::fputs(text.c_str(), stderr);
        }
        gCharTest.OnLogEntry(line, values);
    };
}

}  // namespace tarv
