// A lantern's spark: thrown up, falls back under a small gravity and lies
// where it lands, red-orange, growing and shrinking while it fades in and
// out. Drawn in the scene pass, added to the target.
#pragma once

#include "core/zLerp.h"
#include "game/effects/zParticle.h"

namespace tarv {

class pSpark : public iParticle {
public:
    pSpark();

    std::string ClassName() const override { return "pSpark"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;

private:
    zun::zLerp fade_, size_;
};

}  // namespace tarv
