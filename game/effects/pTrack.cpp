#include "game/effects/pTrack.h"

#include "game/effects/gEffects.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

pTrack::pTrack() : fade_(MakeCurve({{0, 0.7f}, {0.75f, 0.7f}, {1, 1}})) {}

void pTrack::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.x = iX;
    p.y = iY;
    p.Z = iZ;
    p.R = iR;  // the walking direction
    p.Texture = gEffects.ParticleTexture;
    p.SourceX = 64;
    p.SourceY = 64;
    p.W = kParticleCell;
    p.H = kParticleCell;
    p.ColorR = p.ColorG = p.ColorB = p.ColorA = 0;
    p.OriginX = 16;
    p.OriginY = 16;
    p.ZoomX = p.ZoomY = 0.25f;
    p.ClipW = 32;
    p.ClipH = 32;
    p.LifeMax = DrawLifetime(50, 200, 2.0f);
}

bool pTrack::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 0, 2, 0.8f, 0.5f);
}

// Alpha is a transparency: 0.7 for most of the life, then out to invisible.
void pTrack::Update(zParticle& p) {
    p.Alpha = fade_.GetValue(LifeFraction(p));
}

}  // namespace tarv
