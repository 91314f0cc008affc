#include "game/scriptapi/gScript.h"

namespace tarv {

void AddMessageFunctions() {}

}  // namespace tarv
