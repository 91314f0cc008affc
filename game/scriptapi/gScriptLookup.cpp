#include "game/scriptapi/gScript.h"

namespace tarv {

void AddLookupFunctions() {}

}  // namespace tarv
