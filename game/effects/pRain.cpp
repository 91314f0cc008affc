#include "game/effects/pRain.h"

#include <cmath>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "game/effects/gWeather.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

pRain::pRain() : fade_(MakeCurve({{0, 0}, {0.4f, 1}, {0.6f, 1}, {1, 0}})) {}

void pRain::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.x = iX;
    p.y = iY;
    p.Z = iZ;
    p.R = iR;
    // The wind at creation, its vertical half foreshortened by the view angle.
    const float wx = ToSingle(std::cos(double(gWeather.WindAngle)) * gWeather.WindStrength);
    const float wy = ToSingle(std::sin(double(gWeather.WindAngle)) * gWeather.WindStrength / 2.0);
    p.SpeedZ = -10.0f;
    // Falling 10 a frame seen from above at an angle moves the ground point a
    // quarter of that up the screen; the wind bends that track.
    const float up = ToSingle(-double(p.SpeedZ) / 4.0);
    p.Dir = ToSingle(double(zMath::GetAngle(0, up, wx, wy)) + (double(Rnd()) - 0.5) * 3.141593 / 16.0);
    p.Speed = zMath::GetDistance(0, up, wx, wy);
    // The streak leans with the wind; upright without it.
    p.R = ToSingle(double(zMath::GetAngle(-wx, wy, 0, up)) - double(zMath::PI_2));
    p.BounceSpeed = 0;
    p.Bounce = 0;
    p.Texture = gWeather.RainTexture;
    p.SourceX = 0;
    p.SourceY = 0;
    p.W = 256;
    p.H = 256;
    p.ColorR = p.ColorG = p.ColorB = p.ColorA = 1.0f;
    p.OriginX = float(p.W) / 2.0f;
    p.OriginY = float(p.H);
    p.ClipW = float(p.W);
    p.ClipH = float(p.H);
    p.LifeMax = 40;
}

bool pRain::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 0, 12, 0.8f, 0.5f);
}

void pRain::Update(zParticle& p) {
    MoveWithWind(p, 1.0);
    if (p.LifeMax > 0) p.ColorA = fade_.GetValue(LifeFraction(p));
}

}  // namespace tarv
