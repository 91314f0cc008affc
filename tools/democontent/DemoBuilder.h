// The demo content builder: reads the demo's own sources (level descriptions
// in "levels", game scripts in "scripts", music setups described as text in
// "music", the story text) and writes the
// program folder's content: "img", "fonts", "sound", "music", "data",
// "scripts" with the compiled "Game.dat", and "story.txt".
//
// Usage:
//   democontent DEMO_SOURCE_FOLDER PROGRAM_FOLDER
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/democontent/DemoText.h"

namespace tarv::demo {

// The fonts the game loads by name, and the compiled game script.
inline const char* const kFontNames[3] = {"arial", "georgia", "runes"};
inline const char* const kGameScript = "Game";
inline const char* const kCompilerName = "Compiler.exe";
// The class of the game's music object, whose functions music events call.
inline const char* const kMusicClass = "Music";

// Host paths. Every fault is logged ("ERR", "DemoContent", what, where);
// the result is false when anything could not be made. Files whose bytes
// have not changed are left untouched.
bool BuildDemoContent(const std::string& sourceDir, const std::string& outputDir);

// Puts the script compiler into the program folder under the name the game
// starts it by ("Compiler.exe"), so that a game folder compiles its scripts
// from the game's command line. Nothing is copied into the folder the
// compiler itself lies in: the build places it there. False, with a logged
// error, when the compiler is missing or cannot be written.
bool PlaceCompiler(const std::string& compilerFile, const std::string& outputDir);

// Compiles one script and, when outFile is not empty, writes the compiled
// file there; with `classes` given, fills it with the classes compiled.
// Compiler messages are logged; false on an error.
bool CompileDemoScript(const std::string& sourceFile, const std::string& outFile,
                       ScriptClasses* classes = nullptr);

// Writes a file unless it already holds exactly these bytes.
bool WriteIfChanged(const std::string& hostPath, const std::vector<uint8_t>& bytes);

}  // namespace tarv::demo
