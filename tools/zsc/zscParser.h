// Builds the syntax tree of a script from its tokens. Included files are asked
// for through a callback, so the parser itself never touches the file system.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zsc/zscAst.h"
#include "tools/zsc/zscLexer.h"

namespace zun::zsc {

// The text of an included file and its file index; File is -1 when that file
// was already part of the unit (each file is read once).
struct IncludedSource {
    std::string_view Text;
    int File = -1;
};

// Finds an included file; the text must stay alive as long as the unit.
// Throws CompileError when it cannot be read.
using IncludeFn = std::function<IncludedSource(const std::string& name, SrcPos at)>;

// Deepest nesting of expressions or statements accepted; deeper source is an
// error rather than a risk to the stack.
constexpr int MaxNesting = 256;
// Tallest expression tree accepted (long operator chains lean deep).
constexpr int MaxExprHeight = 1024;
// Most files one unit may pull in through include.
constexpr int MaxIncludeDepth = 16;

// Parses one file into unit (adding to what it holds). Throws CompileError at
// the first error; a bad character anywhere in a file counts as earlier than
// any mistake of structure in it.
void Parse(std::string_view source, int fileIndex, Unit& unit, const IncludeFn& include);

}  // namespace zun::zsc
