// What the particle kinds share: building a fade or size curve once, reading
// it at a particle's age, drawing a lifetime, the ground, wind and height
// steps of the kinds that move, and the render parameters of a pass.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "core/zLerp.h"
#include "game/effects/zParticle.h"

namespace zun {
class zValues;
}

namespace tarv {

// The particle texture's cells are 32 pixels square.
inline constexpr int32_t kParticleCell = 32;

// A curve through the key points (position, value) in the order given,
// sampled into 101 entries, linear, clamped to 0..1.
zun::zLerp MakeCurve(std::initializer_list<std::pair<float, float>> iKeys);

// LifeTime / LifeMax as the curves read it; a LifeMax of 0 raises "Division by zero".
float LifeFraction(const zParticle& p);

// CLng(RandomRange(iMin, iMax, iPower, False)): a lifetime in whole frames.
int32_t DrawLifetime(float iMin, float iMax, float iPower);

// Int(n * Rnd) * 32: the left edge of one of n cells of a row.
int32_t RandomCell(int32_t n);

// Ground motion by Dir and Speed, then the wind times iWindFactor, then the
// height by SpeedZ.
void MoveWithWind(zParticle& p, double iWindFactor);

// The kinds that fall: the motion above and gravity, only while above the
// ground, so a particle on the ground stays where it is.
void FallWithWind(zParticle& p, double iWindFactor);

// Writes the pass parameters when iMode is iPass; false for any other pass.
bool SetupPass(int32_t iMode, zun::zValues& iSettings, int32_t iPass, int32_t iAlphaMode, float iTopZ,
               float iBottomZ);

}  // namespace tarv
