// Standard MIDI files (format 0, 1 and 2) read into one time-ordered event
// list. Music time is counted in 768 ticks per quarter note, whatever division
// the file itself uses: start points, loop points and positions stored in the
// music-setup files are in this unit, so a file saved with another division
// must land on the same numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zun {

inline constexpr int32_t kMusicTicksPerQuarter = 768;
inline constexpr int32_t kDefaultMidiTempo = 500000;  // microseconds per quarter note (120 bpm)

struct MidiEvent {
    int32_t Tick = 0;     // music time (768 per quarter)
    uint8_t Status = 0;   // 0x80..0xEF channel message; 0xFF tempo change
    uint8_t Data1 = 0;
    uint8_t Data2 = 0;
    int32_t Tempo = 0;    // microseconds per quarter note, for a tempo change
};

struct MidiSong {
    int32_t Format = 0;
    int32_t Division = 0;            // the file's own ticks per quarter (or per SMPTE frame)
    std::vector<MidiEvent> Events;   // by tick; same tick: track order, then file order
    int32_t Length = 0;              // the last event or end of track over all tracks
};

// Caps that keep a hostile file from costing more than a real one ever would.
inline constexpr int32_t kMaxMidiTracks = 1024;
inline constexpr size_t kMaxMidiEvents = size_t(4) * 1024 * 1024;

// Parses a whole file held in memory. False with a reason in `error` when the
// bytes are not a usable standard MIDI file; `out` is then left empty.
bool ParseMidiFile(const uint8_t* data, size_t size, MidiSong& out, std::string& error);

}  // namespace zun
