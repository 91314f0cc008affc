// The music-file decoder (FFmpeg, audio containers only) on arbitrary bytes:
// decoded audio or a reason, never a crash, a hang or unbounded memory.
// fuzz-libs: zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/MediaDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    zun::AudioData out;
    std::string error;
    if (zun::DecodeMediaBytes(data, size, out, error)) {
        if (out.Frames < 1 || out.Samples.size() != size_t(out.Frames) * size_t(out.StoredChannels)) __builtin_trap();
    } else if (!out.Samples.empty() || error.empty()) {
        __builtin_trap();
    }
    return 0;
}
