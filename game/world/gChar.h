// A character of the game world: the player, the people of a level and the
// decoration characters. A map item (values, flags, optional script object)
// plus a sprite cut from a character sheet, a facing angle, a walk animation,
// a footprint ellipse with a ring of contact points for collision, and an
// optional path it follows by itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zInterfaces.h"
#include "core/zVector.h"

namespace zun {
class zCamera;
class zCollisionMap;
class zItem;
class zItemMap;
class zSprite;
}  // namespace zun

namespace tarv {

class gCharset;
class gPath;

// One point of the contact ring, relative to the sprite position.
struct ContactPoint {
    float OffsetX = 0, OffsetY = 0;
    float Angle = 0;  // direction of the point from the centre (not normalised)
    float SpanPlus = 0, SpanMinus = 0;  // the directions of motion it faces
    uint8_t State = 0;  // for the debug view: 0 not tested, 1 free, 2 blocked
};

// A plain position record.
class cPos3D {
public:
    float x = 0, y = 0, Z = 0;
    zun::Vector3 Vector() const { return {x, y, Z}; }
};

// Frame widths beyond this give no sensible contact ring; a sheet claiming one
// is refused rather than allowed to size the ring.
inline constexpr int32_t kMaxCharFrameWidth = 65536;

class gChar : public zun::iChunk {
public:
    std::shared_ptr<zun::zItem> Item;
    std::shared_ptr<zun::zSprite> Sprite;
    std::shared_ptr<gCharset> CharSet;
    std::string CharSetGUID;  // between Import and ImportInstances
    float Angle = 0;          // facing, 0 <= Angle < 2 pi (0 right, pi/2 down)
    float Speed = 0;          // pixels per frame along MovePath
    uint8_t CollisionShape = 0;  // 0 none, 1 ellipse, 2 box, 3 sprite rectangle
    uint8_t CollisionFlags = 1;  // mask for the collision map's test
    bool Animate = false;        // moved this frame; cleared by Update
    bool PathStepped = false;    // the player mover walked MovePath this frame; cleared by Update
    int32_t AniFrame = 0;
    int32_t AniNext = 0;  // frame counter after which the next walk frame shows
    int32_t AniWalkOffset = 0;
    float RadiusX = 0, RadiusY = 0;  // contact ring radii
    float DestX = 0, DestY = 0;      // pixel target of the current waypoint
    std::shared_ptr<gPath> MovePath;

    gChar();

    std::string ClassName() const override { return "gChar"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<zun::iChunk> Create() const override { return std::make_shared<gChar>(); }
    // Reading or writing failures are logged; the result is then False.
    // Export needs a sheet and a sprite.
    bool Export(zun::zStream& iData) override;
    bool Import(zun::zStream& iData) override;
    // Adds the sheet to the file as a chunk of its own.
    void ExportInstances(zun::zFile& iFile) override;
    // Resolves CharSetGUID; SetCharSet is left to whoever needs the derived values.
    void ImportInstances(zun::zFile& iFile) override;

    // Takes a sheet: sprite texture, source and origin, the contact ring, and
    // the source row of the current facing.
    void SetCharSet(const std::shared_ptr<gCharset>& iSet);
    void SetAngle(float iAngle);
    // The per-frame step: the script object's "onUpdate", path following and
    // the walk animation. A missing item, sprite or sheet raises "Object
    // variable not set" for the caller to handle.
    void Update();
    // The contact shadow stretched over the footprint ellipse.
    void RenderShadow(const zun::zCamera& iCam, float iTopZ, float iBottomZ) const;

    // Collision and movement.
    bool CheckCollision(float iX, float iY) const;
    bool CheckHit(float iX, float iY, float iTolerance) const;
    bool CheckMoveCollision(const zun::zCollisionMap* iCollisionMap, const zun::zItemMap* iItemMap, float iAngle,
                            float iSpeed);
    bool TryToMove(const zun::zCollisionMap* iColMap, float iAngle, float iSpeed, float iMaxTryAngle = 1.570796f,
                   float iMinTrySpeed = 0);
    void RenderContacts(const zun::zCamera& iCam);

    // One step along the path; True when the character moved. After a blocked
    // step iPath holds a newly planned way to the same end, not yet started.
    bool MoveAlongPath(const zun::zCollisionMap* iColMap, const std::shared_ptr<gPath>& iPath, float iSpeed);

    // The contact ring, points 1..ContactCount.
    int32_t ContactCount() const { return static_cast<int32_t>(contacts_.size()); }
    const ContactPoint& Contact(int32_t i) const { return contacts_.at(size_t(i) - 1); }

private:
    std::vector<ContactPoint> contacts_;

    void BuildContacts(int32_t iFrameW);
};

}  // namespace tarv
