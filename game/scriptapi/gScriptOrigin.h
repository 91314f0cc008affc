// The game object behind the calling script object. A character's script
// object stands for its gChar, a map item's for its zItem; the functions that
// steer "their" object find it here. Scripts of other objects (areas, the
// game, the level) have some other origin or none.
#pragma once

#include <memory>

#include "core/zRuntime.h"
#include "game/scriptapi/gScript.h"

namespace zun {
class zItem;
class zSprite;
}  // namespace zun

namespace tarv {

class gChar;

// The object or "Object variable not set".
template <class T>
T& Need(const std::shared_ptr<T>& p) {
    if (!p) zun::Raise(zun::errObjectNotSet);
    return *p;
}

// The calling object's origin; null when there is no caller or no origin.
std::shared_ptr<zun::iClass> CallerOrigin(const GameCall& iCall);

// The origin as a character: "Object variable not set" without one, "Type
// mismatch" when it is something else.
std::shared_ptr<gChar> OriginChar(const GameCall& iCall);
// The origin as a map item: null without one, "Type mismatch" when it is
// something else (a character's item is not the character's origin).
std::shared_ptr<zun::zItem> OriginItem(const GameCall& iCall);
// The origin's sprite, whatever kind of object carries it (character or
// item); null without an origin or a sprite. An origin that has no sprite
// member fails with "Object doesn't support this property or method".
std::shared_ptr<zun::zSprite> OriginSprite(const GameCall& iCall);
// The origin's item (only characters carry one; others fail as above); null
// without an origin or an item.
std::shared_ptr<zun::zItem> OriginCharItem(const GameCall& iCall);

// The number and text of the failure of a member the object does not have.
inline constexpr int kErrNoMember = 438;
[[noreturn]] void RaiseNoMember();

}  // namespace tarv
