#include "game/effects/pSnow.h"

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "game/effects/gWeather.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

pSnow::pSnow() : fade_(MakeCurve({{0, 0}, {0.4f, 1}, {0.6f, 1}, {1, 0}})) {}

void pSnow::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.x = iX;
    p.y = iY;
    p.Z = iZ;
    p.SpeedZ = -2.0f;
    // Flakes drift their own way; the wind only pushes them while they fall.
    p.Dir = ToSingle(6.283186 * Rnd());
    p.Speed = zMath::RandomRange(0.2f, 1.0f, 1.0f, false);
    p.R = 0;
    p.BounceSpeed = 0;
    p.Bounce = 0;
    p.Texture = gWeather.SnowTexture;
    p.SourceX = 0;
    p.SourceY = 0;
    p.W = 256;
    p.H = 256;
    p.ColorR = p.ColorG = p.ColorB = p.ColorA = 1.0f;
    p.OriginX = 128;
    p.OriginY = 256;
    p.ClipW = 256;
    p.ClipH = 256;
    p.LifeMax = 40;
}

bool pSnow::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 0, 12, 0.8f, 0.5f);
}

void pSnow::Update(zParticle& p) {
    MoveWithWind(p, 2.0);
    if (p.LifeMax > 0) p.ColorA = fade_.GetValue(LifeFraction(p));
}

}  // namespace tarv
