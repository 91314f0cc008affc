#include "game/effects/pWave.h"

#include "core/zRuntime.h"
#include "game/effects/gEffects.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

void pWave::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.x = iX;
    p.y = iY;
    p.Z = iZ;
    p.R = 0;
    p.Texture = gEffects.ParticleTexture;
    p.SourceX = RandomCell(2);
    p.SourceY = 64;
    p.W = kParticleCell;
    p.H = kParticleCell;
    p.ColorR = 0;
    p.ColorG = 0.4f;
    p.ColorB = 1.0f;
    p.ColorA = 0;
    p.OriginX = 16;
    p.OriginY = 16;
    p.ZoomX = p.ZoomY = 0.25f;
    p.ClipW = 32;
    p.ClipH = 32;
    p.LifeMax = DrawLifetime(15, 20, 2.0f);
}

bool pWave::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 0, 11, 0.8085f, 0.5085f);
}

void pWave::Update(zParticle& p) {
    // The ring grows to a full cell, twice as wide as tall, while it fades.
    const float f = ToSingle(Div(1.0, double(p.LifeMax)) * p.LifeTime);
    p.ZoomX = f;
    p.ZoomY = ToSingle(double(p.ZoomX) / 2.0);
    p.Alpha = ToSingle(1.0 - double(f));
    p.ColorA = p.Alpha;
}

}  // namespace tarv
