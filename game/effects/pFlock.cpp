#include "game/effects/pFlock.h"

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "game/effects/gEffects.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

pFlock::pFlock() : fade_(MakeCurve({{0, 0}, {0.25f, 0.25f}, {0.75f, 0.25f}, {1, 0}})) {}

void pFlock::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.x = iX;
    p.y = iY;
    p.Z = iZ;
    p.R = 0;
    p.Dir = ToSingle(6.283186 * Rnd());
    p.Speed = ToSingle(double(Rnd()) * 0.5);
    p.SpeedZ = 0;
    p.Gravity = 0.1f;
    p.BounceSpeed = 0;
    p.Bounce = 0;
    p.Texture = gEffects.ParticleTexture;
    p.SourceX = RandomCell(7);
    p.SourceY = 0;
    p.W = kParticleCell;
    p.H = kParticleCell;
    p.ColorR = 1.0f;
    p.ColorG = 0.5f;
    p.ColorB = 0.3f;
    p.ColorA = 0.1f;
    p.ZoomX = ToSingle(double(Rnd()) / 4.0 + 0.2);
    p.ZoomY = p.ZoomX;
    p.OriginX = 16;
    p.OriginY = 16;
    p.ClipW = 32;
    p.ClipH = 32;
    p.LifeMax = DrawLifetime(10, 140, 2.5f);
}

bool pFlock::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 0, 11, 0.8f, 0.5f);
}

void pFlock::Update(zParticle& p) {
    FallWithWind(p, 2.0);
    p.ColorA = fade_.GetValue(LifeFraction(p));
}

}  // namespace tarv
