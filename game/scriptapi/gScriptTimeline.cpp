#include "game/scriptapi/gScript.h"

namespace tarv {

void AddTimelineFunctions() {}

}  // namespace tarv
