// Music setups: small data files that describe one piece of music (a wave, a
// MIDI file or a music file) with its start, loop and end positions, volume,
// speed and timed events; a table of started setups driven once per frame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zun {

class zStream;
class zValues;

struct MusicSetupRecord {
    std::string File;
    uint8_t Type = 0;  // 1 wave, 2 MIDI, 3 music file
    int32_t StartPosition = 0;
    int32_t LoopStart = 0;
    int32_t LoopEnd = 0;
    int32_t EndPosition = 0;
    float Volume = 0;
    float Speed = 0;
    int32_t EventCount = 0;
    std::vector<std::shared_ptr<zValues>> Events;  // events 1..EventCount at [0]..[EventCount - 1]
    float VolumeFactor = 1;
    float SpeedFactor = 1;
};

struct MusicSetupEntry {
    std::string Name;
    MusicSetupRecord Setup;
    bool Running = false;
    int32_t Wave = 0;
    int32_t Position = 0;
    bool Looping = false;
    float FadeIn = 0;
    float FadeOut = 0;
    float TargetSpeed = 0;
    float SpeedStep = 0;
    float CurrentVolume = 0;
    float CurrentSpeed = 0;
    int32_t NextEvent = 0;
    int32_t NextEventPosition = 0;
};

struct zMusicSetupState {
    int32_t SetupCount = 0;
    // Entries 1..SetupCount ([0] unused). Event calls may add entries, so code
    // that runs them addresses entries by index, never by a held reference.
    std::vector<MusicSetupEntry> Setups = std::vector<MusicSetupEntry>(1);
    // Runs a function of the music script object by name; empty while the game
    // has not set one.
    std::function<void(const std::string& FunctionName)> ScriptObject;
};
extern zMusicSetupState zMusicSetup;

// The smallest stored event: four empty lists (Integer counts) and an empty
// template GUID (Long count).
inline constexpr int32_t kMinStoredEventSize = 4 * 2 + 4;

int32_t FindMusicSetup(const std::string& Name);
MusicSetupRecord LoadMusicSetup(zStream& iData);
int32_t PlayMusicSetup(const MusicSetupRecord& Setup, bool Looping);
int32_t RestartMusicSetup(int32_t Index);
int32_t StartMusicSetup(const std::string& FileName, bool Looping, bool Restart);
void StopMusicSetup(int32_t Index);
void UpdateMusicSetup();
// Re-sends the master volumes: to every running setup and to every wave
// buffer (ApplyWaveVolume).
void ApplyMusicVolume();

}  // namespace zun
