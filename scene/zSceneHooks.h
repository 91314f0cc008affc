// The few game values that framework drawing and updating read. The framework
// never includes a game header: the game fills these slots at start-up, tests
// fill them themselves. An empty slot means "nothing there" (font 0, texture
// 0, no camera, no custom update).
//
// Usage:
//   gSceneHooks.FontArial = zFont.LoadFont("arial", ".png", 0);
//   gSceneHooks.ShapeCamera = [cam] { return cam; };
//   gSceneHooks.UpdateCustomEmitter = [](zParticleEmitter& e) { ... };
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace zun {

class zCamera;
class zParticleEmitter;

struct SceneHooks {
    // Font handle of the game's "arial" bitmap font; the collision overlay
    // writes cell codes with it. 0 (no font) draws no text.
    int32_t FontArial = 0;
    // Texture handle of the editor symbols (the sound emitter's marker). 0 = none.
    int32_t SymbolTexture = 0;
    // The view camera the game's weather module keeps; shapes draw through it,
    // not through the camera handed to Render. Empty or null: shapes draw nothing.
    std::function<std::shared_ptr<zCamera>()> ShapeCamera;
    // Called by every particle-emitter update with the emitter itself.
    std::function<void(zParticleEmitter&)> UpdateCustomEmitter;
};
extern SceneHooks gSceneHooks;

}  // namespace zun
