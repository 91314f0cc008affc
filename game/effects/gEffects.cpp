#include "game/effects/gEffects.h"

#include "core/zRuntime.h"
#include "game/effects/gParticleSystem.h"

namespace tarv {

EffectsState gEffects;

gParticleSystem& MainParticles() {
    if (!gEffects.Particles) zun::Raise(zun::errObjectNotSet);
    return *gEffects.Particles;
}

}  // namespace tarv
