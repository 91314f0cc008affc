// Builds the syntax tree of a script from its tokens. Included files are asked
// for through a callback, so the parser itself never touches the file system.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/zsc/zscAst.h"
#include "tools/zsc/zscLexer.h"

namespace zun::zsc {

// Returns the tokens of an included file, or an empty list when that file was
// already part of the unit (each file is read once). Throws CompileError when
// it cannot be read.
using IncludeFn = std::function<std::vector<Token>(const std::string& name, SrcPos at)>;

// Deepest nesting of expressions or statements accepted; deeper source is an
// error rather than a risk to the stack.
constexpr int MaxNesting = 256;
// Tallest expression tree accepted (long operator chains lean deep).
constexpr int MaxExprHeight = 1024;
// Most files one unit may pull in through include.
constexpr int MaxIncludeDepth = 16;

// Parses one file's tokens into unit (adding to what it holds). Throws
// CompileError at the first error.
void Parse(const std::vector<Token>& tokens, Unit& unit, const IncludeFn& include);

}  // namespace zun::zsc
