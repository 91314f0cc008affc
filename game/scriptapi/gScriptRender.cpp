#include "game/scriptapi/gScript.h"

namespace tarv {

void AddRenderFunctions() {}

}  // namespace tarv
