// The one call the scene makes into the script engine: sending an event to a
// script object. Items and data shapes hold script objects, but the scene is
// built before (and without) the engine, so the engine fills this slot when it
// starts; an empty slot sends nothing.
//
// Usage (script side):
//   gSceneScript.Execute = [](zScriptObject& o, const std::string& e) { o.Execute(e); };
#pragma once

#include <functional>
#include <string>

namespace zun {

// Defined by the script engine; the scene only holds and hands on references.
class zScriptObject;

struct SceneScriptHooks {
    // Runs the object's event function of that name with no arguments; the
    // result is dropped. A failure inside travels to the caller.
    std::function<void(zScriptObject& iObject, const std::string& iEvent)> Execute;
};
extern SceneScriptHooks gSceneScript;

}  // namespace zun
