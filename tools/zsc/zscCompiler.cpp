#include "tools/zsc/zscCompiler.h"

#include <filesystem>
#include <memory>
#include <set>

#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "core/zRuntime.h"
#include "tools/zsc/zscEmitter.h"
#include "tools/zsc/zscLexer.h"
#include "tools/zsc/zscParser.h"

namespace zun::zsc {

namespace fs = std::filesystem;

namespace {

// Reads a host file whole, refusing anything over the source cap, and
// anything but a plain file inside its folder.
bool ReadSource(const std::string& hostPath, std::string& out, std::string& error) {
    HostFile file;
    std::string why;
    if (!OpenHostFile(hostPath, file, why)) {
        error = "cannot open '" + hostPath + "': " + why;
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadHostFileRest(file, MaxSourceBytes, bytes, why)) {
        error = why == "file is too large" ? "'" + hostPath + "' is larger than 16 MiB"
                                           : "cannot read '" + hostPath + "': " + why;
        return false;
    }
    out.assign(bytes.begin(), bytes.end());
    return true;
}

std::string FolderOf(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    return slash == std::string::npos ? "" : hostPath.substr(0, slash + 1);
}

// The host path of an included file: as written (Windows-1252, "\" or "/"),
// relative to the including file's folder unless absolute; letter case is
// resolved the way asset names are.
std::string ResolveInclude(const std::string& name, const std::string& dir) {
    std::string utf8 = Cp1252ToUtf8(name);
    for (auto& c : utf8)
        if (c == '\\') c = '/';
    std::string joined = (!utf8.empty() && utf8[0] == '/') ? utf8 : dir + utf8;
    std::error_code ec;
    if (fs::exists(joined, ec)) return joined;
    return ToHostPath(Utf8ToCp1252(joined));
}

CompileResult Run(std::string_view source, const std::string& displayName, const std::string& hostDir,
                  const std::string& hostPath, bool followIncludes) {
    CompileResult r;
    r.Diag.Files.push_back(displayName);
    std::vector<std::unique_ptr<std::string>> sources;  // keeps included texts alive
    std::set<std::string> included;            // canonical host paths read so far
    if (!hostPath.empty()) {
        std::error_code ec;
        included.insert(fs::weakly_canonical(hostPath, ec).string());
    }
    std::vector<std::string> dirs{hostDir};    // folder of each file index
    try {
        if (source.size() > MaxSourceBytes) throw CompileError({0, 0, 0}, "source larger than 16 MiB");
        Unit unit;
        IncludeFn include = [&](const std::string& name, SrcPos at) -> IncludedSource {
            if (!followIncludes) throw CompileError(at, "include is not available here");
            std::string path = ResolveInclude(name, dirs[size_t(at.File)]);
            std::error_code ec;
            std::string key = fs::weakly_canonical(path, ec).string();
            if (ec) key = path;
            if (included.count(key)) return {};
            auto text = std::make_unique<std::string>();
            std::string error;
            if (!ReadSource(path, *text, error)) throw CompileError(at, error);
            included.insert(key);
            int index = int(r.Diag.Files.size());
            r.Diag.Files.push_back(path);
            dirs.push_back(FolderOf(path));
            sources.push_back(std::move(text));
            return {*sources.back(), index};
        };
        Parse(source, 0, unit, include);
        r.Classes = Emit(unit, r.Diag);
        r.Ok = true;
    } catch (const CompileError& e) {
        r.Diag.Fail(e.Pos, e.what());
        r.Classes.clear();
    } catch (const std::bad_alloc&) {
        r.Diag.Fail({0, 0, 0}, "out of memory");
        r.Classes.clear();
    }
    return r;
}

}  // namespace

CompileResult CompileText(std::string_view source, const std::string& displayName, const std::string& hostDir,
                          bool followIncludes) {
    return Run(source, displayName, hostDir, "", followIncludes);
}

CompileResult CompileFile(const std::string& hostPath) {
    std::string text, error;
    if (!ReadSource(hostPath, text, error)) {
        CompileResult r;
        r.Diag.Files.push_back(hostPath);
        r.Diag.Fail({0, 0, 0}, error);
        return r;
    }
    return Run(text, hostPath, FolderOf(hostPath), hostPath, true);
}

}  // namespace zun::zsc
