#include "game/scriptapi/gScriptOrigin.h"

#include "game/world/gChar.h"
#include "scene/zItem.h"
#include "scene/zSprite.h"

using namespace zun;

namespace tarv {

void RaiseNoMember() {
    Raise(kErrNoMember, "Object doesn't support this property or method");
}

std::shared_ptr<iClass> CallerOrigin(const GameCall& iCall) {
    if (!iCall.Caller) return nullptr;
    return iCall.Caller->Origin.lock();
}

std::shared_ptr<gChar> OriginChar(const GameCall& iCall) {
    std::shared_ptr<iClass> o = CallerOrigin(iCall);
    if (!o) Raise(errObjectNotSet);
    std::shared_ptr<gChar> c = std::dynamic_pointer_cast<gChar>(o);
    if (!c) Raise(errTypeMismatch);
    return c;
}

std::shared_ptr<zItem> OriginItem(const GameCall& iCall) {
    std::shared_ptr<iClass> o = CallerOrigin(iCall);
    if (!o) return nullptr;
    std::shared_ptr<zItem> item = std::dynamic_pointer_cast<zItem>(o);
    if (!item) Raise(errTypeMismatch);
    return item;
}

std::shared_ptr<zSprite> OriginSprite(const GameCall& iCall) {
    std::shared_ptr<iClass> o = CallerOrigin(iCall);
    if (!o) return nullptr;
    if (auto c = std::dynamic_pointer_cast<gChar>(o)) return c->Sprite;
    if (auto item = std::dynamic_pointer_cast<zItem>(o)) return item->Sprite;
    RaiseNoMember();
}

std::shared_ptr<zItem> OriginCharItem(const GameCall& iCall) {
    std::shared_ptr<iClass> o = CallerOrigin(iCall);
    if (!o) return nullptr;
    if (auto c = std::dynamic_pointer_cast<gChar>(o)) return c->Item;
    RaiseNoMember();
}

}  // namespace tarv
