// zsc: compiles scripts into compiled script files, or lists one.
//
//   zsc [-o OUT] [-z] [--] NAME...
//                               compile each NAME (".zs" added when it has no
//                               extension; looked up as given, then under
//                               "scripts/"); the output goes beside the source
//                               as NAME.dat unless -o names it; -z packs it.
//                               After "--" every word is a NAME, even "-x".
//   zsc --disasm FILE           list the classes, parameters and byte code.
//
// Errors are printed as "file:line:col: error: ..." and give exit status 1;
// a failed compile leaves no output file behind.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/zFileSystem.h"
#include "core/zRuntime.h"
#include "tools/zsc/zscCompiler.h"
#include "tools/zsc/zscDisasm.h"

namespace fs = std::filesystem;
using namespace zun;
using namespace zun::zsc;

namespace {

const char* kUsage =
    "usage: zsc [-o OUT] [-z] [--] NAME...\n"
    "       zsc --disasm FILE\n";

bool Exists(const std::string& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// The host path of a script named on the command line, or "" when none exists.
std::string FindSource(std::string name, std::vector<std::string>& tried) {
    for (auto& c : name)
        if (c == '\\') c = '/';
    size_t slash = name.find_last_of('/');
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last.find('.') == std::string::npos) name += ".zs";
    for (const std::string& candidate : {name, std::string("scripts/") + name}) {
        tried.push_back(candidate);
        if (Exists(candidate)) return candidate;
        // Names written for a file system that ignores letter case.
        std::string resolved = ToHostPath(Utf8ToCp1252(candidate));
        if (Exists(resolved)) return resolved;
    }
    return "";
}

std::string OutputFor(const std::string& source) {
    size_t slash = source.find_last_of('/');
    size_t dot = source.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return source.substr(0, dot) + ".dat";
    return source + ".dat";
}

int Compile(const std::string& name, const std::string& output, bool zip) {
    std::vector<std::string> tried;
    std::string source = FindSource(name, tried);
    if (source.empty()) {
        std::string where;
        for (size_t i = 0; i < tried.size(); ++i) where += (i ? " or '" : "'") + tried[i] + "'";
        std::fprintf(stderr, "zsc: error: script '%s' not found (looked for %s)\n", name.c_str(), where.c_str());
        return 1;
    }
    std::string out = output.empty() ? OutputFor(source) : output;
    CompileResult r = CompileFile(source);
    std::fputs(r.Diag.FormatAll().c_str(), stderr);
    if (!r.Ok) {
        // An old file would be loaded as if this compile had worked.
        std::error_code ec;
        if (Exists(out)) fs::remove(out, ec);
        return 1;
    }
    std::string error = WriteScriptFile(r.Classes, out, zip);
    if (!error.empty()) {
        std::fprintf(stderr, "zsc: error: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int Main(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "--disasm") {
        std::string listing;
        if (!DisasmFile(args[1], listing)) {
            std::fprintf(stderr, "zsc: error: %s\n", listing.c_str());
            return 1;
        }
        std::fputs(listing.c_str(), stdout);
        return 0;
    }
    std::string output;
    bool zip = false;
    std::vector<std::string> names;
    bool onlyNames = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyNames) {
            names.push_back(a);
        } else if (a == "--") {
            onlyNames = true;
        } else if (a == "-o") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "zsc: error: -o needs a file name\n%s", kUsage);
                return 2;
            }
            output = args[++i];
        } else if (a == "-z") {
            zip = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--disasm") {
            std::fprintf(stderr, "zsc: error: --disasm takes exactly one file\n%s", kUsage);
            return 2;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "zsc: error: unknown option '%s'\n%s", a.c_str(), kUsage);
            return 2;
        } else {
            names.push_back(a);
        }
    }
    if (names.empty()) {
        std::fprintf(stderr, "zsc: error: no script named\n%s", kUsage);
        return 2;
    }
    if (!output.empty() && names.size() > 1) {
        std::fprintf(stderr, "zsc: error: -o takes one script only\n");
        return 2;
    }
    int status = 0;
    for (const auto& n : names)
        if (Compile(n, output, zip) != 0) status = 1;
    return status;
}

int main(int argc, char** argv) {
    try {
        return Main(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zsc: error: %s\n", e.what());
        return 1;
    }
}
