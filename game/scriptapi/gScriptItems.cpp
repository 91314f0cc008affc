#include "game/scriptapi/gScript.h"

namespace tarv {

void AddItemFunctions() {}

}  // namespace tarv
