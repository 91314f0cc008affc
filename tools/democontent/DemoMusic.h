// The demo's music: two short tunes written as standard MIDI files by code,
// and the music-setup files that start them, loop them and fire timed events
// (a sound to play, a function of the "music" script object to call).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarv::demo {

// A note of a tune, in the tune's own ticks (kTuneDivision per quarter).
struct TuneNote {
    int32_t Start = 0, Length = 0;
    uint8_t Key = 60, Velocity = 90;
};

struct TuneTrack {
    std::string Name;
    uint8_t Channel = 0;
    uint8_t Program = 0;  // General MIDI instrument, 0-based
    uint8_t Volume = 100;
    std::vector<TuneNote> Notes;
};

inline constexpr int32_t kTuneDivision = 96;

struct Tune {
    std::string File;           // file name in "music"
    int32_t Tempo = 500000;     // microseconds per quarter note
    int32_t Bars = 0;           // of four quarters each
    std::vector<TuneTrack> Tracks;
};

// A standard MIDI file of format 1: a tempo track, then one track per part.
std::vector<uint8_t> EncodeMidi(const Tune& tune);

// A timed event of a music setup; Position is in music time (768 per quarter).
struct SetupEvent {
    int32_t Position = 0;
    std::string SoundFile;  // played when set
    float Volume = 1.0f;
    std::string Call;       // function of the "music" script object, when set
    float Speed = 1.0f;     // of the sound
    int Line = 0;           // of its description, for messages
};

struct MusicSetup {
    std::string File;        // the setup's own file name in "music"
    std::string Track;       // the piece it plays
    uint8_t Type = 2;        // 1 wave, 2 MIDI, 3 music file
    int32_t Start = 0, LoopStart = 0, LoopEnd = 0, End = 0;
    float Volume = 1.0f, Speed = 1.0f;
    std::vector<SetupEvent> Events;
    int TrackLine = 0;  // of its description, for messages
    int LoopLine = 0;
};

// The setup record (version 2) in a packed data-file container.
std::vector<uint8_t> EncodeMusicSetup(const MusicSetup& setup);

// A music setup described as text, one statement a line ('#' at the start
// of a word starts a comment):
//   track FILE wave|midi|music   the piece: a wave of "sound", a MIDI file or
//                                a music file (".ogg", ".mp3", ...) of "music"
//   start POSITION               where it starts playing (0)
//   loop FROM TO                 the loop of MIDI and music files (TO 0: the end)
//   end POSITION                 the end, as far as a fade-out goes (0)
//   volume V                     0 to 1 (1)
//   speed S                      0.01 to 100 (1)
//   event POSITION [sound=FILE] [volume=V] [speed=S] [call=FUNCTION]
//                                at POSITION play a wave of "sound" and/or run
//                                FUNCTION of the "music" script object; events
//                                in the order of their positions
// Positions are whole milliseconds for waves and music files, music time for
// MIDI (768 to the quarter note). Every fault is reported as "file:line:
// message"; the result is false when there was any.
bool ParseMusicSetup(const std::string& text, const std::string& file, MusicSetup& out,
                     std::vector<std::string>& errors);

std::vector<Tune> MakeTunes();
std::vector<MusicSetup> MakeMusicSetups();

}  // namespace tarv::demo
