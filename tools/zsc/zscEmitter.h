// Lays a parsed unit out as class records: byte code for every function body,
// with control flow lowered to fixed jump templates, and the stored form of
// every parameter. Also finds the language's known traps and warns about them.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "tools/zsc/zscAst.h"
#include "tools/zsc/zscDiagnostics.h"
#include "tools/zsc/zscRecords.h"

namespace zun::zsc {

// Most case tests one select can hold (their count is stored in a byte).
constexpr int MaxSelectCases = 255;

// Throws CompileError at the first error; warnings go to diag.
std::vector<ClassRecord> Emit(const Unit& unit, Diagnostics& diag);

// True when a plain call of this name never reaches a script function: the
// interpreter's special forms and built-ins, the host's and the game's
// functions answer first.
bool IsReservedCallName(const std::string& name);
// Every name IsReservedCallName knows without a dot; the engine's and the
// game's own tables are the authority, and a test holds the two together.
const std::unordered_set<std::string>& ReservedCallNames();

}  // namespace zun::zsc
