// The character's data, stored form, facing, per-frame step and walk animation.
#include "game/world/gChar.h"

#include <cmath>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "scene/zCamera.h"
#include "scene/zItem.h"
#include "scene/zLayer.h"
#include "scene/zSprite.h"
#include "script/zScriptObject.h"

namespace tarv {

using namespace zun;

namespace {

template <class T>
T& Need(const std::shared_ptr<T>& p) {
    if (!p) Raise(errObjectNotSet);
    return *p;
}

}  // namespace

gChar::gChar() { Meta = std::make_shared<zValues>(); }

bool gChar::Export(zStream& iData) {
    return Trap("Char_Export", false, [&] {
        // Checked before anything is written, so a failed export leaves no half record.
        zSprite& sprite = Need(Sprite);
        gCharset& set = Need(CharSet);
        sprite.Export(iData, true);
        zCore.CurrentProc = "Char_Export";
        iData.WriteString(set.GUID);
        iData.WriteSingle(Angle);
        iData.WriteBool(Animate);
        iData.WriteLong(AniFrame);
        iData.WriteLong(AniNext);
        return true;
    });
}

bool gChar::Import(zStream& iData) {
    return Trap("Char_Import", false, [&] {
        Sprite = std::make_shared<zSprite>();
        Sprite->Import(iData, true);
        zCore.CurrentProc = "Char_Import";
        iData.ReadString(CharSetGUID);
        iData.ReadSingle(Angle);
        iData.ReadBool(Animate);
        iData.ReadLong(AniFrame);
        iData.ReadLong(AniNext);
        // A stored moment of the old run means nothing now: animate at once.
        AniNext = 0;
        return true;
    });
}

void gChar::ExportInstances(zFile& iFile) {
    // Without a sheet there is nothing to add; Export reports the missing sheet.
    if (CharSet) iFile.AddInstance(CharSet);
}

void gChar::ImportInstances(zFile& iFile) {
    CharSet = std::dynamic_pointer_cast<gCharset>(iFile.GetInstance(CharSetGUID));
}

void gChar::SetCharSet(const std::shared_ptr<gCharset>& iSet) {
    gCharset& set = Need(iSet);
    zSprite& sprite = Need(Sprite);
    if (set.W > kMaxCharFrameWidth) Raise(errInvalidCall);
    CharSet = iSet;
    sprite.Texture = set.Texture;
    sprite.SrcX = set.x;
    sprite.SrcY = set.y;
    sprite.W = set.W;
    sprite.H = set.H;
    sprite.OriginX = float(set.OffsetX);
    sprite.OriginY = float(set.OffsetY);
    // Both radii come from the frame width: the footprint is a flat ellipse
    // whatever the figure's height.
    RadiusX = float(double(set.W) / 3.0);
    RadiusY = float(double(set.W) / 5.0);
    BuildContacts(set.W);
    SetAngle(Angle);
}

void gChar::SetAngle(float iAngle) {
    Angle = zMath::NormalizeAngle(iAngle);
    gCharset& set = Need(CharSet);
    zSprite& sprite = Need(Sprite);
    const int32_t D = set.FramesY;
    int32_t dir = 0;
    // Row 0 faces up the screen; the rows turn clockwise.
    if (D >= 2) dir = Mod(CLng(double(D) / 6.283186 * (double(Angle) + 1.570796)), D);
    sprite.SrcY = CLng(double(set.y) + double(dir) * double(set.H));
}

void gChar::Update() {
    zItem& item = Need(Item);
    // Held here: the script may drop the character's item or object while it runs.
    if (std::shared_ptr<zScriptObject> so = item.ScriptObject) {
        zSprite& sprite = Need(Sprite);
        if (so->Locals) {
            so->Locals->SetNameValue("_x", HostValue(sprite.x));
            so->Locals->SetNameValue("_y", HostValue(sprite.y));
            so->Locals->SetNameValue("_z", HostValue(sprite.Z));
            so->Locals->SetNameValue("_r", HostValue(sprite.R));
        }
        so->Execute("onUpdate");
    }

    // A walk at Speed 0 takes no step: it turns to the waypoint and plans the
    // way anew. For the player whose mover walked this path moments ago and
    // left Speed 0 (it did not move), that planning is already done.
    const bool planned = PathStepped && Speed == 0;
    PathStepped = false;
    if (MovePath && MovePath->WayPointCount > 0 && !planned)
        Animate = MoveAlongPath(gCharTest.mapCollision.get(), MovePath, Speed);

    const std::shared_ptr<gCharset> setRef = CharSet;
    gCharset& set = Need(setRef);
    zSprite& sprite = Need(Sprite);
    if (set.AlwaysAnimate) Animate = true;
    if (Animate) {
        if (set.FramesX > 0 && AniNext < zCore.FrameCounter) {
            AniNext = AddLong(zCore.FrameCounter, set.AniWait);
            AniFrame = Mod(AddLong(AniFrame, 1), set.FramesX);
            sprite.SrcX = CLng(double(set.x) + (double(AniFrame) + double(AniWalkOffset)) * double(set.W));
        }
    } else {
        AniFrame = 0;
        sprite.SrcX = set.x;
    }
    Animate = false;
}

void gChar::RenderShadow(const zCamera& iCam, float iTopZ, float iBottomZ) const {
    const zSprite& s = Need(Sprite);
    zDDraw.RenderZ = ToSingle(double(iTopZ) - (double(iTopZ) - iBottomZ) * LayerDiv(double(s.y) - iCam.y, iCam.H));
    const double rx = double(s.ZoomX) * RadiusX, ry = double(s.ZoomY) * RadiusY;
    float w = ToSingle(2 * rx), h = ToSingle(2 * ry);
    int32_t sw = 0, sh = 0;
    zDDraw.Blt(gCharTest.ShadowTexture, ToSingle(s.x - rx - iCam.x), ToSingle(s.y - ry - iCam.y), w, h, 0, 0, sw,
               sh, zDDrawModule::GetColorRGB(1, 1, 1), 1.0f);
}

}  // namespace tarv
