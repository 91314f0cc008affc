// Scripts steering the object they belong to: a character's script moves,
// turns and animates its character, an item's script its item; both can turn
// the player and the caller towards each other. The calling object is found
// through the script object's origin (gScriptOrigin.h). Every argument is read
// before anything changes, so a call that lacks one changes nothing.
#include "core/zMath.h"
#include "core/zValues.h"
#include "game/scriptapi/gScript.h"
#include "game/scriptapi/gScriptOrigin.h"
#include "game/scriptapi/gScriptShared.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zSprite.h"

using namespace zun;

namespace tarv {

namespace {

// A quarter turn as scripts count directions: 1 right, 2 down, 3 left, 4 up.
constexpr float kQuarter = 1.570796f;

// Writes the sprite's values into the caller's scope, so that the script's
// own "_x" ... follow what it just set.
void SetScopeValue(GameCall& c, const char* iName, float iValue) {
    if (c.Values) c.Values->SetNameValue(iName, HostValue(iValue));
}

void setPlayerDir(GameCall& c) {
    const uint8_t d = c.Byte(1);
    gChar& player = Need(gCharTest.Player);
    player.SetAngle(zMath::NormalizeAngle(kQuarter * float(int32_t(d) - 1)));
}

void setPos(GameCall& c) {
    std::shared_ptr<zSprite> sprite = OriginSprite(c);
    if (!sprite) return;
    const float x = c.Place(1), y = c.Place(2);
    const bool withZ = c.Count == 3;
    const float z = withZ ? c.Single(3) : 0.0f;
    sprite->x = x;
    sprite->y = y;
    if (withZ) sprite->Z = z;
    SetScopeValue(c, "_x", sprite->x);
    SetScopeValue(c, "_y", sprite->y);
    SetScopeValue(c, "_z", sprite->Z);
}

void setCharZoom(GameCall& c) {
    std::shared_ptr<zItem> item = OriginCharItem(c);
    if (!item || !item->Sprite) return;
    const float zoom = c.Single(1);
    item->Sprite->ZoomX = zoom;
    item->Sprite->ZoomY = zoom;
}

void setCharColor(GameCall& c) {
    std::shared_ptr<zItem> item = OriginCharItem(c);
    const int32_t color = c.Long(1);
    zItem& it = Need(item);
    zValues& values = Need(it.Values);
    it.Colored = true;
    values.SetLong("_color", color);
}

void setDir(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    ch->SetAngle(c.Single(1));
}

void getDir(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    const float quarters = zMath::NormalizeAngle(ch->Angle) / kQuarter;
    // An angle a hair below a full turn divides to 4 quarters by rounding:
    // that is facing right again, so scripts only ever see 0 to 3.
    c.Result->SetLong(Mod(CLng(Int(quarters)), 4));
}

void setRot(GameCall& c) {
    std::shared_ptr<zSprite> sprite = OriginSprite(c);
    if (!sprite) return;
    sprite->R = c.Single(1);
    SetScopeValue(c, "_r", sprite->R);
}

void setFrameX(GameCall& c) {
    std::shared_ptr<zItem> item = OriginItem(c);
    if (!item || !item->Sprite) return;
    const int32_t frame = c.Long(1);
    const int32_t srcX = AddLong(item->AniSpriteX, MulLong(frame, item->Sprite->W));
    item->AniFrame = frame;
    item->Sprite->SrcX = srcX;
    item->AniMode = 0;
}

void setFrameY(GameCall& c) {
    std::shared_ptr<zItem> item = OriginItem(c);
    if (!item || !item->Sprite) return;
    const int32_t phase = c.Long(1);
    const int32_t srcY = AddLong(item->AniSpriteY, MulLong(phase, item->Sprite->H));
    item->AniPhase = phase;
    item->Sprite->SrcY = srcY;
    item->AniMode = 0;
}

void animateTo(GameCall& c) {
    std::shared_ptr<zItem> item = OriginItem(c);
    if (!item) return;
    const uint8_t frame = c.Byte(1);
    const int32_t wait = c.Long(2);
    item->AniDestFrame = frame;
    item->AniWait = wait;
    item->AniMode = 2;
}

void setAlwaysAnimate(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    const bool on = c.Bool(1);
    // The sheet is shared: every character drawn from it animates alike.
    Need(ch->CharSet).AlwaysAnimate = on;
}

void lookAtPlayer(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    const zSprite& own = Need(ch->Sprite);
    const zSprite& player = Need(Need(gCharTest.Player).Sprite);
    ch->SetAngle(zMath::GetAngle(own.x, own.y, player.x, player.y));
}

void playerLookAt(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    gChar& player = Need(gCharTest.Player);
    const zSprite& own = Need(ch->Sprite);
    const zSprite& ps = Need(player.Sprite);
    player.SetAngle(zMath::GetAngle(ps.x, ps.y, own.x, own.y));
}

void tryToMove(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    const float angle = c.Single(1), speed = CheckedSpeed(c.Single(2));
    // Straight ahead only, slowing down step by step until it fits.
    const bool moved = ch->TryToMove(gCharTest.mapCollision.get(), angle, speed, 0.0f, 0.0f);
    ch->Animate = moved;
    // It faces the way it was sent even when a wall stopped it.
    ch->SetAngle(angle);
}

void setPath(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    const int32_t x = c.Long(1), y = c.Long(2);
    const float speed = CheckedSpeed(c.Single(3));
    // Without a level to walk on the call fails and the old path stays.
    Need(gCharTest.mapCollision);
    // Whether a way was found shows in the path itself (pathComplete, pathMoving).
    WalkTo(*ch, x, y, speed);
}

void stopMoving(GameCall& c) {
    StopWalking(*OriginChar(c));
}

void pathComplete(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    c.Result->SetBool(!ch->MovePath || ch->MovePath->IsComplete);
}

void pathMoving(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    c.Result->SetBool(ch->MovePath && ch->MovePath->WayPointCount >= 1);
}

void setFrameOffset(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    const int32_t dx = c.Long(1), dy = c.Long(2);
    std::shared_ptr<gCharset> set = ch->CharSet;
    gCharset& s = Need(set);
    const int32_t nx = SubLong(s.x, MulLong(dx, s.W));
    const int32_t ny = SubLong(s.y, MulLong(dy, s.H));
    // The sheet is shared, and each call shifts it again from where it is.
    s.x = nx;
    s.y = ny;
    ch->SetCharSet(set);
}

void setOffsetDir(GameCall& c) {
    std::shared_ptr<gChar> ch = OriginChar(c);
    const int32_t d = c.Long(1);
    const float dAsSingle = c.Single(1);
    std::shared_ptr<gCharset> set = ch->CharSet;
    gCharset& s = Need(set);
    s.y = SubLong(s.y, MulLong(d, s.H));
    ch->SetCharSet(set);
    ch->SetAngle(kQuarter * dAsSingle - kQuarter);
}

const GameFunctionEntry kEntries[] = {
    {"setPlayerDir", setPlayerDir},
    {"setPos", setPos},
    {"setCharZoom", setCharZoom},
    {"setCharColor", setCharColor},
    {"setDir", setDir},
    {"getDir", getDir},
    {"setRot", setRot},
    {"setFrameX", setFrameX},
    {"setFrameY", setFrameY},
    {"animateTo", animateTo},
    {"setAlwaysAnimate", setAlwaysAnimate},
    {"lookAtPlayer", lookAtPlayer},
    {"playerLookAt", playerLookAt},
    {"tryToMove", tryToMove},
    {"setPath", setPath},
    {"stopMoving", stopMoving},
    {"pathComplete", pathComplete},
    {"pathMoving", pathMoving},
    {"setFrameOffset", setFrameOffset},
    {"setOffsetDir", setOffsetDir},
};

}  // namespace

void AddControlFunctions() {
    AddGameFunctions(kEntries);
}

}  // namespace tarv
