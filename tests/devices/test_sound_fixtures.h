// Sound fixtures made by code: PCM wave files byte by byte, small standard
// MIDI files, a recording MIDI sink, and offline rendering of the mixer.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioDevice.h"
#include "platform/MidiSynth.h"
#include "support/TestSupport.h"

namespace zun::test {

inline void PutLE(std::vector<uint8_t>& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A PCM wave file of `frames` frames; every sample of channel c at frame i is
// value(i, c) in -1..1.
template <class F>
std::vector<uint8_t> MakeWav(int channels, int rate, int bits, int64_t frames, F value) {
    std::vector<uint8_t> data;
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            double v = value(i, c);
            if (bits == 8) data.push_back(uint8_t(std::lround(v * 127.0) + 128));
            else PutLE(data, uint32_t(int32_t(std::lround(v * 32767.0))), 2);
        }
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    PutLE(b, uint32_t(36 + data.size()), 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(uint8_t(c));
    PutLE(b, 16, 4);
    PutLE(b, 1, 2);
    PutLE(b, uint32_t(channels), 2);
    PutLE(b, uint32_t(rate), 4);
    PutLE(b, uint32_t(rate * channels * bits / 8), 4);
    PutLE(b, uint32_t(channels * bits / 8), 2);
    PutLE(b, uint32_t(bits), 2);
    for (char c : std::string("data")) b.push_back(uint8_t(c));
    PutLE(b, uint32_t(data.size()), 4);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline std::vector<uint8_t> ConstantWav(int channels, int rate, int bits, int64_t frames, double value = 0.5) {
    return MakeWav(channels, rate, bits, frames, [value](int64_t, int) { return value; });
}

// One MIDI track under construction: delta times in the file's own ticks.
struct MidiTrack {
    std::vector<uint8_t> b;
    void VarLen(uint32_t v) {
        uint8_t tmp[5];
        int n = 0;
        tmp[n++] = uint8_t(v & 0x7F);
        while (v >>= 7) tmp[n++] = uint8_t(0x80 | (v & 0x7F));
        while (n) b.push_back(tmp[--n]);
    }
    MidiTrack& Event(uint32_t delta, std::vector<uint8_t> bytes) {
        VarLen(delta);
        b.insert(b.end(), bytes.begin(), bytes.end());
        return *this;
    }
    MidiTrack& Tempo(uint32_t delta, uint32_t usPerQuarter) {
        return Event(delta, {0xFF, 0x51, 0x03, uint8_t(usPerQuarter >> 16), uint8_t(usPerQuarter >> 8),
                             uint8_t(usPerQuarter)});
    }
    MidiTrack& End(uint32_t delta = 0) { return Event(delta, {0xFF, 0x2F, 0x00}); }
};

inline std::vector<uint8_t> MakeMidi(int format, int division, const std::vector<MidiTrack>& tracks) {
    std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, uint8_t(format), 0, uint8_t(tracks.size()),
                              uint8_t(division >> 8), uint8_t(division)};
    for (auto& t : tracks) {
        f.insert(f.end(), {'M', 'T', 'r', 'k'});
        uint32_t n = uint32_t(t.b.size());
        f.insert(f.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
        f.insert(f.end(), t.b.begin(), t.b.end());
    }
    return f;
}

struct MidiMessage {
    uint8_t Status, Data1, Data2;
    bool operator==(const MidiMessage&) const = default;
};

// A synthesizer that only writes down what it is told and renders silence.
class RecordingSynth : public MidiSynth {
public:
    std::shared_ptr<std::vector<MidiMessage>> Log = std::make_shared<std::vector<MidiMessage>>();
    void Send(uint8_t s, uint8_t d1, uint8_t d2) override { Log->push_back({s, d1, d2}); }
    void Render(float* out, int32_t frames) override { std::fill(out, out + frames * 2, 0.0f); }
};

// Renders `frames` frames of the open device's mixer by hand.
inline std::vector<float> RenderMixer(int64_t frames) {
    auto m = AudioDevice::Mixer();
    std::vector<float> out(size_t(frames) * 2, 0.0f);
    if (!m) return out;
    const int64_t block = 512;
    for (int64_t done = 0; done < frames; done += block) {
        int32_t n = int32_t(std::min(block, frames - done));
        m->Render(out.data() + done * 2, n);
    }
    return out;
}

inline void RenderSeconds(double seconds) {
    auto m = AudioDevice::Mixer();
    if (m) RenderMixer(int64_t(seconds * m->Rate()));
}

}  // namespace zun::test
