#include "scene/zScriptHook.h"

namespace zun {

SceneScriptHooks gSceneScript;

}  // namespace zun
