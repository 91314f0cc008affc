// Routines the function families of the game's script table share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/zInterfaces.h"

namespace zun {
class zItem;
}

namespace tarv {

class gChar;

// Gives an item a new script object of that class (whose Origin is iOrigin),
// or takes it away when iClass is empty. With a known class the item takes
// the class's name and the script object's key name; the new object gets no
// "onLoad" and none of the item's values.
void AttachScriptClass(zun::zItem& iItem, const std::shared_ptr<zun::iClass>& iOrigin, const std::string& iClass,
                       const std::string& iKeyName);

// The walker heads for the pixel point (iX, iY) at iSpeed along a newly
// planned path. Without a collision map it gets the empty path and stands.
void WalkTo(gChar& iWalker, int32_t iX, int32_t iY, float iSpeed);
// The walker stops following its path.
void StopWalking(gChar& iWalker);

}  // namespace tarv
