// The render pipeline of the main window: every frame the tick runs the
// off-screen passes (RenderGamePre: shadow map, light map, reflections, in
// this order) and then draws the frame (RenderGame): ground, reflections,
// walls, items, characters, particles, roofs, clouds and fog, the light and
// shadow maps, the weather, the debug views, the interface, the lens, the
// debug overlay, the gestures and a black frame around the view. Each step
// is switched by a key of the settings store, read anew each time.
//
// The passes draw with a drawing zoom of 1.0 into their square targets, onto
// which the whole logical screen maps, and give the zoom back afterwards.
//
// Usage (the program's start-up):
//   gShellParts.RenderGamePre = RenderGamePre;
//   gShellParts.RenderGame = RenderGame;
#pragma once

#include <cstdint>
#include <string>

namespace tarv {

// The off-screen passes, then the frame.
void RenderGamePre();
void RenderGame();

// The light map into gCharTest.LightTarget: lamps, torch and the player's
// glow (times the shadow map), light particles and the ambient colour.
void RenderLights();
// The shadow map into gCharTest.ShadowTarget: white, darkened by base,
// point-light and sun shadows, with the objects cut out again in white.
void RenderShadows();
// The reflections into gCharTest.MirrorTarget, masked to the water cells.
void RenderMirrors();
// Lays the reflections over the ground in the current blend mode and depth:
// whole, or in horizontal strips iWaveSize pixels high shifted by a wave of
// amplitude iWaveFactor. A strip height of 0 is taken as 1 and written back.
// iConnected draws the strips as one seamless mesh.
void DrawMirrors(int32_t iColor, int32_t& iWaveSize, float iWaveFactor, bool iConnected);
// The text overlay of the debug switch (F4): frame rate, game time, quads
// drawn, and the names of what is under the cursor.
void RenderDebugData();

// "hh:nn" of a game time in thousandths of a day (750 is 18:00).
std::string FormatGameTime(float iGameTime);

namespace render {
// The settings as the pipeline reads them: a Byte or Long with the default 0
// (0 as well while there is no settings store).
uint8_t SettingByte(const std::string& iKey);
int32_t SettingLong(const std::string& iKey);
// A switch that is on only at exactly 1.
inline bool On(const std::string& iKey) { return SettingByte(iKey) == 1; }

// A pass drawing into its target: the drawing zoom is kept and set to 1.0 and
// the target's scene begun; End (or leaving the scope, also when a step
// failed) ends the scene and gives the zoom back.
class TargetScene {
public:
    TargetScene(int32_t iClearColor, int32_t iTarget);
    ~TargetScene();
    TargetScene(const TargetScene&) = delete;
    TargetScene& operator=(const TargetScene&) = delete;
    void End();

private:
    float keptZoom_;
    bool open_ = true;
};
}  // namespace render

}  // namespace tarv
