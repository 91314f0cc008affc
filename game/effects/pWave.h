// A water ring: a blue ring on the water that grows from nothing to a flat
// ellipse while it fades, in 15 to 20 frames. Drawn in the scene pass, just
// behind the other ground marks.
#pragma once

#include "game/effects/zParticle.h"

namespace tarv {

class pWave : public iParticle {
public:
    // Nothing reads these: the render parameters are the kind's constants.
    int32_t AlphaMode = 0;
    float TopZ = 0, BottomZ = 0;

    std::string ClassName() const override { return "pWave"; }
    void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) override;
    bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) override;
    void Update(zParticle& iParticle) override;
};

}  // namespace tarv
