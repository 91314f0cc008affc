// The MIDI file reader on arbitrary bytes; a file it accepts is then played
// for a while, looping, with jumps, at the fastest tempo factor.
// fuzz-libs: zun_platform
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/MidiFile.h"
#include "platform/MidiSequencer.h"

namespace {
struct NullSink : zun::MidiSink {
    uint64_t n = 0;
    void Send(uint8_t s, uint8_t a, uint8_t b) override { n += s + a + b; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    auto song = std::make_shared<zun::MidiSong>();
    std::string error;
    if (!zun::ParseMidiFile(data, size, *song, error)) return 0;
    NullSink sink;
    zun::MidiSequencer seq;
    seq.Load(song);
    const int32_t len = song->Length;
    const int32_t start = size > 0 ? int32_t(data[0]) * 97 : 0;
    seq.SetTempoFactor(64);
    seq.Play(start, true, len / 3, len / 2, sink);
    for (int i = 0; i < 8; ++i) seq.Advance(0.05, sink);
    seq.Play(start, false, 0, 0, sink);
    for (int i = 0; i < 8 && seq.IsPlaying(); ++i) seq.Advance(0.05, sink);
    seq.Stop(sink);
    return 0;
}
