// The whole compile of one script: reading the source and what it includes,
// parsing, emitting, and storing the compiled script file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zsc/zscDiagnostics.h"
#include "tools/zsc/zscRecords.h"

namespace zun::zsc {

// Largest source file read; a script is text written by hand or by a tool.
constexpr size_t MaxSourceBytes = 16u << 20;

struct CompileResult {
    bool Ok = false;
    std::vector<ClassRecord> Classes;
    Diagnostics Diag;
};

// Compiles source text. displayName appears in messages; includes are looked up
// relative to hostDir (a host folder, "" for the current one), or refused when
// followIncludes is false.
CompileResult CompileText(std::string_view source, const std::string& displayName,
                          const std::string& hostDir = "", bool followIncludes = true);

// Compiles a source file given by its host path.
CompileResult CompileFile(const std::string& hostPath);

// The GUID of the n-th chunk (from 1) of a compiled file: 32 hexadecimal digits.
std::string ChunkGUID(int32_t n);

// The payload of a compiled script file: the chunk file with one class chunk
// per class, in order.
std::vector<uint8_t> BuildChunkFile(const std::vector<ClassRecord>& classes);

// Stores the compiled classes as a data file at a host path (packed when zip).
// Returns an error text, empty on success.
std::string WriteScriptFile(const std::vector<ClassRecord>& classes, const std::string& hostPath, bool zip);

}  // namespace zun::zsc
