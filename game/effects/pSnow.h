// A snow flake: the whole snow texture anchored at its bottom centre, falling
// 2 pixels a frame for 40 frames while it drifts in a random direction and,
// twice as strongly as rain, with the wind; fading in and out. Drawn in the
// scene pass, added to the target.
#pragma once

#include "core/zLerp.h"
#include "game/effects/zParticle.h"

namespace tarv {

class pSnow : public iParticle {
public:
    pSnow();

    std::string ClassName() const override { return "pSnow"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;

private:
    zun::zLerp fade_;
};

}  // namespace tarv
