// democontent: builds the demo's content into the program folder.
//
//   democontent DEMO_SOURCE_FOLDER PROGRAM_FOLDER
//
// The program folder also gets the script compiler beside the builder as
// "Compiler.exe", the name the game starts it by.
// Faults are printed on stderr; the exit status is 1 when anything failed.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "tools/democontent/DemoBuilder.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: democontent DEMO_SOURCE_FOLDER PROGRAM_FOLDER\n");
        return 2;
    }
    // Only what went wrong is worth printing during a build.
    zun::gCoreHooks.OnLogEntry = [](const std::string& line, const auto&) {
        if (line.rfind("ERR", 0) == 0 || line.rfind("WARN", 0) == 0)
            std::fprintf(stderr, "%s\n", zun::Cp1252ToUtf8(line).c_str());
    };
    // The script compiler lies beside the builder; the game folder gets a copy.
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string compiler = ec ? std::string("zsc") : (self.parent_path() / "zsc").string();
    // Whatever a source holds, the builder says what went wrong and ends with
    // its status: a failure that escaped every reader is still only a failure.
    bool ok = false;
    try {
        ok = tarv::demo::BuildDemoContent(argv[1], argv[2]);
        ok = tarv::demo::PlaceCompiler(compiler, argv[2]) && ok;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "democontent: %s\n", e.what());
        ok = false;
    }
    if (!ok) std::fprintf(stderr, "democontent: the content is incomplete\n");
    return ok ? 0 : 1;
}
