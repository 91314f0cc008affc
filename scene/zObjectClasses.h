// Registration of the placed-object classes of the scene with the object
// factory, so that level files can create them by name: the sprite map (one of
// the framework's own chunk classes) and the classes the game's start-up adds:
// objects map, data shape, emitter map, item map, sound and particle emitters.
#pragma once

namespace zun {

// Each class is registered once; a class already in the registry is left alone.
void RegisterSceneObjectClasses();

}  // namespace zun
