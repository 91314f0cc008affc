// One particle: plain data that a particle kind fills, moves and fades, and
// the kind interface itself. A particle system owns the live records; a kind
// object is registered with the system once and serves every particle of its
// kind, so everything that differs between particles lives in the record.
//
// Records are shared: the system holds one reference per live particle and a
// Link holds another, so a glow can still read the sparkle it follows after
// that sparkle has left the system.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zun {
class zLerp;
class zValues;
}  // namespace zun

namespace tarv {

class iParticle;

class zParticle {
public:
    bool Dead = false;                   // removed at the end of the current update pass
    std::shared_ptr<iParticle> Manager;  // the kind; set by the system before Create
    std::shared_ptr<zParticle> Link;     // the particle this one is tied to (a glow's sparkle)
    float x = 0, y = 0;                  // ground position, map pixels
    float Z = 0;                         // height above the ground: drawn that much higher
    float R = 0;                         // rotation of the drawn quad
    float Dir = 0;                       // direction of ground motion
    float Speed = 0;                     // ground speed per frame
    float SpeedZ = 0;                    // vertical speed per frame, up is positive
    float Gravity = 0;                   // taken off SpeedZ every frame by the falling kinds
    float BounceSpeed = 0;
    float Bounce = 0;
    int32_t Texture = 0;
    int32_t SourceX = 0, SourceY = 0;  // source rectangle in the texture
    int32_t W = 0, H = 0;
    float Alpha = 0;  // transparency: 0 opaque, 1 invisible
    float ColorR = 0, ColorG = 0, ColorB = 0, ColorA = 0;
    float OriginX = 0, OriginY = 0;  // pivot inside the unscaled source rectangle
    float ZoomX = 1.0f, ZoomY = 1.0f;
    float ClipW = 0, ClipH = 0;             // half extents of the box the view test uses
    int32_t LifeMax = 0;                    // frames; 0 = unlimited
    int32_t LifeTime = 0;                   // age in frames; drawn and updated only above 0
    std::shared_ptr<zun::zLerp> AlphaLerp;  // free per-particle curve slots
    std::shared_ptr<zun::zLerp> ZoomLerp;
    int32_t User = 0;  // given at creation; meaning is the kind's
};

// A particle kind. The system calls it; nothing else does.
class iParticle {
public:
    virtual ~iParticle() = default;
    // The kind's constant name, the key it is registered and created under.
    virtual std::string ClassName() const = 0;
    // Fills a new record once, after Manager (and Link) are set and before the
    // record joins the system. A kind may ignore any of the position arguments.
    virtual void Create(zParticle& iParticle, float iX, float iY, float iZ, float iR, int32_t iUser) = 0;
    // True when the kind's particles are drawn in render pass iMode (0 scene,
    // 1 light); it then writes "AlphaMode", "TopZ", "BottomZ" (and may write
    // "ZoomMul", "AlphaMul") into the fresh store iSettings.
    virtual bool SetupRenderer(int32_t iMode, zun::zValues& iSettings) = 0;
    // One frame of motion and fading.
    virtual void Update(zParticle& iParticle) = 0;
};

}  // namespace tarv
