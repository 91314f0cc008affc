// The script compiler's include handling on real files: the input is cut at
// each "\n%%\n" into the texts of main.zs, a.zs, lib/b.zs and lib/c.zs in a
// scratch folder, and main.zs is compiled with includes followed. Cycles,
// repeats, missing and unreadable files, odd path spellings and errors inside
// an included file must end in a result or a diagnostic.
// fuzz-libs: zun_zsc zun_core
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/zCore.h"
#include "tools/zsc/zscCompiler.h"
#include "tools/zsc/zscDisasm.h"

namespace {

// Plain storage: removed at exit, after the program's strings may be gone.
char gFolder[64];

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(gFolder, ec);
}

const char* Folder() {
    if (!gFolder[0]) {
        char templ[] = "/tmp/zun-fuzz-zsc-XXXXXX";
        if (!mkdtemp(templ)) std::abort();
        std::snprintf(gFolder, sizeof gFolder, "%s", templ);
        std::filesystem::create_directories(std::string(gFolder) + "/lib");
        std::atexit(RemoveFolder);
    }
    return gFolder;
}

void Write(const std::string& path, std::string_view text) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (64u << 10)) return 0;
    zun::zCore.LogText.clear();
    const std::string dir = Folder();
    const char* names[] = {"/main.zs", "/a.zs", "/lib/b.zs", "/lib/c.zs"};
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string_view main;
    for (int i = 0; i < 4; ++i) {
        const size_t cut = i < 3 ? rest.find("\n%%\n") : std::string_view::npos;
        const std::string_view part = rest.substr(0, cut);
        if (i == 0) main = part;
        Write(dir + names[i], part);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 4);
    }
    auto r = zun::zsc::CompileText(main, "main.zs", dir + "/", true);
    (void)r.Diag.FormatAll();
    for (const auto& c : r.Classes) (void)zun::zsc::DisasmClass(c);
    return 0;
}
