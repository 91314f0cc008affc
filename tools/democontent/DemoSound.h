// The demo's sounds, synthesised by code (clicks, steps, doors, chimes,
// thunder, wind, rain, water and fire loops) and written as 16-bit mono PCM
// wave files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarv::demo {

inline constexpr int32_t kSoundRate = 22050;

struct DemoSound {
    std::string File;            // file name in "sound"
    std::vector<float> Samples;  // mono, -1..1, at kSoundRate
};

// A RIFF wave file of 16-bit mono PCM; samples outside -1..1 are clipped.
std::vector<uint8_t> EncodeWave(const std::vector<float>& samples, int32_t rate);

// Every sound of the demo, in a fixed order.
std::vector<DemoSound> MakeSounds();

}  // namespace tarv::demo
