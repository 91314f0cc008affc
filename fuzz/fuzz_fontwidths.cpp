// The font width reader on arbitrary ".dat" contents: through the whole font
// load (file on disk, missing glyph texture) and the byte-table step alone.
// fuzz-libs: zun_devices
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "devices/zFont.h"

using namespace zun;

namespace {

// The folder lives in plain storage: it is removed at exit, after the
// program's strings may already be gone.
char gFolder[64];

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(gFolder, ec);
}

std::string Folder() {
    if (!gFolder[0]) {
        char templ[] = "/tmp/zun-fuzz-font-XXXXXX";
        if (!mkdtemp(templ)) std::abort();
        std::snprintf(gFolder, sizeof gFolder, "%s/", templ);
        std::atexit(RemoveFolder);
    }
    return gFolder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) size = 4096;  // only the first 256 bytes matter

    FontEntry direct;
    SetFontWidths(direct, data, size);
    if (direct.Width[0] != 0 || direct.Width[9] != 0 || direct.Width[10] != 0) std::abort();
    if (size > 0 && direct.Extra != data[0]) std::abort();

    const std::string file = Folder() + "Fuzz.dat";
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    zFont = zFontModule{};
    zFont.FontPath = FromHostPath(Folder());
    const int32_t handle = zFont.LoadFont("Fuzz", "png", 0);
    if (handle != 1 || zFont.FontCount != 1) std::abort();
    const FontEntry& loaded = zFont.Fonts[1];
    for (size_t i = 0; i < 256; ++i) {
        const uint8_t want = (i == 0 || i == 9 || i == 10 || i >= size) ? 0 : data[i];
        if (loaded.Width[i] != want) std::abort();
    }
    zCore.LogText.clear();  // the missing texture is logged every time
    return 0;
}
