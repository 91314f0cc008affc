#include "game/shell/mShellWindows.h"

#include <SDL2/SDL.h>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/shell/frmInputBox.h"
#include "game/shell/frmLog.h"
#include "game/shell/frmMain.h"
#include "game/shell/frmSettings.h"
#include "game/shell/gLevel.h"
#include "game/shell/gToolWindow.h"
#include "game/shell/mCommandLine.h"
#include "game/world/gCharTest.h"
#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "script/zScript.h"

using namespace zun;

namespace tarv {

bool ShellWindows_Event(const WindowEvent& e) {
    if (e.WindowId == 0) return false;
    if (frmMain.Window && e.WindowId == uint32_t(frmMain.Window->Handle())) return false;
    const bool console = frmLog.HandleEvent(e);
    if (!console) frmSettings.HandleEvent(e);
    // F1 and F10 show the tool windows from either of them too (the console
    // closes itself on F10).
    if (e.Type == WindowEventType::KeyDown && (e.Key == 112 || (e.Key == 121 && !console)))
        frmMain.Form_KeyDown(int16_t(e.Key), int16_t(e.Shift));
    // A key goes up where the focus is when it is let go: over a tool window
    // that opened while it was held in the game (F1 itself, or a walking
    // key), or one the game took from a tool window. Either way the game
    // must not keep it held.
    if (e.Type == WindowEventType::KeyUp) frmMain.Form_KeyUp(int16_t(e.Key), int16_t(e.Shift));
    return true;
}

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
    gToolWindows.GameArea = [] {
        gToolRect r{0, 0, zDDraw.ViewW, zDDraw.ViewH};
        if (frmMain.Window && !frmMain.Window->Headless()) {
            frmMain.Window->Position(r.X, r.Y);
            frmMain.Window->ClientSize(r.W, r.H);
        }
        return r;
    };
    gToolWindows.Desktop = [] {
        if (frmMain.Window && !frmMain.Window->Headless() && frmMain.Window->Sdl()) {
            SDL_Rect b;
            const int display = SDL_GetWindowDisplayIndex(frmMain.Window->Sdl());
            if (display >= 0 && SDL_GetDisplayUsableBounds(display, &b) == 0) return gToolRect{b.x, b.y, b.w, b.h};
        }
        const DisplayModeInfo m = DesktopDisplayMode();
        return gToolRect{0, 0, m.Width, m.Height};
    };
    gToolWindows.FocusGame = [] {
        if (frmMain.Window && !frmMain.Window->Headless() && frmMain.Window->Sdl()) frmMain.Window->TakeFocus();
    };
    gToolWindows.GameKeyUp = [](int32_t iKey, int32_t iShift) { frmMain.Form_KeyUp(int16_t(iKey), int16_t(iShift)); };
    gProgramTitle = kLevelBoxTitle;
    // A script's boxes count with the error boxes.
    gScriptHooks.MessageBox = [](const std::string& iText, const std::string& iTitle, int32_t iStyle) {
        return gCharTest.ShowScriptMessageBox(iText, iTitle, iStyle);
    };
    gScriptHooks.InputBox = [](const std::string& iPrompt, const std::string& iTitle) -> std::optional<std::string> {
        return gCharTest.ShowScriptInputBox(iPrompt, iTitle);
    };
    gInputBoxHandler = [](const std::string& prompt, const std::string& title, const std::string& defaultText) {
        return frmInputBoxForm::Ask(prompt, title, defaultText);
    };
    frmSettings.MinimizeMain = [] {
        if (frmMain.Window && !frmMain.Window->Headless() && frmMain.Window->Sdl())
            SDL_MinimizeWindow(frmMain.Window->Sdl());
    };

    zCore.LogToStderr = iMirrorToStderr;
    gCoreHooks.OnLogEntry = [](const std::string& line, const std::vector<LogValue>& values) {
        gCharTest.OnLogEntry(line, values);
    };
}

}  // namespace tarv
