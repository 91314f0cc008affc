// Characters made from map items, their flags, facing, class, collision and
// paths, and taking them out of the level. The character is the first
// argument, as "charByName" hands it out.
#include <algorithm>

#include "core/zCore.h"
#include "core/zMath.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "game/scriptapi/gScript.h"
#include "game/scriptapi/gScriptShared.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zSprite.h"
#include "script/zScriptClass.h"

using namespace zun;

namespace tarv {

namespace {

zItem& ItemOf(const gChar& iChar) {
    if (!iChar.Item) Raise(errObjectNotSet);
    return *iChar.Item;
}

const zSprite& SpriteOf(const std::shared_ptr<zSprite>& iSprite) {
    if (!iSprite) Raise(errObjectNotSet);
    return *iSprite;
}

gChar& Player() {
    if (!gCharTest.Player) Raise(errObjectNotSet);
    return *gCharTest.Player;
}

// Turns a towards the point of sprite b.
void Look(gChar& a, const zSprite& b) {
    const zSprite& s = SpriteOf(a.Sprite);
    a.SetAngle(zMath::GetAngle(s.x, s.y, b.x, b.y));
}

void CharSetDir(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    ch->SetAngle(c.Single(2));
}

void CharSetVisible(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    ItemOf(*ch).Visible = c.Bool(2);
}

void CharSetMirrored(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    ItemOf(*ch).Mirrored = c.Bool(2);
}

void CharSetShadow(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    ItemOf(*ch).Shadow = c.Bool(2);
}

// The order matters: the script's "onLoad" runs last and sees everything set.
void CharCreate(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    const std::string cls = c.KeptName(2), key = c.KeptName(3);
    const int32_t x = c.Long(4), y = c.Long(5);
    CheckedPlace(x);
    CheckedPlace(y);
    if (!item->Sprite) Raise(errObjectNotSet);
    CheckBudget(gCharTest.Chars.size(), kMaxChars, "characters", gCharTest.Placed.Chars);
    auto ch = std::dynamic_pointer_cast<gChar>(CreateClass("gChar", true));
    if (!ch) Raise(errObjectNotSet);
    std::shared_ptr<zSprite> sprite = item->Sprite;
    ch->Item = item;
    ch->Sprite = sprite;

    gCharTest.Chars.push_back(ch);
    if (gCharTest.mapItems) gCharTest.mapItems->RemoveItem(item);

    auto set = std::make_shared<gCharset>();
    set->Texture = sprite->Texture;
    set->x = sprite->SrcX;
    set->y = sprite->SrcY;
    set->W = sprite->W;
    set->H = sprite->H;
    set->FramesX = 3;
    set->FramesY = 4;
    set->AniWait = 2;
    set->OffsetX = CLng(sprite->OriginX);
    set->OffsetY = CLng(sprite->OriginY);

    item->Collides = 1;
    item->Visible = true;
    item->Shadow = true;
    sprite->SetPosition(float(x), float(y));
    ch->SetCharSet(set);
    ch->CollisionShape = item->Collides;
    ch->CollisionFlags = 1;
    ch->AniWalkOffset = 0;

    auto so = zScriptObject::New();
    so->Origin = ch;
    item->ScriptObject = so;
    const bool known = so->SetClass(cls, key) && so->Class;
    ArrayRef locals = so->Locals;
    locals->ImportValues(item->Values.get());
    locals->SetNameValue("_name", HostValue(so->Name));
    locals->SetNameValue("_class", HostValue(known ? so->Class->Name : std::string()));
    locals->SetNameValue("_x", HostValue(sprite->x));
    locals->SetNameValue("_y", HostValue(sprite->y));
    locals->SetNameValue("_z", HostValue(sprite->Z));
    locals->SetNameValue("_r", HostValue(sprite->R));
    so->LoadValues();
    so->Execute("onLoad");

    item->KeyName = so->Name;
    // An unknown class leaves the item's class name as it was.
    if (known) item->ClassName_ = so->Class->Name;
    c.Result->SetObject(ch);
}

void CharSetClass(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    const std::string cls = c.KeptName(2);
    const std::string key = c.Count == 3 ? c.KeptName(3) : std::string();
    AttachScriptClass(ItemOf(*ch), ch, cls, key);
}

// Shapes outside the byte range are clamped to it.
void CharSetCollision(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    const int32_t shape = c.Long(2);
    ch->CollisionShape = uint8_t(std::clamp<int32_t>(shape, 0, 255));
}

void CharLookChar(GameCall& c) {
    auto a = c.ObjectAs<gChar>(1);
    auto b = c.ObjectAs<gChar>(2);
    Look(*a, SpriteOf(b->Sprite));
}

void CharLookPlayer(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    Look(*ch, SpriteOf(Player().Sprite));
}

void PlayerLookCursor(GameCall&) {
    Look(Player(), SpriteOf(gCharTest.Cursor));
}

void PlayerLookChar(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    Look(Player(), SpriteOf(ch->Sprite));
}

// The cell of a pixel coordinate on the collision map.
int32_t CellOf(float iPixel, const zCollisionMap& iMap) {
    return CLng((double(iPixel) - iMap.TileW2) / double(iMap.TileW));
}

void PlayerSetPath(GameCall& c) {
    const int32_t x = c.Long(1), y = c.Long(2);
    const float speed = CheckedSpeed(c.Single(3));
    WalkTo(Player(), x, y, speed);
}

void CharSetPath(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    const int32_t x = c.Long(2), y = c.Long(3);
    const float speed = CheckedSpeed(c.Single(4));
    WalkTo(*ch, x, y, speed);
}

void CharRemove(GameCall& c) {
    auto ch = c.ObjectAs<gChar>(1);
    auto& list = gCharTest.Chars;
    auto it = std::find(list.begin(), list.end(), ch);
    if (it != list.end()) list.erase(it);
}

// The player mover walks gCharTest.PlayerPath while the player's own update
// walks its MovePath: for the player both must always be the one object, or
// the two would walk different plans and a key would stop only one.
void SetWalkPath(gChar& iWalker, const std::shared_ptr<gPath>& iPath) {
    iWalker.MovePath = iPath;
    if (&iWalker == gCharTest.Player.get()) gCharTest.PlayerPath = iPath;
}

}  // namespace

void WalkTo(gChar& iWalker, int32_t iX, int32_t iY, float iSpeed) {
    const zSprite& s = SpriteOf(iWalker.Sprite);
    auto path = std::make_shared<gPath>();
    SetWalkPath(iWalker, path);
    const zCollisionMap* map = gCharTest.mapCollision.get();
    if (map && map->TileW > 0) {
        path->FindPath(map, 1, CellOf(s.x, *map), CellOf(s.y, *map), CellOf(float(iX), *map),
                       CellOf(float(iY), *map), true, 5);
    }
    iWalker.Speed = iSpeed;
}

void StopWalking(gChar& iWalker) { SetWalkPath(iWalker, nullptr); }

void AddCharFunctions() {
    static const GameFunctionEntry kEntries[] = {
        {"charSetDir", CharSetDir},
        {"charSetVisible", CharSetVisible},
        {"charSetMirrored", CharSetMirrored},
        {"charSetShadow", CharSetShadow},
        {"charCreate", CharCreate},
        {"charSetClass", CharSetClass},
        {"charSetCollision", CharSetCollision},
        {"charLookChar", CharLookChar},
        {"charLookPlayer", CharLookPlayer},
        {"playerLookCursor", PlayerLookCursor},
        {"playerLookChar", PlayerLookChar},
        {"playerSetPath", PlayerSetPath},
        {"charSetPath", CharSetPath},
        {"charRemove", CharRemove},
    };
    AddGameFunctions(kEntries);
}

}  // namespace tarv
