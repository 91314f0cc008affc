// Listings of compiled scripts. Every line of a body listing shows the offset
// and the bytes of one statement or expression node, indented by nesting, so
// the hex column read top to bottom is the body itself. Bytes that do not
// decode (a hostile or damaged file) are listed as such; nothing here trusts
// the input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zsc/zscRecords.h"

namespace zun::zsc {

// Deepest expression nesting the listing follows.
constexpr int MaxListingDepth = 256;

// The listing of a function body; each line starts with indent blanks.
std::string DisasmBody(const std::vector<uint8_t>& body, int indent = 4);

// A parameter as it would be declared: "int b = 2".
std::string FormatParam(const ValueRecord& v);

// A class: its parents, functions with parameters, and their bodies.
std::string DisasmClass(const ClassRecord& c);

// Lists a compiled script file (a data file holding a chunk file). Returns
// false with a message in out when the file cannot be read.
bool DisasmFile(const std::string& hostPath, std::string& out);

}  // namespace zun::zsc
