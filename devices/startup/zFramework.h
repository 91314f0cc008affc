// Start-up and shut-down of the whole framework: the core's own state, the
// platform root object, the class registry and the script engine first
// (ZUN_Initialize), then the devices of the main window (Window_Initialize),
// and everything released again in one place (ZUN_Release).
#pragma once

#include <cstdint>
#include <functional>

namespace zun {

class Window;

// What the framework starts but does not own: the scene layers and the script
// engine live above the devices, so the game (or a test) hands their start-ups
// in before ZUN_Initialize. Empty slots are skipped.
struct FrameworkHooks {
    // Registers the scene chunk classes, in this order: zCamera,
    // zCollisionMap, zPictureLayer, zSpriteMap, zTileMap, zTileSet, zValueSetMap.
    std::function<void()> RegisterSceneClasses;
    std::function<void()> ScriptInitialize;
};
extern FrameworkHooks gFrameworkHooks;

// The drawing surface's size when Window_Initialize is given no window.
inline constexpr int32_t kOffscreenWidth = 640;
inline constexpr int32_t kOffscreenHeight = 480;

// Starts the framework; success is read from zCore.Initialized.
void ZUN_Initialize();

// Creates the devices for the main window (its client area is the drawing
// surface; null draws offscreen at kOffscreenWidth x kOffscreenHeight). True
// when drawing and input are available; sound and MIDI may be missing, which
// is only told to the user. A missing drawing device or input releases the
// framework and gives False.
bool Window_Initialize(Window* Owner, int32_t MaxMultiSample, bool UseStencil);

// Shuts the framework down; does nothing unless it is initialised, so a
// second call (or one before ZUN_Initialize) is harmless.
void ZUN_Release();

}  // namespace zun
