// Sprites and map items made and changed at run time. Items go into, and out
// of, the item layer only, whatever layer they came from.
#include "core/zCore.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/scriptapi/gScript.h"
#include "game/scriptapi/gScriptShared.h"
#include "game/world/gCharTest.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zSprite.h"
#include "script/zScriptClass.h"

using namespace zun;

namespace tarv {

namespace {

zSprite& SpriteOf(const zItem& iItem) {
    if (!iItem.Sprite) Raise(errObjectNotSet);
    return *iItem.Sprite;
}

void SpriteCreate(GameCall& c) {
    const std::string file = c.Str(1);
    const int32_t srcX = c.Long(2), srcY = c.Long(3), w = c.Long(4), h = c.Long(5);
    const float originX = c.Single(6), originY = c.Single(7);
    auto sprite = std::make_shared<zSprite>();
    sprite->Texture = zDDraw.LoadTexture(file, false, -1, 1, 0);
    sprite->SrcX = srcX;
    sprite->SrcY = srcY;
    sprite->W = w;
    sprite->H = h;
    sprite->OriginX = originX;
    sprite->OriginY = originY;
    c.Result->SetObject(sprite);
}

void SpriteSetSrc(GameCall& c) {
    auto sprite = c.ObjectAs<zSprite>(1);
    const int32_t srcX = c.Long(2), srcY = c.Long(3);
    sprite->SrcX = srcX;
    sprite->SrcY = srcY;
}

void ItemCreate(GameCall& c) {
    auto sprite = c.ObjectAs<zSprite>(1);
    if (gCharTest.mapItems)
        CheckBudget(gCharTest.mapItems->Items().size(), kMaxItems, "items", gCharTest.Placed.Items);
    auto item = std::make_shared<zItem>();
    item->Sprite = sprite;
    if (gCharTest.mapItems) gCharTest.mapItems->AddItem(item, false);
    c.Result->SetObject(item);
}

void ItemSetVisible(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    item->Visible = c.Bool(2);
}

void ItemSetMirrored(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    item->Mirrored = c.Bool(2);
}

void ItemSetShadow(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    item->Shadow = c.Bool(2);
}

void ItemSetPos(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    const float x = c.Place(2), y = c.Place(3);
    const bool withZ = c.Count == 4;
    const float z = withZ ? c.Single(4) : 0.0f;
    zSprite& sprite = SpriteOf(*item);
    // Out and in again, so the layer's cell lists learn the new place.
    if (gCharTest.mapItems) gCharTest.mapItems->RemoveItem(item);
    sprite.SetPosition(x, y);
    if (withZ) sprite.Z = z;
    if (gCharTest.mapItems) gCharTest.mapItems->AddItem(item, false);
    if (item->ScriptObject) {
        ArrayRef locals = item->ScriptObject->Locals;
        locals->SetNameValue("_x", HostValue(sprite.x));
        locals->SetNameValue("_y", HostValue(sprite.y));
        locals->SetNameValue("_z", HostValue(sprite.Z));
    }
}

// A sprite without a source size keeps its zoom on that axis: no size can be
// drawn from nothing.
void ItemSetSize(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    const float width = c.Single(2), height = c.Single(3);
    zSprite& sprite = SpriteOf(*item);
    if (sprite.W != 0) sprite.ZoomX = ToSingle(double(width) / double(sprite.W));
    if (sprite.H != 0) sprite.ZoomY = ToSingle(double(height) / double(sprite.H));
}

void ItemSetRot(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    const float angle = c.Single(2);
    zSprite& sprite = SpriteOf(*item);
    sprite.R = angle;
    if (item->ScriptObject) item->ScriptObject->Locals->SetNameValue("_r", HostValue(sprite.R));
}

void ItemSetClass(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    const std::string cls = c.KeptName(2);
    const std::string key = c.Count == 3 ? c.KeptName(3) : std::string();
    AttachScriptClass(*item, item, cls, key);
}

void ItemSetCollision(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    item->Collides = c.Byte(2);
}

void ItemRemove(GameCall& c) {
    auto item = c.ObjectAs<zItem>(1);
    if (gCharTest.mapItems) gCharTest.mapItems->RemoveItem(item);
}

}  // namespace

void AttachScriptClass(zItem& iItem, const std::shared_ptr<iClass>& iOrigin, const std::string& iClass,
                       const std::string& iKeyName) {
    if (iClass.empty()) {
        iItem.ScriptObject = nullptr;
        iItem.ClassName_.clear();
        return;
    }
    auto so = zScriptObject::New();
    so->Origin = iOrigin;
    iItem.ScriptObject = so;
    // An unknown class is logged by SetClass; the item keeps its names then.
    if (!so->SetClass(iClass, iKeyName) || !so->Class) return;
    iItem.ClassName_ = so->Class->Name;
    iItem.KeyName = so->Name;
}

void AddItemFunctions() {
    static const GameFunctionEntry kEntries[] = {
        {"spriteCreate", SpriteCreate},       {"spriteSetSrc", SpriteSetSrc},   {"itemCreate", ItemCreate},
        {"itemSetVisible", ItemSetVisible},   {"itemSetMirrored", ItemSetMirrored},
        {"itemSetShadow", ItemSetShadow},     {"itemSetPos", ItemSetPos},       {"itemSetSize", ItemSetSize},
        {"itemSetRot", ItemSetRot},           {"itemSetClass", ItemSetClass},   {"itemSetCollision", ItemSetCollision},
        {"itemRemove", ItemRemove},
    };
    AddGameFunctions(kEntries);
}

}  // namespace tarv
