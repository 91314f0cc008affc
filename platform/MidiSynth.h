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
    // Readies the instruments `song` can ask for, so that playing it reads
    // nothing more; called before it plays, off the mix.
    virtual void Prepare(const MidiSong&) {}
    // Taken by the mix around a whole render, released by Unhold: false
    // while the synthesizer is busy (its instruments being read for a piece
    // to come), and the mix then plays on without it.
    virtual bool TryHold() { return true; }
    virtual void Unhold() {}
};

// The General MIDI sound font the program plays with: the file named by
// ZUN_SOUNDFONT when that is set, else Debian's "default-GM.sf2" link, else the
// first sound font in the system's sound-font folders. Empty when there is none.
std::string FindSoundFont();

// How a sound font is read: whole at once, or in parts, only the instruments
// played, when Prepare or the music first asks for them. By size, a font up
// to kWholeSoundFontBytes is read whole and a larger one in parts, so that a
// large font costs what the music uses of it: read in parts, each instrument
// costs a read of the font's tables, and the library plays the last points of
// some samples of a small font differently (a click at the end of some of
// Debian's small General MIDI font's drums).
enum class SoundFontReading { BySize, Whole, InParts };
inline constexpr int64_t kWholeSoundFontBytes = int64_t(16) << 20;

// A FluidSynth synthesizer (its synth only: no player, no audio driver) with
// one sound font; null with a reason in `error` when that fails. The
// synthesizers alive at one time share one copy of each font.
std::unique_ptr<MidiSynth> CreateFluidSynth(const std::string& soundFont, int32_t rate, std::string& error,
                                            SoundFontReading reading = SoundFontReading::BySize);
// Sound fonts held in memory now, and the bytes read from sound fonts so far.
int32_t LoadedSoundFonts();
int64_t SoundFontBytesRead();

// The MIDI voice of the mixer: sequencer time advances with the rendered
// audio, in slices short enough that events land within about a millisecond.
class MidiPlayer : public AudioSource {
public:
    explicit MidiPlayer(std::unique_ptr<MidiSynth> synth);

    // All of these are called with the mixer locked, but for the synthesizer's
    // Prepare, which must not hold the mix up.
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
