// The game state the effects read and the game shell owns: the main particle
// system and the two shared textures. The shell fills it at start-up (after
// loading "Demo Particles.png" and "Demo Shadow.png" and creating the
// particle systems); tests fill it themselves.
#pragma once

#include <cstdint>
#include <memory>

namespace tarv {

class gParticleSystem;

struct EffectsState {
    // The system of every scene particle; the weather's snow and rain and the
    // lantern's sparks and smoke go here.
    std::shared_ptr<gParticleSystem> Particles;
    // "Demo Particles.png": the 32-pixel cells of sparkles, sparks, smoke,
    // footprints and water rings.
    int32_t ParticleTexture = 0;
    // "Demo Shadow.png": stretched over every cast shadow.
    int32_t ShadowTexture = 0;
};
extern EffectsState gEffects;

// The main particle system; "Object variable not set" when the shell has not
// given one.
gParticleSystem& MainParticles();

}  // namespace tarv
