// A footprint: a small black mark lying on the ground in the walking
// direction, fading out over the last quarter of its life. Drawn in the
// scene pass with plain alpha blending.
#pragma once

#include "core/zLerp.h"
#include "game/effects/zParticle.h"

namespace tarv {

class pTrack : public iParticle {
public:
    // Nothing reads these: the render parameters are the kind's constants.
    int32_t AlphaMode = 0;
    float TopZ = 0, BottomZ = 0;

    pTrack();

    std::string ClassName() const override { return "pTrack"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;

private:
    zun::zLerp fade_;
};

}  // namespace tarv
