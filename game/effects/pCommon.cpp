#include "game/effects/pCommon.h"

#include <cmath>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "game/effects/gWeather.h"

namespace tarv {

using namespace zun;

zLerp MakeCurve(std::initializer_list<std::pair<float, float>> iKeys) {
    zLerp c;
    for (const auto& k : iKeys) c.AddPoint(k.first, k.second);
    c.CreateValues(100, false, true);
    return c;
}

float LifeFraction(const zParticle& p) {
    return ToSingle(Div(double(p.LifeTime), double(p.LifeMax)));
}

int32_t DrawLifetime(float iMin, float iMax, float iPower) {
    return CLng(zMath::RandomRange(iMin, iMax, iPower, false));
}

int32_t RandomCell(int32_t n) {
    return int32_t(Int(double(n) * Rnd())) * kParticleCell;
}

void MoveWithWind(zParticle& p, double iWindFactor) {
    p.x = ToSingle(double(p.x) + std::cos(double(p.Dir)) * p.Speed);
    p.y = ToSingle(double(p.y) + std::sin(double(p.Dir)) * p.Speed);
    // Still air moves nothing; the two turns per particle are saved then.
    const double wind = double(gWeather.WindStrength) * iWindFactor;
    if (wind != 0) {
        p.x = ToSingle(double(p.x) + std::cos(double(gWeather.WindAngle)) * wind);
        p.y = ToSingle(double(p.y) + std::sin(double(gWeather.WindAngle)) * wind);
    }
    p.Z = ToSingle(double(p.Z) + p.SpeedZ);
}

void FallWithWind(zParticle& p, double iWindFactor) {
    if (!(p.Z > 0)) return;
    MoveWithWind(p, iWindFactor);
    p.SpeedZ = ToSingle(double(p.SpeedZ) - p.Gravity);
}

bool SetupPass(int32_t iMode, zValues& iSettings, int32_t iPass, int32_t iAlphaMode, float iTopZ,
               float iBottomZ) {
    if (iMode != iPass) return false;
    iSettings.SetLong("AlphaMode", iAlphaMode);
    iSettings.SetSingle("TopZ", iTopZ);
    iSettings.SetSingle("BottomZ", iBottomZ);
    return true;
}

}  // namespace tarv
