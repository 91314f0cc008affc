// The glow of another particle (its Link), for the light map: the linked
// particle's cell, enlarged by the size factor given as User, following its
// position, rotation, fading and age every frame. A glow without a link has
// nothing to follow and dies at its first update.
#pragma once

#include "game/effects/zParticle.h"

namespace tarv {

class pGlow : public iParticle {
public:
    std::string ClassName() const override { return "pGlow"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;
};

}  // namespace tarv
