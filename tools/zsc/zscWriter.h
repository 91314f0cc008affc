// The class chunk on the framework's own stream, chunk-file and container
// code: writing what the emitter made, and reading it back for listings.
#pragma once

#include <memory>
#include <string>

#include "core/zInterfaces.h"
#include "core/zStream.h"
#include "tools/zsc/zscRecords.h"

namespace zun::zsc {

// Deepest nesting of array defaults read back (a stored list inside a list ...).
constexpr int MaxValueDepth = 64;

void ExportValue(const ValueRecord& v, zStream& s);
void ExportFunction(const FunctionRecord& f, zStream& s);
void ExportClass(const ClassRecord& c, zStream& s);

// Readers for the listing: they check every count against the bytes left and
// raise a RuntimeError on data that does not fit.
void ImportValue(zStream& s, ValueRecord& v, int depth = 0);
void ImportFunction(zStream& s, FunctionRecord& f);
void ImportClass(zStream& s, ClassRecord& c);

// A compiled class as a chunk object of the chunk file ("zScriptClass", version 1).
class ScriptClassChunk : public iChunk {
public:
    ClassRecord Record;
    // Stored instead of Record when set, so that a compile's classes need not
    // be copied just to be written; it must outlive the export.
    const ClassRecord* Source = nullptr;

    std::string ClassName() const override { return "zScriptClass"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<ScriptClassChunk>(); }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;
};

}  // namespace zun::zsc
