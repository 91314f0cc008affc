// Start-up and shut-down of the main window, the script globals, and the loop
// that turns the window's events and a 15 ms timer into the form's events.
#include "game/shell/frmMain.h"
#include "game/shell/mCommandLine.h"
#include "game/shell/mScriptEvent.h"
#include "game/shell/mShellWindows.h"

#include <chrono>
#include <thread>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/startup/zFramework.h"
#include "devices/zDDraw.h"
#include "devices/zDInput.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "devices/zFont.h"
#include "devices/zMusicSetup.h"
#include "game/effects/gEffects.h"
#include "game/effects/gLantern.h"
#include "game/effects/gWeather.h"
#include "game/world/gBorder.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "game/world/gPlayerMover.h"
#include "game/world/mClock.h"
#include "platform/Dialogs.h"
#include "platform/EventSource.h"
#include "platform/StopSignals.h"
#include "platform/Window.h"
#include "scene/zCamera.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zParticleEmitter.h"
#include "scene/zSceneClasses.h"
#include "scene/zSceneHooks.h"
#include "scene/zSoundEmitter.h"
#include "scene/zSprite.h"
#include "script/zScript.h"
#include "script/zScriptArray.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

ShellParts gShellParts;
frmMainForm frmMain;

namespace {

// Runs a slot of gShellParts; a copy, as the slot's code may refill the slots.
template <class F, class... A>
auto RunPart(const F& slot, A&&... args) {
    auto f = slot;
    using R = decltype(f(std::forward<A>(args)...));
    if (!f) return R();
    return f(std::forward<A>(args)...);
}

// Nobody quit: the framework went down on its way up, and a program that
// cannot run must not end as if it had run.
bool FrameworkDidNotStart(const char* proc) {
    Log("ERR", proc, "The framework did not start");
    return false;
}

int32_t LoadTextureStep(const char* proc, const std::string& name, bool smooth, int32_t colorKey) {
    int32_t t = 0;
    SkipOnFailure(proc, [&] { t = zDDraw.LoadTexture(name, smooth, colorKey, 1, 0); });
    return t;
}

}  // namespace

void SetScriptGlobals() {
    ArrayRef g = zScript.Globals;
    if (!g) return;
    g->SetNameValue("_time", HostValue(ToSingle(mClock.Timer())));
    g->SetNameValue("_ticks", HostValue(zCore.Ticks));
    g->SetNameValue("_frame", HostValue(zCore.FrameCounter));
    g->SetNameValue("_fps", HostValue(zDDraw.FPS));
    g->SetNameValue("_screenW", HostValue(zDDraw.ScreenW));
    g->SetNameValue("_screenH", HostValue(zDDraw.ScreenH));
    g->SetNameValue("_mx", HostValue(zDInput.MouseX));
    g->SetNameValue("_my", HostValue(zDInput.MouseY));
    g->SetNameValue("_mz", HostValue(zDInput.MouseZ));
    g->SetNameValue("_dx", HostValue(zDInput.MouseDX));
    g->SetNameValue("_dy", HostValue(zDInput.MouseDY));
    g->SetNameValue("_dz", HostValue(zDInput.MouseDZ));
}

bool frmMainForm::Form_Load(const std::string& iCommandLine) {
    const char* proc = "Form_Load";
    zCore.CurrentProc = proc;

    // 1. Command line: "debug" exactly, or script files for the compiler.
    DebugRequest = false;
    if (!HandleCommandLine(iCommandLine, DebugRequest,
                           [](const std::string& iParams) { return RunPart(gShellParts.ExecuteParams, iParams); }))
        return false;

    // 2. The framework, with the scene classes and the script engine.
    gFrameworkHooks.RegisterSceneClasses = [] { RegisterSceneClasses(); };
    gFrameworkHooks.ScriptInitialize = [] { zScript.Script_Initialize(); };
    ZUN_Initialize();
    zCore.CurrentProc = proc;

    // 3.
    zDInput.ResetKeyStates();

    // 4. The game's storable classes, in the order files name them.
    SkipOnFailure(proc, [] {
        RegisterClass(std::make_shared<zObjectsMap>());
        RegisterClass(std::make_shared<zDataShape>());
        RegisterClass(std::make_shared<gBorder>());
        RegisterClass(std::make_shared<gChar>());
        RegisterClass(std::make_shared<gCharset>());
        RegisterClass(std::make_shared<zEmitterMap>());
        RegisterClass(std::make_shared<zItemMap>());
        RegisterClass(std::make_shared<zSoundEmitter>());
        RegisterClass(std::make_shared<zParticleEmitter>());
    });

    // The music folder is looked at before the devices start, so that a
    // music-file decoder it needs is open by the time the first level plays.
    DShow_Prepare(CleanPath(zFileSystem.AppPath + "music", false));

    // 5. Drawing and input; sound and music may fail on their own.
    if (!Window_Initialize(Window, 0, false)) {
        ShowMessageBox("Could not initialize window! The program will now exit.",
                       MsgBoxStyle::Critical | MsgBoxStyle::OkOnly);
        ZUN_Release();
        return false;
    }
    zCore.CurrentProc = proc;

    // 6. Asset folders.
    const std::string app = zFileSystem.AppPath;
    zDDraw.TexturePath = CleanPath(app + "img", false);
    zDSound.SoundPath = CleanPath(app + "sound", false);
    zDMusic.MusicPath = CleanPath(app + "music", false);
    zFont.FontPath = CleanPath(app + "fonts", false);
    zScript.ScriptPath = CleanPath(app + "scripts", false);

    // 7. A fresh global scope with the twelve script globals.
    zScript.Globals = zScriptArray::New();
    SetScriptGlobals();

    // 8. Fonts.
    const int32_t black = zDDrawModule::GetColorRGB(0, 0, 0);
    SkipOnFailure(proc, [&] { gCharTest.FontArial = zFont.LoadFont("arial", "png", black); });
    SkipOnFailure(proc, [&] { gCharTest.FontRunes = zFont.LoadFont("runes", "png", black); });
    SkipOnFailure(proc, [&] { gCharTest.FontGeorgia = zFont.LoadFont("georgia", "png", black); });
    gSceneHooks.FontArial = gCharTest.FontArial;

    // 9. Render targets of the passes and of the lens.
    SkipOnFailure(proc, [] {
        gCharTest.LightTarget = zDDraw.CreateRenderTarget(256);
        gCharTest.ShadowTarget = zDDraw.CreateRenderTarget(256);
        gCharTest.MirrorTarget = zDDraw.CreateRenderTarget(256);
        gCharTest.BufferQuality = 0;
        gCharTest.RenderBuffers[0] = zDDraw.CreateRenderTarget(512);
        gCharTest.RenderBuffers[1] = zDDraw.CreateRenderTarget(512);
    });

    // 10-12. Cursor, cursor ranges and the shared textures.
    gCharTest.Cursor = std::make_shared<zSprite>();
    gCharTest.Cursor->Texture =
        LoadTextureStep(proc, "Demo Cursors.png", false, zDDrawModule::GetColorRGB(1, 0, 1));
    gCharTest.Cursor->W = 32;
    gCharTest.Cursor->H = 32;
    gCharTest.LookRange = 256.0f;
    gCharTest.UseRange = 64.0f;
    gCharTest.Cursor->OriginX = 14.0f;
    gCharTest.ShadowTexture = LoadTextureStep(proc, "Demo Shadow.png", true, zDDrawModule::GetColorRGB(1, 1, 1));
    gCharTest.ParticleTexture =
        LoadTextureStep(proc, "Demo Particles.png", true, zDDrawModule::GetColorRGB(0, 0, 0));
    gCharTest.LightTexture = LoadTextureStep(proc, "Demo Light.png", true, 0);
    gEffects.ShadowTexture = gCharTest.ShadowTexture;
    gEffects.ParticleTexture = gCharTest.ParticleTexture;

    // 13-14. Camera and mouse scale.
    Camera = std::dynamic_pointer_cast<zCamera>(CreateClass("zCamera", false));
    if (!Camera) Camera = std::make_shared<zCamera>();
    Camera->Configure(zDDraw.ScreenW, zDDraw.ScreenH, true);
    MouseScaleX = MouseScaleY = 1.0f;

    // 15. Interface boxes and particle systems.
    SkipOnFailure(proc, [this] { CreateTextBoxes(); });
    SkipOnFailure(proc, [this] { CreateParticles(); });

    // 16. Weather, and the scene's hooks that the effects answer.
    SkipOnFailure(proc, [this] { gWeather.Weather_Initialize(Camera); });
    InstallSceneHooks();

    // 17. The player.
    gCharTest.Player = std::dynamic_pointer_cast<gChar>(CreateClass("gChar", true));
    if (!gCharTest.Player) gCharTest.Player = std::make_shared<gChar>();
    const std::shared_ptr<gChar> player = gCharTest.Player;
    player->Sprite = std::make_shared<zSprite>();
    player->Item = std::make_shared<zItem>();
    SkipOnFailure(proc, [this] { CreateCharSets(); });
    SkipOnFailure(proc, [&] { player->SetCharSet(player->CharSet); });
    player->AniWalkOffset = 1;
    gCharTest.PlayerPath = std::make_shared<gPath>();
    player->MovePath = gCharTest.PlayerPath;
    player->CollisionShape = 1;
    player->CollisionFlags = 1;
    player->Item->Shadow = true;
    player->Item->Mirrored = true;
    player->Item->Visible = true;
    gCharTest.CreatePlayerSteps = [] { frmMain.CreatePlayerSteps(); };

    // 18. The lens targets start black.
    for (int32_t t : gCharTest.RenderBuffers) {
        SkipOnFailure(proc, [t] {
            if (zDDraw.BeginScene(zDDrawModule::GetGrayColor(0.0f), t)) zDDraw.EndTextureScene();
        });
    }

    // 19. Message queue and the controller stack with the player mover on top.
    gCharTest.Messages.clear();
    gCharTest.Controllers.clear();
    gCharTest.Controller = nullptr;
    gCharTest.PushController(std::make_shared<gPlayerMover>());

    // 20-21. Settings.
    gCharTest.Settings = std::make_shared<zValues>();
    SkipOnFailure(proc, [] { RunPart(gShellParts.SetDefaultSettings); });
    SkipOnFailure(proc, [] { RunPart(gShellParts.ApplySettings); });
    gCharTest.GameUpdates = true;

    // 22-23. The game's scripts and its "game" object.
    const size_t classesBefore = zScript.Classes.size();
    SkipOnFailure(proc, [] { zScript.LoadScriptFile("Game.dat"); });
    zCore.CurrentProc = proc;
    // Without its script the game has no level and no player: rather than an
    // empty window, the program ends. The loader has shown why, once.
    if (zScript.Classes.size() == classesBefore) {
        if (!zCore.Initialized && !Closed) return FrameworkDidNotStart(proc);
        Log("INF", proc, "No game script could be loaded from Game.dat: the program ends");
        ZUN_Release();
        return false;
    }
    gCharTest.GameObject = zScriptObject::New();
    gCharTest.GameObject->SetClass("Game", "game");

    // 24. The debug switch, asked for on "debug".
    if (DebugRequest &&
        ShowMessageBox("$debug = true?", MsgBoxStyle::Question | MsgBoxStyle::YesNo) == MsgBoxResult::Yes) {
        ValueRef v = zScriptValue::New();
        v->SetBool(true);
        if (gCharTest.GameObject->Locals) gCharTest.GameObject->Locals->SetName("debug", v);
    }

    // 25. The game starts; its "onLoad" loads the first level.
    Send(gCharTest.GameObject, "onLoad");

    // 26. Music.
    MusicObject = zScriptObject::New();
    MusicObject->SetClass("Music", "music");
    {
        std::weak_ptr<zScriptObject> music = MusicObject;
        zMusicSetup.ScriptObject = [music](const std::string& iFunction) {
            if (auto m = music.lock()) m->Execute(iFunction);
        };
    }
    Send(MusicObject, "onLoad");

    // 27. The player's script object, which the game's "onLoad" left in "player".
    std::shared_ptr<zScriptObject> playerObject;
    if (gCharTest.GameObject->Locals) {
        if (zScriptValue* v = gCharTest.GameObject->Locals->GetName("player"))
            playerObject = std::dynamic_pointer_cast<zScriptObject>(v->GetObject());
    }
    if (playerObject && gCharTest.Player && gCharTest.Player->Item) {
        gCharTest.Player->Item->ScriptObject = playerObject;
        playerObject->Origin = gCharTest.Player;
        Send(playerObject, "onLoad");
    } else {
        Log("WARN", proc, "The game object holds no player object");
    }

    // 28. Show the window and let the timer run frames.
    if (zCore.Initialized) {
        if (Window) {
            Window->Show();
            // Pending events once: what arrives now (a first size, a focus) is
            // seen by the first frame.
            WindowEvent e;
            while (Window->PollEvent(e)) DispatchEvent(e);
        }
        Running = true;
    } else if (!Closed) {
        return FrameworkDidNotStart(proc);
    }
    zCore.CurrentProc = proc;
    return true;
}

void frmMainForm::Form_Unload() {
    if (Unloading || Closed) return;
    Unloading = true;
    Running = false;
    // A stop signal from now on finds the program ending already: the
    // watchdog gives it the time it takes.
    BeginOrderlyStop();
    Send(gCharTest.GameObject, "onExit");
    ZUN_Release();
    Closed = true;
    // Whoever asked (a script inside a tick, a key, the console) must never
    // get back to the released devices.
    if (auto exit = ExitProcess) exit(ExitStatus);
}

void frmMainForm::UseVirtualClock() {
    VirtualClock = true;
    // Start where a freshly booted machine would not be: any value serves.
    VirtualTicks = 1000000;
    SetTickSource([this] { return VirtualTicks; });
    // Noon, moving with the virtual clock.
    mClock.Source = [this] { return 43200.0 + double(VirtualTicks - 1000000) / 1000.0; };
}

void frmMainForm::DispatchEvent(const WindowEvent& e) {
    // The shell's own windows take their own events.
    if (ShellWindows_Event(e)) return;
    switch (e.Type) {
        case WindowEventType::Close:
        case WindowEventType::Quit:
            if (!Closed) Form_Unload();
            break;
        case WindowEventType::Activated:
            Form_Activate();
            Form_GotFocus();
            break;
        case WindowEventType::KeyDown:
            Form_KeyDown(int16_t(e.Key), int16_t(e.Shift));
            break;
        case WindowEventType::KeyUp:
            Form_KeyUp(int16_t(e.Key), int16_t(e.Shift));
            break;
        case WindowEventType::MouseDown:
            Front_MouseDown(int16_t(e.Button), int16_t(e.Shift), float(e.X), float(e.Y));
            break;
        case WindowEventType::MouseUp:
            Front_MouseUp(int16_t(e.Button), int16_t(e.Shift), float(e.X), float(e.Y));
            break;
        case WindowEventType::MouseMove:
            Front_MouseMove(int16_t(e.Button), int16_t(e.Shift), float(e.X), float(e.Y));
            break;
        case WindowEventType::DevicesChanged:
            zDInput.UpdateAttachedDevices();
            break;
        default:
            break;
    }
}

void frmMainForm::RunFrameLoop(int32_t iMaxMs, int32_t iMaxFrames) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const int32_t virtualStart = VirtualTicks;
    auto nextTimer = start;
    constexpr int32_t kIntervalMs = 15;
    constexpr auto kInterval = std::chrono::milliseconds(kIntervalMs);
    auto dispatch = [this](const WindowEvent& e) { SkipOnFailure("frmMain", [&] { DispatchEvent(e); }); };
    std::vector<WindowEvent> scripted;
    if (Window) Window->OutliveDisplay();
    while (!Closed) {
        if (const int sig = StopSignal()) {
            Log("INF", "frmMain", "Stopped by signal " + std::to_string(sig));
            Form_Unload();
            break;
        }
        // The display went away under the game: nobody sees it or can end it.
        if (const std::string lost = LostDisplay(); !lost.empty()) {
            Log("ERR", "frmMain", "The display " + lost + " went away: the program ends");
            ExitStatus = 1;
            Form_Unload();
            break;
        }
        const auto now = Clock::now();
        const int64_t elapsed = VirtualClock ? int64_t(VirtualTicks) - virtualStart
                                             : std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
        if ((iMaxMs > 0 && elapsed >= iMaxMs) || (iMaxFrames > 0 && zCore.FrameCounter >= iMaxFrames)) {
            Form_Unload();
            break;
        }
        if (VirtualClock || now >= nextTimer) {
            // Like a window timer, a late event is not made up for.
            nextTimer = now + kInterval;
            if (Events) {
                scripted.clear();
                if (!Events->NextEvents(VirtualClock ? VirtualTicks : GetTickCount(), scripted)) {
                    Form_Unload();
                    break;
                }
                for (const WindowEvent& e : scripted) {
                    if (Closed) break;
                    dispatch(e);
                }
            }
            // What the window has waiting goes first, however long frames
            // take: a frame that takes longer than the timer's interval is
            // followed at once by the next, and input read only while the
            // loop waits would wait for as long as frames run late.
            WindowEvent e;
            while (Window && !Closed && Window->PollEvent(e)) dispatch(e);
            if (Closed) break;
            // A failure in one frame is logged; the next frame runs.
            SkipOnFailure("tmrMain_Timer", [this] { tmrMain_Timer(); });
            if (VirtualClock) VirtualTicks += kIntervalMs;
            continue;
        }
        const int32_t wait =
            int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(nextTimer - now).count()) + 1;
        WindowEvent e;
        if (Window) {
            if (Window->PollEvent(e, wait)) {
                dispatch(e);
                // Drain what is queued before the next frame.
                while (!Closed && Window->PollEvent(e)) dispatch(e);
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        }
    }
}

}  // namespace tarv
