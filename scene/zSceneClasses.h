// Registration of the scene layers' storable classes with the object factory.
#pragma once

namespace zun {

// The framework's own scene chunk classes, registered at framework start-up:
// zCamera, zCollisionMap, zPictureLayer, zSpriteMap, zTileMap, zTileSet and
// zValueSetMap (zValues comes with the core). A class already registered keeps
// its first prototype, so calling this twice is harmless.
void RegisterSceneClasses();

}  // namespace zun
