// A lantern's smoke puff: rises slowly, drifts, grows from a quarter to half
// a cell, goes from black to grey and back while it fades. Drawn in the scene
// pass with the colour-as-alpha blend.
#pragma once

#include "core/zLerp.h"
#include "game/effects/zParticle.h"

namespace tarv {

class pSmoke : public iParticle {
public:
    pSmoke();

    std::string ClassName() const override { return "pSmoke"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;

private:
    zun::zLerp fade_, size_, grey_;
};

}  // namespace tarv
