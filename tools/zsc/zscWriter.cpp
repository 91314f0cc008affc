#include "tools/zsc/zscWriter.h"

#include <cstdio>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zFileSystem.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "tools/zsc/zscCompiler.h"

namespace zun::zsc {

namespace {

// Smallest stored sizes, used to check counts against the bytes left before
// anything is reserved: a value is a type byte and a text count; a function
// record a name count, a flag, a parameter count and a stream field (length,
// array count, at least one byte).
constexpr int64_t kMinValue = 5;
constexpr int64_t kMinFunction = 4 + 1 + 4 + 4 + 4 + 1;
constexpr int64_t kMinParent = 4;

void CheckCount(const zStream& s, int32_t count, int64_t minEach) {
    int64_t left = int64_t(s.GetLength()) - s.Cursor;
    if (count < 0 || int64_t(count) * minEach > left) Raise(errInputPastEnd);
}

}  // namespace

void ExportValue(const ValueRecord& v, zStream& s) {
    s.WriteByte(v.Typ);
    s.WriteStringU(v.Name);
    switch (v.Typ) {
        case 0: s.WriteStringU(v.Text); break;
        case 1: s.WriteBool(v.Bool); break;
        case 2: s.WriteByte(v.Byte); break;
        case 3: s.WriteLong(v.Long); break;
        case 4: s.WriteSingle(v.Single); break;
        case 5: s.WriteStringU(v.Text); break;
        case 6:
            s.WriteLong(int32_t(v.Items.size()));
            for (const auto& item : v.Items) ExportValue(item, s);
            break;
        default: break;  // an object stores nothing
    }
}

void ExportFunction(const FunctionRecord& f, zStream& s) {
    s.WriteStringU(f.Name);
    s.WriteBool(f.Super);
    s.WriteLong(int32_t(f.Params.size()));
    for (const auto& p : f.Params) ExportValue(p, s);
    zStream body(f.Body);
    body.Export(s);
}

void ExportClass(const ClassRecord& c, zStream& s) {
    s.WriteStringU(c.Name);
    s.WriteLong(int32_t(c.Parents.size()));
    for (const auto& p : c.Parents) s.WriteString(p);
    s.WriteLong(int32_t(c.Functions.size()));
    for (const auto& f : c.Functions) ExportFunction(f, s);
    ExportFunction(c.Init, s);
}

void ImportValue(zStream& s, ValueRecord& v, int depth) {
    if (depth > MaxValueDepth) Raise(errOutOfStack);
    s.ReadByte(v.Typ);
    s.ReadStringU(v.Name);
    switch (v.Typ) {
        case 0:
        case 5: s.ReadStringU(v.Text); break;
        case 1: s.ReadBool(v.Bool); break;
        case 2: s.ReadByte(v.Byte); break;
        case 3: s.ReadLong(v.Long); break;
        case 4: s.ReadSingle(v.Single); break;
        case 6: {
            int32_t n = 0;
            s.ReadLong(n);
            CheckCount(s, n, kMinValue);
            v.Items.resize(size_t(n));
            for (auto& item : v.Items) ImportValue(s, item, depth + 1);
            break;
        }
        default: break;
    }
}

void ImportFunction(zStream& s, FunctionRecord& f) {
    s.ReadStringU(f.Name);
    s.ReadBool(f.Super);
    int32_t n = 0;
    s.ReadLong(n);
    CheckCount(s, n, kMinValue);
    f.Params.resize(size_t(n));
    for (auto& p : f.Params) ImportValue(s, p);
    zStream body;
    body.Import(s);
    f.Body = body.Bytes();
}

void ImportClass(zStream& s, ClassRecord& c) {
    s.ReadStringU(c.Name);
    int32_t n = 0;
    s.ReadLong(n);
    CheckCount(s, n, kMinParent);
    c.Parents.resize(size_t(n));
    for (auto& p : c.Parents) s.ReadString(p);
    s.ReadLong(n);
    CheckCount(s, n, kMinFunction);
    c.Functions.resize(size_t(n));
    for (auto& f : c.Functions) ImportFunction(s, f);
    ImportFunction(s, c.Init);
}

bool ScriptClassChunk::Export(zStream& iData) {
    ExportClass(Source ? *Source : Record, iData);
    return true;
}

bool ScriptClassChunk::Import(zStream& iData) {
    Record = ClassRecord();
    Source = nullptr;
    ImportClass(iData, Record);
    return true;
}

std::string ChunkGUID(int32_t n) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%032X", unsigned(n));
    return buf;
}

std::vector<uint8_t> BuildChunkFile(const std::vector<ClassRecord>& classes) {
    zFile file;
    int32_t n = 0;
    for (const auto& c : classes) {
        auto chunk = std::make_shared<ScriptClassChunk>();
        chunk->Source = &c;
        chunk->GUID = ChunkGUID(++n);
        chunk->Meta = std::make_shared<zValues>();
        file.AddInstance(chunk);
    }
    file.ExportToStreams(false);
    zStream out;
    file.SaveToStream(&out);
    return out.Bytes();
}

std::string WriteScriptFile(const std::vector<ClassRecord>& classes, const std::string& hostPath, bool zip) {
    zStream data;
    try {
        data.SetData(BuildChunkFile(classes));
    } catch (const std::exception& e) {
        return "cannot store the compiled classes: " + Cp1252ToUtf8(e.what());
    }
    std::string programPath = FromHostPath(hostPath);
    // The log tells why a save failed; keep its lines for the message.
    std::string reasons;
    auto previous = gCoreHooks.OnLogEntry;
    gCoreHooks.OnLogEntry = [&](const std::string& line, const std::vector<LogValue>&) {
        reasons += (reasons.empty() ? "" : "; ") + line;
    };
    bool ok = data.FileExport(programPath, zip);
    gCoreHooks.OnLogEntry = previous;
    if (ok) return "";
    for (auto& c : reasons)
        if (c == '\t') c = ' ';
    return "cannot write '" + hostPath + "'" + (reasons.empty() ? "" : ": " + Cp1252ToUtf8(reasons));
}

}  // namespace zun::zsc
