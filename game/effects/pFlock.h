// A cursor sparkle: an orange speck that drops from its height, settles on
// the ground and fades in and out; short lives are far more frequent than
// long ones. Drawn in the scene pass.
#pragma once

#include "core/zLerp.h"
#include "game/effects/zParticle.h"

namespace tarv {

class pFlock : public iParticle {
public:
    pFlock();

    std::string ClassName() const override { return "pFlock"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;

private:
    zun::zLerp fade_;
};

}  // namespace tarv
