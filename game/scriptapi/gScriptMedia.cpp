#include "game/scriptapi/gScript.h"

namespace tarv {

void AddMediaFunctions() {}

}  // namespace tarv
