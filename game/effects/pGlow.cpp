#include "game/effects/pGlow.h"

#include "core/zRuntime.h"
#include "game/effects/pCommon.h"

namespace tarv {

using namespace zun;

void pGlow::Create(zParticle& p, float iX, float iY, float iZ, float iR, int32_t iUser) {
    p.User = iUser;
    const zParticle* L = p.Link.get();
    if (!L) return;
    p.x = L->x;
    p.y = L->y;
    p.Z = L->Z;
    p.R = L->R;
    p.Texture = L->Texture;
    p.W = L->W;
    p.H = L->H;
    p.SourceX = L->SourceX;
    p.SourceY = L->SourceY;
    p.ColorR = L->ColorR;
    p.ColorG = L->ColorG;
    p.ColorB = L->ColorB;
    p.OriginX = float(p.W) / 2.0f;
    p.OriginY = float(p.H) / 2.0f;
    p.ClipW = float(MulLong(p.W, iUser));
    p.ClipH = float(MulLong(p.H, iUser));
}

bool pGlow::SetupRenderer(int32_t iMode, zValues& iSettings) {
    return SetupPass(iMode, iSettings, 1, 11, 0, 0);
}

void pGlow::Update(zParticle& p) {
    const zParticle* L = p.Link.get();
    if (!L) {
        p.Dead = true;
        return;
    }
    p.x = L->x;
    p.y = L->y;
    p.Z = L->Z;
    p.R = L->R;
    p.ZoomX = ToSingle(double(L->ZoomX) * p.User);
    p.ZoomY = ToSingle(double(L->ZoomY) * p.User);
    p.Alpha = L->Alpha;
    p.ColorA = L->ColorA;
    // The glow ages with its link, so both reach the end of their lives together.
    p.LifeTime = L->LifeTime;
    p.LifeMax = L->LifeMax;
}

}  // namespace tarv
