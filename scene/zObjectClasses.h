// Registration of the placed-object classes that the game's start-up adds to
// the object factory, so that level files can create them by name: objects
// map, data shape, emitter map, item map, sound and particle emitters. (The
// sprite map is one of the framework's own classes: RegisterSceneClasses.)
#pragma once

namespace zun {

// Each class is registered once; a class already in the registry is left alone.
void RegisterSceneObjectClasses();

}  // namespace zun
