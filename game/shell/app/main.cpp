// The program's entry: starts the framework and its main window, runs a short
// frame loop of simple shapes, and shuts down. The game itself (levels,
// characters, scripts) is not built yet.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "devices/startup/zFramework.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDMusic.h"
#include "devices/zDSound.h"
#include "devices/zFont.h"
#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "scene/zObjectClasses.h"
#include "scene/zSceneClasses.h"
#include "script/zScript.h"

using namespace zun;

namespace {

// One frame: a few coloured panels and a ball bouncing across them.
void DrawFrame(int32_t ms) {
    if (!zDDraw.BeginScene(ColorFromComponents(0.05f, 0.07f, 0.12f, 1), 0)) return;
    const float w = float(zDDraw.ScreenW), h = float(zDDraw.ScreenH);
    const int32_t colors[] = {ColorFromComponents(0.8f, 0.3f, 0.2f, 1), ColorFromComponents(0.3f, 0.7f, 0.3f, 1),
                              ColorFromComponents(0.2f, 0.4f, 0.9f, 1)};
    for (int i = 0; i < 3; ++i) zDDraw.BltSurface(w * (0.1f + 0.28f * float(i)), h * 0.6f, w * 0.24f, h * 0.3f, colors[i]);
    const double t = double(ms) / 1000.0;
    const float x = float(w * (0.5 + 0.4 * std::sin(t * 1.3))), y = float(h * (0.35 - 0.2 * std::fabs(std::sin(t * 3.1))));
    zDDraw.BltCircle(x, y, h * 0.06f, ColorFromComponents(1, 1, 1, 1), ColorFromComponents(1, 0.85f, 0.2f, 1), 1.0f);
    zDDraw.EndScene(true);
}

}  // namespace

int main() {
    gFrameworkHooks.RegisterSceneClasses = [] { RegisterSceneClasses(); };
    gFrameworkHooks.ScriptInitialize = [] { zScript.Script_Initialize(); };
    ZUN_Initialize();
    RegisterSceneObjectClasses();
    zDInput.ResetKeyStates();
    std::string error;
    auto window = Window::Create("Vorlund", 800, 600, &error);
    if (!window) Log("ERR", "Window", error);
    if (!window || !Window_Initialize(window.get(), 0, false)) {
        ShowMessageBox("Could not initialize window! The program will now exit.", MsgBoxStyle::Critical);
        ZUN_Release();
        std::printf("%s", Cp1252ToUtf8(zCore.LogText).c_str());
        return 1;
    }
    const std::string app = zFileSystem.AppPath;
    zDDraw.TexturePath = CleanPath(app + "img", false);
    zDSound.SoundPath = CleanPath(app + "sound", false);
    zDMusic.MusicPath = CleanPath(app + "music", false);
    zFont.FontPath = CleanPath(app + "fonts", false);
    window->Show();

    // Headless there is nobody to press Esc: stop after a few seconds.
    const int32_t start = GetTickCount();
    const bool headless = window->Headless();
    bool running = true;
    while (running && zCore.Initialized) {
        WindowEvent e;
        while (window->PollEvent(e)) {
            if (e.Type == WindowEventType::Close || e.Type == WindowEventType::Quit) running = false;
            if (e.Type == WindowEventType::KeyDown && e.Key == 27) running = false;  // Esc
        }
        zDDraw.UpdateFrameRate();
        DrawFrame(zCore.Ticks - start);
        if (headless && zCore.Ticks - start > 3000) running = false;
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    const int32_t frames = zCore.FrameCounter;
    ZUN_Release();
    window.reset();

    std::printf("%s", Cp1252ToUtf8(zCore.LogText).c_str());
    std::printf(
        "\nThe framework ran %d frames on its %s drawing device and shut down.\n"
        "The game itself (levels, characters, its scripts) is not built yet, so there is\n"
        "nothing to play; `make test` runs what exists.\n",
        int(frames), headless ? "offscreen" : "windowed");
    return 0;
}
