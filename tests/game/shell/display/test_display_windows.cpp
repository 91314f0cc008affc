// The tool windows as real windows: SDL's offscreen video driver makes them
// without a display server, and what the player does reaches them through
// SDL's own event queue, as it does on a desktop.
#include <SDL2/SDL.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "SettingsTestSupport.h"
#include "devices/zDInput.h"
#include "game/shell/frmInputBox.h"
#include "game/shell/frmMain.h"
#include "game/shell/gToolWindow.h"
#include "game/shell/mShellWindows.h"
#include "platform/Window.h"
#include "support/TestSupport.h"

namespace tarv::test {

namespace {

class DisplayWindows : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        ASSERT_FALSE(IsHeadless()) << "display tests run on SDL_VIDEODRIVER=offscreen";
        std::string error;
        ASSERT_TRUE(AcquireSdlVideo(&error)) << error;
        video_ = true;
        InstallShellWindows(false);
        gCoreHooks.OnLogEntry = nullptr;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        frmSettings.Unload();
        frmLog.Unload();
        gShellParts = {};
        gToolWindows = {};
        gInputBoxHandler = nullptr;
        zDInput = zDInputModule{};
        if (video_) {
            SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
            ReleaseSdlVideo();
        }
        SettingsTest::TearDown();
    }

    // SDL numbers its windows one after another: the next window made gets
    // the number after this probe's. The input box is made inside the call
    // that waits for it, so its events are queued before it exists.
    static uint32_t NextWindowId() {
        SDL_Window* probe = SDL_CreateWindow("probe", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
        const uint32_t id = SDL_GetWindowID(probe);
        SDL_DestroyWindow(probe);
        return id + 1;
    }
    static void PushKey(uint32_t window, SDL_Keycode sym, SDL_Scancode code, bool down = true, Uint16 mod = 0) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = window;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = sym;
        e.key.keysym.scancode = code;
        e.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    static void PushText(uint32_t window, const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = window;
        std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    static void PushButton(uint32_t window, int32_t x, int32_t y, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = window;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    // Hands everything queued to the shell's windows, as the frame loop does.
    static void Pump() {
        SDL_Event raw;
        WindowEvent e;
        while (SDL_PollEvent(&raw))
            if (TranslateSdlEvent(raw, e)) ShellWindows_Event(e);
    }

    bool video_ = false;
};

TEST_F(DisplayWindows, TheSettingsAndTheConsoleTakeClicksKeysSizesAndTheClipboardThroughSdl) {
    gCharTest.FontArial = MakeFont();
    gCharTest.SetDefaultSettings();
    frmSettings.Show();
    ASSERT_TRUE(frmSettings.Window.Sdl());
    const uint32_t settings = frmSettings.Window.Id();
    EXPECT_EQ(SDL_GetWindowID(frmSettings.Window.Sdl()), settings);
    std::shared_ptr<gFormControl> lighting;
    for (const auto& c : frmSettings.Form.Controls)
        if (c->Tag == "byte:Lighting") lighting = c;
    ASSERT_TRUE(lighting);
    const int32_t x = int32_t(lighting->Left + 4), y = int32_t(lighting->Top + lighting->Height / 2);
    PushButton(settings, x, y, true);
    PushButton(settings, x, y, false);
    const auto volume = frmSettings.Form.Find("scrValues", 0);
    PushButton(settings, int32_t(volume->Left), int32_t(volume->Top + volume->Height / 2), true);
    PushButton(settings, int32_t(volume->Left), int32_t(volume->Top + volume->Height / 2), false);
    ASSERT_NE(zDSound.Volume, 0.0f);
    Pump();
    // Applied at once, with no OK.
    EXPECT_EQ(Settings().GetByte("Lighting"), 0);
    EXPECT_EQ(zDSound.Volume, 0.0f);

    Log("INF", "Gr\xFC\xDF" "e");
    frmLog.Show();
    const uint32_t console = frmLog.Window.Id();
    ASSERT_TRUE(frmLog.Window.Sdl());
    // The user drags the window's corner: the window system tells its size.
    SDL_SetWindowSize(frmLog.Window.Sdl(), 420, 260);
    Pump();
    EXPECT_EQ(frmLog.Window.Width(), 420);
    EXPECT_EQ(frmLog.txtInput()->Top + frmLog.txtInput()->Height, 260);
    EXPECT_EQ(frmLog.txtLog()->Width, 420);

    PushText(console, "Hel");
    PushText(console, "p");
    PushKey(console, SDLK_RETURN, SDL_SCANCODE_RETURN);
    Pump();
    EXPECT_TRUE(Logged("LIST\texit\tend\tmute\thelp"));
    // Copying reaches the desktop's clipboard as UTF-8.
    PushKey(console, SDLK_a, SDL_SCANCODE_A, true, KMOD_LCTRL);
    PushKey(console, SDLK_c, SDL_SCANCODE_C, true, KMOD_LCTRL);
    Pump();
    char* copied = SDL_GetClipboardText();
    ASSERT_TRUE(copied);
    EXPECT_NE(std::string(copied).find("INF\tGr\xC3\xBC\xC3\x9F" "e"), std::string::npos) << copied;
    SDL_free(copied);
    PushKey(console, SDLK_F10, SDL_SCANCODE_F10);
    Pump();
    EXPECT_FALSE(frmLog.Visible());
}

TEST_F(DisplayWindows, TheInputBoxEditsAsATextBoxAndLetsTheGameHaveItsOtherEvents) {
    gCharTest.FontArial = MakeFont();
    auto ask = [] { return ShowInputBox("Your name?", "Ask", ""); };

    // Typing, the caret keys and a paste, in Windows-1252 letters.
    SetClipboardText("\xDCnd\r\nnot this");
    uint32_t box = NextWindowId();
    PushText(box, "Zo\xC3\xAB");          // Zoë
    PushKey(box, SDLK_HOME, SDL_SCANCODE_HOME);
    PushText(box, "A");                   // AZoë
    PushKey(box, SDLK_RIGHT, SDL_SCANCODE_RIGHT);
    PushKey(box, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE);  // AoË: the Z goes
    PushKey(box, SDLK_END, SDL_SCANCODE_END);
    PushText(box, " \xE2\x82\xAC");       // Aoë €
    PushKey(box, SDLK_LEFT, SDL_SCANCODE_LEFT);
    PushKey(box, SDLK_LEFT, SDL_SCANCODE_LEFT);
    PushKey(box, SDLK_DELETE, SDL_SCANCODE_DELETE);  // Aoë€
    PushKey(box, SDLK_v, SDL_SCANCODE_V, true, KMOD_LCTRL);
    PushKey(box, SDLK_RETURN, SDL_SCANCODE_RETURN);
    EXPECT_EQ(ask(), "Ao\xEB\xDCnd\x80");

    box = NextWindowId();
    PushText(box, "gone");
    PushKey(box, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(ask(), "");

    // A key held in the game when the box opened is let go over the box;
    // a click meant for the game waits for the box to close.
    frmMain.Form_KeyDown(87, 0);
    box = NextWindowId();
    PushKey(box, SDLK_w, SDL_SCANCODE_W, false);
    PushButton(box + 100, 5, 6, true);
    PushText(box, "x");
    PushKey(box, SDLK_RETURN, SDL_SCANCODE_RETURN);
    EXPECT_EQ(ask(), "x");
    EXPECT_FALSE(zDInput.Keys[87]);
    SDL_Event later{};
    bool waited = false;
    // A poll ends at the end of one cycle of SDL's queue; the next goes on.
    for (int cycle = 0; cycle < 3 && !waited; ++cycle)
        while (!waited && SDL_PollEvent(&later)) waited = later.type == SDL_MOUSEBUTTONDOWN;
    ASSERT_TRUE(waited);
    EXPECT_EQ(later.button.windowID, box + 100);
}

TEST_F(DisplayWindows, TheSettingsLinkWithoutADesktopOpenerLeavesTheGameAsItWas) {
    zun::test::TempDir bin;
    const char* was = std::getenv("PATH");
    const std::string oldPath = was ? was : "";
    int minimised = 0;
    frmSettings.Show();
    frmSettings.MinimizeMain = [&] { ++minimised; };
    frmSettings.OpenLink = nullptr;
    auto opener = [&](const char* script) {
        const std::string path = bin.HostPath("xdg-open");
        std::ofstream(path) << script;
        ::chmod(path.c_str(), 0755);
    };

    // No opener anywhere.
    ::setenv("PATH", bin.Host().c_str(), 1);
    frmSettings.lblLink_Click();
    EXPECT_EQ(minimised, 0);
    EXPECT_TRUE(Logged("WARN\tOpenLink")) << zCore.LogText;
    EXPECT_TRUE(Logged("no desktop opener")) << zCore.LogText;
    // One that finds nothing to open with.
    opener("#!/bin/sh\nexit 3\n");
    zCore.LogText.clear();
    frmSettings.lblLink_Click();
    EXPECT_EQ(minimised, 0);
    EXPECT_TRUE(Logged("WARN\tOpenLink")) << zCore.LogText;
    // One that opens it.
    opener("#!/bin/sh\nexit 0\n");
    zCore.LogText.clear();
    frmSettings.lblLink_Click();
    EXPECT_EQ(minimised, 1);
    EXPECT_FALSE(Logged("WARN")) << zCore.LogText;
    ::setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
}  // namespace tarv::test
