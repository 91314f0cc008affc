#include "game/world/gCharClasses.h"

#include "core/zRegistry.h"
#include "game/world/gChar.h"
#include "game/world/gCharset.h"

namespace tarv {

void RegisterCharClasses() {
    zun::RegisterClass(std::make_shared<gChar>());
    zun::RegisterClass(std::make_shared<gCharset>());
}

}  // namespace tarv
