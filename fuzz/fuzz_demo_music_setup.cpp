// A game's music setups described as text, on random text: read, and when
// that works, written as the setup file the game loads. Nothing may throw,
// hang or grow without bound; faults are reported, never followed.
// fuzz-libs: zun_democontent zun_zsc zun_scene zun_devices zun_platform zun_core
#include <cstdint>
#include <string>
#include <vector>

#include "tools/democontent/DemoMusic.h"

using namespace tarv::demo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Past the longest text a stream stores: a name that long is refused, not written.
    if (size > (128u << 10)) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    MusicSetup setup;
    std::vector<std::string> errors;
    if (ParseMusicSetup(text, "fuzz.setup", setup, errors)) EncodeMusicSetup(setup);
    return 0;
}
