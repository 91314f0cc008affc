#include "game/effects/pSpark.h"

#include "core/zRuntime.h"
#include "game/effects/gEffects.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

pSpark::pSpark()
    : fade_(MakeCurve({{0, 0}, {0.25f, 0.25f}, {0.75f, 0.25f}, {1, 0}})),
      size_(MakeCurve({{0, 0.4f}, {0.15f, 0.8f}, {0.5f, 0.8f}, {1, 0.4f}})) {}

void pSpark::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.x = iX;
    p.y = iY;
    p.Z = iZ;
    p.R = 0;
    p.Dir = ToSingle(6.283186 * Rnd());
    p.Speed = ToSingle(double(Rnd()) * 0.3);
    p.SpeedZ = ToSingle(double(Rnd()) * 0.2 + 0.2);
    p.Gravity = 0.01f;
    p.BounceSpeed = 0;
    p.Bounce = 0;
    p.Texture = gEffects.ParticleTexture;
    p.SourceX = RandomCell(7);
    p.SourceY = 0;
    p.W = kParticleCell;
    p.H = kParticleCell;
    p.ColorR = 1.0f;
    p.ColorG = 0.2f;
    p.ColorB = 0;
    p.ColorA = 0;
    p.OriginX = 16;
    p.OriginY = 16;
    p.ClipW = 32;
    p.ClipH = 32;
    p.LifeMax = DrawLifetime(80, 120, 1.2f);
}

bool pSpark::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 0, 10, 0.8f, 0.5f);
}

void pSpark::Update(zParticle& p) {
    const float t = LifeFraction(p);
    FallWithWind(p, 1.0);
    p.ColorA = fade_.GetValue(t);
    p.ZoomX = size_.GetValue(t) / 2.0f;
    p.ZoomY = p.ZoomX;
}

}  // namespace tarv
