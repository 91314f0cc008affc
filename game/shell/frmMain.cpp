#include "game/shell/frmMain.h"

namespace tarv {

ShellParts gShellParts;
frmMainForm frmMain;

}  // namespace tarv
