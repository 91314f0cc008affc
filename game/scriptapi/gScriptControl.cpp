#include "game/scriptapi/gScript.h"

namespace tarv {

void AddControlFunctions() {}

}  // namespace tarv
