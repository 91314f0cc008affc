// The synthesizer behind MIDI music, and the player that ties a sequencer and
// a synthesizer into the mixer as one more source.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioMixer.h"
#include "platform/MidiSequencer.h"

namespace zun {

class MidiSynth : public MidiSink {
public:
    // Writes `frames` stereo frames (interleaved L, R) of its output.
    virtual void Render(float* out, int32_t frames) = 0;
};

// The General MIDI sound font the program plays with: the file named by
// ZUN_SOUNDFONT when that is set, else Debian's "default-GM.sf2" link, else the
// first sound font in the system's sound-font folders. Empty when there is none.
std::string FindSoundFont();

// A FluidSynth synthesizer (its synth only: no player, no audio driver) with
// one sound font; null with a reason in `error` when that fails. The
// synthesizers alive at one time share one copy of each font.
std::unique_ptr<MidiSynth> CreateFluidSynth(const std::string& soundFont, int32_t rate, std::string& error);
// Sound fonts held in memory now.
int32_t LoadedSoundFonts();

// The MIDI voice of the mixer: sequencer time advances with the rendered
// audio, in slices short enough that events land within about a millisecond.
class MidiPlayer : public AudioSource {
public:
    explicit MidiPlayer(std::unique_ptr<MidiSynth> synth);

    // All of these are called with the mixer locked.
    MidiSequencer& Sequencer() { return seq_; }
    MidiSynth& Synth() { return *synth_; }
    void SetAttenuation(int32_t mB) { attenuation_ = mB; }
    int32_t Attenuation() const { return attenuation_; }

    void RenderAdd(float* out, int32_t frames, int32_t rate) override;

private:
    std::unique_ptr<MidiSynth> synth_;
    MidiSequencer seq_;
    int32_t attenuation_ = 0;
    std::vector<float> scratch_;
};

}  // namespace zun
