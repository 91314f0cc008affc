#include "game/scriptapi/gScript.h"

namespace tarv {

void AddGeometryFunctions() {}

}  // namespace tarv
