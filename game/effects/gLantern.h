// The game's side of the placed particle emitters. The framework hands every
// emitter to the game once per update; the game knows one effect, the lantern
// ("Laterne"): about one update in ten it throws a spark from just below the
// emitter, and every second spark on average comes with a puff of smoke above it.
// Emitters of any other name make nothing.
#pragma once

namespace zun {
class zParticleEmitter;
}

namespace tarv {

// Spawns the emitter's effect into the main particle system.
void UpdateCustomEmitter(zun::zParticleEmitter& iEmitter);

// Fills the scene layer's hooks that the effects answer: the custom-emitter
// update (UpdateCustomEmitter) and the camera that shapes draw through (the
// weather module's camera, read when a shape draws).
void InstallSceneHooks();

}  // namespace tarv
