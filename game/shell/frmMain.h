// The main window: the program's start-up and shut-down, the frame tick, the
// mouse and key events of the drawing surface, the interface update with the
// message box, the render zoom, full screen, and the player's character set,
// particle systems and footsteps. One instance, `frmMain`; the program-wide
// game state lives in `gCharTest` (game/world/gCharTest.h).
//
// The drawing surface is the window's client area. With no window (tests, or
// no video at all) the framework draws offscreen and the surface is the
// offscreen size.
//
// The shell's other modules (the compiler run, settings and their windows,
// the render pipeline) are reached through `gShellParts`: the program fills
// the slots at start-up, tests fill them with stand-ins. An empty slot does
// nothing; an empty compiler slot counts as a missing compiler.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zun {
class Window;
class EventSource;
struct WindowEvent;
class zScriptObject;
class zCamera;
class zFile;
class zDataShape;
}  // namespace zun

namespace tarv {

class GroundCopy;

struct ShellParts {
    // Compiles each word of the trimmed command line; False ends the start-up.
    std::function<bool(const std::string& iParams)> ExecuteParams;
    // Writes the settings defaults into gCharTest.Settings / applies them.
    std::function<void()> SetDefaultSettings;
    std::function<void()> ApplySettings;
    // The off-screen passes and the frame.
    std::function<void()> RenderGamePre;
    std::function<void()> RenderGame;
    // The settings window (F1) and the console window (F10).
    std::function<bool()> SettingsVisible;
    std::function<void()> ShowSettings;
    std::function<bool()> ConsoleVisible;
    std::function<void()> ShowConsole;
    std::function<void()> UnloadConsole;
};
extern ShellParts gShellParts;

struct frmMainForm {
    // ---- the window ------------------------------------------------------
    // Not owned; null draws offscreen.
    zun::Window* Window = nullptr;
    // False until the end of Form_Load; the tick does nothing while False.
    bool Running = false;
    // Set by Form_Unload; the frame loop ends and the program with it.
    bool Closed = false;
    // Ends the process once Form_Unload has shut down (the program flushes
    // and exits); nothing after it may run, since the devices are gone. Empty
    // returns to the caller, as tests of single steps want.
    std::function<void(int32_t iStatus)> ExitProcess;
    // The status it is given: 1 when the program ends on an error (its
    // display went away), else 0.
    int32_t ExitStatus = 0;

    std::shared_ptr<zun::zCamera> Camera;
    // Chunk file of the current level (set by level loading).
    std::shared_ptr<zun::zFile> LevelFile;
    // Drawing-surface units per screen pixel; mouse coordinates are divided by them.
    float MouseScaleX = 1.0f, MouseScaleY = 1.0f;
    // ARGB ambient colour of the current frame, read by the render pipeline.
    int32_t AmbientColor = 0;
    // The debug overlay (F4).
    bool ShowDebug = false;
    // A message box is open or closing.
    bool MessageShown = false;
    // "debug" was the command line.
    bool DebugRequest = false;
    // The "music" script object; the music setups run their timed calls on it.
    std::shared_ptr<zun::zScriptObject> MusicObject;

    // Form_Unload is running: an "onExit" that quits again changes nothing.
    bool Unloading = false;

    // ---- kept between calls ----------------------------------------------
    // System tick count (ms) of the last frame let through by the limiter.
    int32_t LastFrameTick = 0;
    // The area the player stood in last frame.
    std::shared_ptr<zun::zDataShape> CurrentArea;
    // Mute switch (M) and the master volumes it saved.
    bool Muted = false;
    float SavedSoundVolume = 0, SavedMusicVolume = 0, SavedMidiVolume = 0;
    // The window's place and size before full screen.
    int32_t WindowedLeft = 0, WindowedTop = 0, WindowedWidth = 0, WindowedHeight = 0;
    // The ground as the render pipeline last drew it, kept to draw it again.
    std::shared_ptr<GroundCopy> Ground;
    // Footsteps.
    int32_t LastStepFrame = 0;
    int32_t LastStepSoundFrame = 0;
    bool LeftFoot = false;

    // The millisecond clock of the frame limiter; empty = the system's.
    std::function<int32_t()> TickSource;

    // ---- scripted runs ------------------------------------------------------
    // A scripted user (tests, soak runs) whose events the frame loop takes
    // before each timer event; not owned.
    zun::EventSource* Events = nullptr;
    // The virtual clock: with it on, the system tick count, the time of day
    // and the random seed follow VirtualTicks, which the frame loop moves by
    // one timer interval per timer event instead of waiting for the wall clock.
    bool VirtualClock = false;
    int32_t VirtualTicks = 0;
    void UseVirtualClock();

    // ---- start-up and shut-down -------------------------------------------
    // The whole start-up; False when the process must end (command line
    // failed, or no window could be opened). True with zun::zCore.Initialized
    // False means the window stays hidden and nothing runs.
    bool Form_Load(const std::string& iCommandLine);
    // "onExit" to the game object, the framework released, Closed set.
    void Form_Unload();

    // ---- frame loop ---------------------------------------------------------
    // One frame (the 15 ms timer's event).
    void tmrMain_Timer();
    // Runs the window's events and the timer until the window is closed;
    // iMaxMs > 0 closes it after that many milliseconds and iMaxFrames > 0
    // after that many frames (headless runs).
    void RunFrameLoop(int32_t iMaxMs = 0, int32_t iMaxFrames = 0);
    // Hands one window event to the form's handler for it.
    void DispatchEvent(const zun::WindowEvent& e);

    // ---- mouse and keys -------------------------------------------------------
    void Front_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void Front_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
    void Front_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
    void Form_KeyDown(int16_t KeyCode, int16_t Shift);
    void Form_KeyUp(int16_t KeyCode, int16_t Shift);
    void Form_Activate();
    void Form_GotFocus();
    // The drawing surface's size in mouse-event units.
    void FrontSize(int32_t& oW, int32_t& oH) const;

    // ---- interface ----------------------------------------------------------
    void UpdateInterface();
    void CreateTextBoxes();
    // Clamps iZoom to 1.0..3.8 (written back), sets the drawing zoom, the
    // camera's view and the interface layout.
    void SetRenderZoom(float& iZoom);
    void SetFullScreen(bool iFull);
    void RemoveBorder(zun::Window* hWnd);
    void AddBorder(zun::Window* hWnd);

    // ---- player and particles -----------------------------------------------
    void CreateCharSets();
    void CreateParticles();
    void CreatePlayerSteps();
};
extern frmMainForm frmMain;

// The twelve script globals, set from their sources (start-up and every tick).
void SetScriptGlobals();

}  // namespace tarv
