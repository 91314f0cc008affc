// A streamed music file from arbitrary bytes: a MIDI file played through the
// sequencer into a silent synthesizer, anything else through the decoder;
// then played with loop points, rate changes and jumps in a mixer rendered by
// hand. The position never leaves the piece.
// fuzz-libs: zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "platform/AudioStream.h"
#include "platform/MidiStream.h"

namespace {
struct SilentSynth : zun::MidiSynth {
    void Send(uint8_t, uint8_t, uint8_t) override {}
    void Render(float* out, int32_t frames) override { std::memset(out, 0, sizeof(float) * size_t(frames) * 2); }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    static auto mixer = std::make_shared<zun::AudioMixer>(8000, true);
    std::shared_ptr<zun::MusicStream> stream;
    std::string error;
    if (size >= 4 && std::memcmp(data, "MThd", 4) == 0) {
        auto song = std::make_shared<zun::MidiSong>();
        if (!zun::ParseMidiFile(data, size, *song, error)) return 0;
        stream = std::make_shared<zun::MidiStream>(mixer, song, std::make_unique<SilentSynth>());
    } else {
        const std::string path = zun::fuzz::WriteScratch("music.bin", data, size);
        stream = zun::AudioStream::FromFile(mixer, path, error);
        if (!stream) {
            if (error.empty()) __builtin_trap();
            return 0;
        }
    }
    const double stop = stream->GetStopTime();
    stream->SetLoop(true, stop / 4, stop / 2);
    stream->SetPosition(stop / 3);
    stream->SetRate(size > 5 ? data[5] / 4.0 : 1.0);
    stream->SetVolume(-600);
    stream->Run();
    std::vector<float> out(2 * 512);
    for (int i = 0; i < 8; ++i) mixer->Render(out.data(), 512);
    stream->SetPosition(stop * 2);
    stream->Run();
    mixer->Render(out.data(), 512);
    if (stream->GetPosition() > stop + 1e-6) __builtin_trap();
    return 0;
}
