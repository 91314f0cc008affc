// Sound effects from wave files: a table of loaded waves addressed by a
// 1-based index, played with volume, speed, looping and a start position; a
// wave asked to play while it plays overlaps itself on a duplicate buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioBuffer.h"

namespace zun {

struct zDSoundState {
    std::string SoundPath;
    float Volume = 1.0f;
    bool DSound = false;  // the device is held
    bool Enabled = false;
    int32_t WaveCount = 0;
    std::vector<std::shared_ptr<AudioBuffer>> Waves;  // [0] unused; 1..WaveCount
    std::vector<std::string> WaveFiles;                // [0] unused
    int32_t DuplicateCount = 0;
    std::vector<std::shared_ptr<AudioBuffer>> Duplicates;  // [0] unused
    std::vector<int32_t> DuplicateOf;  // the wave each duplicate slot last played
    // Each buffer's own volume factor (0..1) before the master volume, so that
    // a change of the master reaches what is playing.
    std::vector<float> WaveVolumes;       // [0] unused
    std::vector<float> DuplicateVolumes;  // [0] unused
    // A wave loaded anew (ForceNew) belongs to whoever asked for it: a lookup
    // by name never hands it to anyone else, and only such a wave is ever
    // released.
    std::vector<uint8_t> WaveOwned;  // [0] unused
    // Duplicate slots known to be stopped, taken before the table grows; the
    // rest are looked over at most once per block the mixer renders.
    std::vector<int32_t> FreeDuplicates;
    uint64_t DuplicatesCheckedAt = UINT64_MAX;
    bool PlayRefused = false;  // the last overlapping play found no slot
};
// Overlapping plays at once; past this a play is refused.
inline constexpr int32_t kMaxDuplicates = 256;
extern zDSoundState zDSound;

bool DSound_Initialize(intptr_t hWnd);
int32_t GetWavePosition(int32_t Wave);
int32_t LoadWave(const std::string& FileName, bool ForceNew);
int32_t CreateWave();
// Volume and Speed are written back with the values that took effect.
int32_t PlayWaveFile(const std::string& FileName, bool Looping, float& Volume, float& Speed, bool ForceNew,
                     int32_t StartMs);
int32_t PlayWaveFile(const std::string& FileName, bool Looping, float&& Volume, float&& Speed, bool ForceNew,
                     int32_t StartMs);
void PlayWave(int32_t Wave, bool Looping, float& Volume, float& Speed, int32_t StartMs);
void PlayWave(int32_t Wave, bool Looping, float&& Volume, float&& Speed, int32_t StartMs);
void SetupWave(int32_t Wave, float Volume, float Speed);
void StopWave(int32_t Wave);
// Drops the wave's buffer; its slot goes to the next wave loaded anew.
void ReleaseWave(int32_t Wave);
void StopAllWaves();
// Sends every buffer its own volume under the present master volume.
void ApplyWaveVolume();
void DSound_Release();

}  // namespace zun
