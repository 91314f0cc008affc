// The wave-file decoder on arbitrary bytes: whatever its header claims, it
// reserves no more than the file could hold and fails with a reason.
// fuzz-libs: zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzFiles.h"
#include "platform/AudioDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string path = zun::fuzz::WriteScratch("wave.wav", data, size);
    zun::AudioData out;
    std::string error;
    if (zun::DecodeAudioFile(path, out, error, 44100)) {
        if (out.Frames < 1 || out.Samples.size() != size_t(out.Frames) * size_t(out.StoredChannels)) __builtin_trap();
    } else if (!out.Samples.empty() || error.empty()) {
        __builtin_trap();
    }
    return 0;
}
