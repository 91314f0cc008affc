// The demo's level descriptions on random text: read, and when that works,
// built into a level file with the demo's own pictures. Nothing may throw,
// hang or grow without bound; faults are reported, never followed.
// fuzz-libs: zun_democontent zun_zsc zun_scene zun_devices zun_platform zun_core
#include <cstdint>
#include <string>
#include <vector>

#include "tools/democontent/DemoArt.h"
#include "tools/democontent/DemoLevel.h"

using namespace tarv::demo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Past the longest text a stream stores: a word that long is refused, not written.
    if (size > (128u << 10)) return 0;
    static const ArtCatalogue art = MakeArt();
    // Without a device every picture is a handle the texture cache does not
    // know; the layers then store empty references.
    static const TextureLookup lookup = [](const std::string&) { return 7; };
    const std::string text(reinterpret_cast<const char*>(data), size);
    LevelDesc desc;
    std::vector<std::string> errors;
    if (!ParseLevel(text, "fuzz.lvl", desc, errors)) return 0;
    std::vector<uint8_t> bytes;
    BuildLevel(desc, art, lookup, bytes, errors);
    return 0;
}
