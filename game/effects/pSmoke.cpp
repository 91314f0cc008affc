#include "game/effects/pSmoke.h"

#include "core/zRuntime.h"
#include "game/effects/gEffects.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

pSmoke::pSmoke()
    : fade_(MakeCurve({{0, 1}, {0.25f, 0.7f}, {0.5f, 0.9f}, {1, 1}})),
      size_(MakeCurve({{0, 0.5f}, {0.5f, 0.7f}, {1, 1}})),
      grey_(MakeCurve({{0, 0}, {0.25f, 0.7f}, {0.5f, 0.5f}, {1, 0}})) {}

void pSmoke::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.x = iX;
    p.y = iY;
    p.Z = iZ;
    p.R = iR;
    p.Dir = ToSingle(6.283186 * Rnd());
    p.Speed = ToSingle(double(Rnd()) * 0.15);
    p.SpeedZ = ToSingle(double(Rnd()) * 0.2 + 0.3);
    p.Gravity = 0;
    p.BounceSpeed = 0;
    p.Bounce = 0;
    p.Texture = gEffects.ParticleTexture;
    p.SourceX = RandomCell(5);
    p.SourceY = 96;
    p.W = kParticleCell;
    p.H = kParticleCell;
    p.ColorR = p.ColorG = p.ColorB = p.ColorA = 1.0f;
    p.ZoomX = ToSingle(double(Rnd()) / 4.0 + 0.2);
    p.ZoomY = p.ZoomX;
    p.OriginX = 16;
    p.OriginY = 16;
    p.ClipW = 32;
    p.ClipH = 32;
    p.LifeMax = DrawLifetime(40, 70, 1.2f);
}

bool pSmoke::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 0, 3, 0.8f, 0.5f);
}

void pSmoke::Update(zParticle& p) {
    const float t = LifeFraction(p);
    FallWithWind(p, 3.0);
    p.Alpha = fade_.GetValue(t);
    p.ColorA = p.Alpha;
    p.ZoomX = size_.GetValue(t) / 2.0f;
    p.ZoomY = p.ZoomX;
    p.ColorR = grey_.GetValue(t);
    p.ColorG = p.ColorR;
    p.ColorB = p.ColorR;
}

}  // namespace tarv
