// A MIDI file played as a music file: our sequencer drives its own
// synthesizer, a source of the mixer. Positions are seconds of music time at
// the file's tempo map; the rate scales music time, so the pitch stays.
#pragma once

#include <memory>

#include "platform/AudioStream.h"
#include "platform/MidiFile.h"
#include "platform/MidiSynth.h"

namespace zun {

// Music time in seconds at a rate of 1, from the tempo changes of the song.
double MidiTicksToSeconds(const MidiSong& song, double tick);
double MidiSecondsToTicks(const MidiSong& song, double seconds);

class MidiStream : public MusicStream {
public:
    MidiStream(std::shared_ptr<AudioMixer> mixer, std::shared_ptr<const MidiSong> song,
               std::unique_ptr<MidiSynth> synth);
    ~MidiStream() override;
    MidiStream(const MidiStream&) = delete;
    MidiStream& operator=(const MidiStream&) = delete;

    void Run() override;
    void Stop() override;
    bool IsRunning() const override;
    double GetPosition() const override;
    void SetPosition(double seconds) override;
    double GetStopTime() const override;
    double GetRate() const override;
    void SetRate(double rate) override;
    int32_t GetVolume() const override;
    void SetVolume(int32_t mB) override;
    // The sequencer loops by itself, to the tick, from the next Run on.
    void SetLoop(bool looping, double start, double end) override;
    bool HoldsLoop() const override;

private:
    std::shared_ptr<AudioMixer> mixer_;
    std::shared_ptr<const MidiSong> song_;
    std::shared_ptr<MidiPlayer> player_;
    double rate_ = 1.0;
    // A position set while stopped waits here for the next Run; -1 when the
    // sequencer's own position holds.
    int32_t pendingTick_ = -1;
    bool looping_ = false;
    int32_t loopStart_ = 0;
    int32_t loopEnd_ = 0;

    void PlayFrom(int32_t tick);  // with the mixer locked
};

}  // namespace zun
