#include "game/scriptapi/gScript.h"

namespace tarv {

void AddWorldFunctions() {}

}  // namespace tarv
