#include "game/effects/gLantern.h"

#include "core/zRuntime.h"
#include "game/effects/gEffects.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/gWeather.h"
#include "scene/zParticleEmitter.h"
#include "scene/zSceneHooks.h"

namespace tarv {

using namespace zun;

void UpdateCustomEmitter(zParticleEmitter& iEmitter) {
    if (iEmitter.ManagerName != "Laterne") return;
    if (Rnd() > 0.1f) return;
    const double ex = iEmitter.x;
    const double r3 = Rnd();
    const double ey = iEmitter.y;
    const double r2 = Rnd();
    const double ez = iEmitter.Z;
    const double r1 = Rnd();
    gParticleSystem& ps = MainParticles();
    auto spark =
        ps.CreateParticle("pSpark", ToSingle(ex + (r3 - 0.5) * 4.0), ToSingle(ey + 10.0 + (r2 - 0.5) * 4.0),
                          ToSingle(ez + (r1 - 0.5) * 4.0), 0.0f, 0);
    // The smoke rises from the spark; a system without sparks gets no smoke either.
    if (!spark) return;
    if (Rnd() > 0.5f) {
        const double r4 = Rnd();
        const double r5 = Rnd();
        ps.CreateParticle("pSmoke", spark->x, spark->y, ToSingle(double(spark->Z) + 10.0 + 4.0 * r4),
                          ToSingle(6.283186 * r5), 0);
    }
}

void InstallSceneHooks() {
    gSceneHooks.UpdateCustomEmitter = [](zParticleEmitter& e) { UpdateCustomEmitter(e); };
    gSceneHooks.ShapeCamera = [] { return gWeather.Camera; };
}

}  // namespace tarv
