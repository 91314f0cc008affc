// Routines the function families of the game's script table share.
#pragma once

#include <memory>
#include <string>

#include "core/zInterfaces.h"

namespace zun {
class zItem;
}

namespace tarv {

// Gives an item a new script object of that class (whose Origin is iOrigin),
// or takes it away when iClass is empty. With a known class the item takes
// the class's name and the script object's key name; the new object gets no
// "onLoad" and none of the item's values.
void AttachScriptClass(zun::zItem& iItem, const std::shared_ptr<zun::iClass>& iOrigin, const std::string& iClass,
                       const std::string& iKeyName);

}  // namespace tarv
