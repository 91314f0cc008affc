// The command line: "debug" asks for the script debug switch; any other words
// are script files that the outside compiler "Compiler.exe" (our zsc, copied
// into the program folder under that name) compiles before the game starts.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarv {

// The program's arguments (UTF-8) as one Windows-1252 string, joined by
// single blanks; argv[0] is not part of it.
std::string CommandLineFromArgs(int argc, const char* const* argv);

// Blanks removed at both ends.
std::string TrimBlanks(const std::string& iText);

// The words of a parameter string, split at every single blank: two blanks in
// a row give an empty word between them.
std::vector<std::string> SplitParams(const std::string& iParams);

// Runs "Compiler.exe" (looked up in the current folder) once per word, in the
// program folder the game is played from (ZUN_APP_PATH's, when it names
// one), and waits for each run; what the compiler says is logged. An empty
// word names no script and is skipped; every word reaches the compiler as a
// script name, even one that starts with "-". True when every word compiled;
// False when the compiler is missing, a run could not be started or a run
// ended with a non-zero exit status (each failure is told in a message box;
// the remaining words are still compiled).
bool ExecuteParams(const std::string& iParams);

// The first start-up step, as the main window's load runs it: the exact text
// "debug" sets oDebug and compiles nothing; an empty line does nothing;
// anything else goes trimmed to iCompile. False when the start-up must end.
bool HandleCommandLine(const std::string& iCommandLine, bool& oDebug,
                       const std::function<bool(const std::string&)>& iCompile = ExecuteParams);

}  // namespace tarv
