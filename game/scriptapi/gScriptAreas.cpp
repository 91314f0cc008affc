#include "game/scriptapi/gScript.h"

namespace tarv {

void AddAreaFunctions() {}

}  // namespace tarv
