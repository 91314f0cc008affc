// A rain streak: the whole rain texture anchored at its bottom centre, falling
// 10 pixels a frame for 40 frames, leaning and drifting with the wind it was
// made in, fading in and out. Drawn in the scene pass, added to the target.
#pragma once

#include "core/zLerp.h"
#include "game/effects/zParticle.h"

namespace tarv {

class pRain : public iParticle {
public:
    pRain();

    std::string ClassName() const override { return "pRain"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;

private:
    zun::zLerp fade_;
};

}  // namespace tarv
