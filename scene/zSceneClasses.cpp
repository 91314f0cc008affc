#include "scene/zSceneClasses.h"

#include <memory>

#include "core/zRegistry.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zSpriteMap.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "scene/zValueSetMap.h"

namespace zun {

void RegisterSceneClasses() {
    RegisterClass(std::make_shared<zCamera>());
    RegisterClass(std::make_shared<zCollisionMap>());
    RegisterClass(std::make_shared<zPictureLayer>());
    RegisterClass(std::make_shared<zSpriteMap>());
    RegisterClass(std::make_shared<zTileMap>());
    RegisterClass(std::make_shared<zTileSet>());
    RegisterClass(std::make_shared<zValueSetMap>());
}

}  // namespace zun
