// Positions, messages and the error type shared by the compiler's stages.
// A compile stops at its first error (thrown as CompileError); warnings are
// collected and reported beside it.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace zun::zsc {

struct SrcPos {
    int File = 0;  // index into Diagnostics::Files
    int Line = 0;  // 1-based; 0 = no position
    int Col = 0;   // 1-based, counted in characters
};

struct Diagnostic {
    bool Error = true;
    SrcPos Pos;
    std::string Message;  // UTF-8
};

class CompileError : public std::runtime_error {
public:
    CompileError(SrcPos pos, const std::string& message) : std::runtime_error(message), Pos(pos) {}
    SrcPos Pos;
};

// Everything a compile has to say, with the names of the files it read so that
// positions can be printed as "file:line:col".
struct Diagnostics {
    std::vector<std::string> Files;  // display names (UTF-8)
    std::vector<Diagnostic> Items;

    void Warn(SrcPos pos, const std::string& message) { Items.push_back({false, pos, message}); }
    void Fail(SrcPos pos, const std::string& message) { Items.push_back({true, pos, message}); }
    bool HasErrors() const;
    // "file:line:col: error: message" (or "warning"); without a position just
    // "file: error: message".
    std::string Format(const Diagnostic& d) const;
    std::string FormatAll() const;  // one line each, "\n"-terminated
};

}  // namespace zun::zsc
