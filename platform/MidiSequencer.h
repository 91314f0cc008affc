// Plays a MidiSong into a MIDI sink: music time in 768 ticks per quarter,
// a start point, endless looping between two points, a tempo factor, and on
// every jump (start, loop) all notes off and a chase of the programs,
// controllers and pitch bends the music had set up to the target.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/MidiFile.h"

namespace zun {

// Where channel messages go: a synthesizer, or a recorder in tests.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    virtual void Send(uint8_t status, uint8_t data1, uint8_t data2) = 0;
};

class MidiSequencer {
public:
    static constexpr double MinTempoFactor = 0.01;
    static constexpr double MaxTempoFactor = 64.0;

    void Load(std::shared_ptr<const MidiSong> song);
    const std::shared_ptr<const MidiSong>& Song() const { return song_; }

    // Starts at `startTick`. When looping, the music from loopStart up to
    // loopEnd (0 = the song's length) repeats without end.
    void Play(int32_t startTick, bool looping, int32_t loopStart, int32_t loopEnd, MidiSink& sink);
    // Stops; every sounding note is cut.
    void Stop(MidiSink& sink);
    bool IsPlaying() const { return playing_; }
    // The tick reached; grows while playing and falls back at a loop.
    int32_t Position() const;

    void SetTempoFactor(double factor);  // kept within 0.01..64
    double TempoFactor() const { return factor_; }

    // Moves music time on by `seconds` of real time, sending the events passed.
    void Advance(double seconds, MidiSink& sink);

private:
    std::shared_ptr<const MidiSong> song_;
    bool playing_ = false;
    bool looping_ = false;
    int32_t loopStart_ = 0;
    int32_t loopEnd_ = 0;
    double tick_ = 0;       // fractional music time
    size_t next_ = 0;       // next event to send
    int32_t tempo_ = kDefaultMidiTempo;
    double factor_ = 1.0;

    // Chase state of the loop start, kept so an endless loop does not rescan.
    struct Chase {
        std::array<std::array<int16_t, 128>, 16> cc;
        std::array<int16_t, 16> program;
        std::array<int32_t, 16> bend;
        std::array<int16_t, 16> pressure;
        int32_t tempo;
        size_t next;
    };
    int32_t chasedTick_ = -1;
    Chase chased_{};

    void JumpTo(int32_t tick, MidiSink& sink);
    void Dispatch(const MidiEvent& e, MidiSink& sink);
    int32_t EffectiveLoopEnd() const;
};

}  // namespace zun
