// The music-setup reader on arbitrary stream bytes: it either returns a record
// or fails as a stream does, never allocating for counts the data cannot hold.
// fuzz-libs: zun_devices zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/zCore.h"
#include "core/zStream.h"
#include "devices/zMusicSetup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    zun::zStream s(std::vector<uint8_t>(data, data + size));
    try {
        zun::MusicSetupRecord r = zun::LoadMusicSetup(s);
        if (r.EventCount != int32_t(r.Events.size())) __builtin_trap();
    } catch (const zun::RuntimeError&) {
    }
    zun::zCore.LogText.clear();  // the reader's warnings would pile up over a run
    return 0;
}
