// MIDI music: one standard MIDI file at a time, played by our sequencer into
// the synthesizer, with looping, loop points, a start point, master volume and
// tempo. Positions, start and loop points are music time: 768 ticks per
// quarter note, whatever division the file uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/AudioMixer.h"
#include "platform/MidiFile.h"
#include "platform/MidiSynth.h"

namespace zun {

struct zDMusicState {
    std::string MusicPath;
    float Volume = 1.0f;
    bool Enabled = false;
    std::shared_ptr<MidiPlayer> Performance;    // sequencer and synthesizer, a source of the mixer
    std::shared_ptr<const MidiSong> Segment;    // the loaded file; none when nothing is loaded
    std::shared_ptr<AudioMixer> Mixer;          // the mixer the performance plays into
    // Where the synthesizer comes from: FluidSynth with SoundFont unless set
    // (tests put a recorder here).
    std::function<std::unique_ptr<MidiSynth>(int32_t rate, std::string& error)> CreateSynth;
    std::string SoundFont;  // empty: the one FindSoundFont finds
};
extern zDMusicState zDMusic;

// MIDI files are read whole; anything larger is not a piece of music.
inline constexpr size_t kMaxMidiFileSize = size_t(16) * 1024 * 1024;

// A synthesizer for MIDI music, from CreateSynth or FluidSynth; null with a
// reason when there is none (no sound font).
std::unique_ptr<MidiSynth> CreateMusicSynth(int32_t rate, std::string& error);
// Reads and parses a MIDI file (a framework path); false with a reason.
bool ReadMidiSong(const std::string& path, MidiSong& song, std::string& error);

bool DMusic_Initialize(intptr_t hWnd);
int32_t GetMidiPosition();
bool LoadMidi(const std::string& FileName);
void SetupMidi(float Volume, float Tempo);
bool PlayMidiFile(const std::string& FileName, bool Looping, float Volume, float Tempo, int32_t LoopStart,
                  int32_t LoopEnd, int32_t StartPoint);
void MidiStop();
void DMusic_Release();

}  // namespace zun
