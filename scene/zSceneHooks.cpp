#include "scene/zSceneHooks.h"

namespace zun {

SceneHooks gSceneHooks;

}  // namespace zun
