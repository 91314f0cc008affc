#include "game/scriptapi/gScript.h"

namespace tarv {

void AddCharFunctions() {}

}  // namespace tarv
