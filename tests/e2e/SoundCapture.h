// What the player hears, captured while the program plays: the mixer runs
// offline (no device thread) and is rendered here, one game frame of sound
// per frame of the virtual clock. Beside the mix, each playing wave's share is
// rendered from a copy of its voice, so the music (whatever in the mix is not
// a wave: the synthesizer) and each sound file are measured apart.
#pragma once

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "PlayTestSupport.h"
#include "devices/zDMusic.h"
#include "devices/zDSound.h"
#include "platform/AudioBuffer.h"
#include "platform/AudioDevice.h"

namespace tarv::test {

constexpr int32_t kCaptureRate = 44100;
constexpr int32_t kFrameMs = 15;  // one frame of the virtual clock

// A running sum of squares: the level in dBFS RMS of what went in.
struct LevelSum {
    double Squares = 0;
    int64_t Samples = 0;
    void Add(const float* s, size_t n) {
        for (size_t k = 0; k < n; ++k) Squares += double(s[k]) * s[k];
        Samples += int64_t(n);
    }
    double Db() const { return Samples > 0 && Squares > 0 ? 10.0 * std::log10(Squares / double(Samples)) : -200.0; }
};

class SoundCapture {
public:
    std::map<std::string, LevelSum> Waves;  // each sound file while it plays audibly
    LevelSum Music;                         // the mix less the waves, while a MIDI piece plays
    float Peak = 0;                         // of the whole mix
    float QuietPeak = 0;                    // of the mix while Quiet is set
    bool Quiet = false;                     // muted: levels are not summed, the peak is kept apart
    std::string PeakAt;                     // what played when the mix peaked

    // Call once per game frame, before the frame runs.
    void Frame() {
        const auto mixer = zun::AudioDevice::Mixer();
        if (!mixer) return;
        const int64_t due = (int64_t(++frames_) * kFrameMs * kCaptureRate) / 1000;
        const int32_t n = int32_t(due - rendered_);
        rendered_ = due;
        if (n <= 0) return;
        const size_t len = size_t(n) * 2;
        std::string playing;
        mix_.assign(len, 0.0f);
        rest_.assign(len, 0.0f);
        // Each audible wave's share, from a copy of its voice as it stands.
        auto share = [&](const std::shared_ptr<zun::AudioBuffer>& b, const std::string& name) {
            if (!b || !(b->GetStatus() & zun::AudioBuffer::StatusPlaying)) return;
            zun::AudioVoice v = b->Snapshot();
            if (v.Attenuation <= -10000) return;
            one_.assign(len, 0.0f);
            zun::AudioMixer::MixVoice(v, one_.data(), n, mixer->Rate());
            playing += " " + name;
            for (size_t k = 0; k < len; ++k) rest_[k] += one_[k];
            if (!Quiet) Waves[name].Add(one_.data(), len);
        };
        for (int32_t i = 1; i <= zun::zDSound.WaveCount && size_t(i) < zun::zDSound.Waves.size(); ++i)
            share(zun::zDSound.Waves[size_t(i)], zun::zDSound.WaveFiles[size_t(i)]);
        for (int32_t i = 1; i <= zun::zDSound.DuplicateCount && size_t(i) < zun::zDSound.Duplicates.size(); ++i) {
            const int32_t of = zun::zDSound.DuplicateOf[size_t(i)];
            share(zun::zDSound.Duplicates[size_t(i)],
                  of > 0 && size_t(of) < zun::zDSound.WaveFiles.size() ? zun::zDSound.WaveFiles[size_t(of)] : "?");
        }
        const bool music = zun::GetMidiPosition() > 0;
        mixer->Render(mix_.data(), n);
        const float before = Peak;
        for (size_t k = 0; k < len; ++k) {
            const float a = std::fabs(mix_[k]);
            (Quiet ? QuietPeak : Peak) = std::max(Quiet ? QuietPeak : Peak, a);
            rest_[k] = mix_[k] - rest_[k];
        }
        if (music && !Quiet) Music.Add(rest_.data(), len);
        if (Peak > before) PeakAt = "frame " + std::to_string(zun::zCore.FrameCounter) + (music ? ": music" : ":") + playing;
    }

    // The sum of the footstep sounds ("step_...").
    LevelSum Steps() const {
        LevelSum s;
        for (const auto& [name, sum] : Waves)
            if (name.rfind("step_", 0) == 0) s.Squares += sum.Squares, s.Samples += sum.Samples;
        return s;
    }

private:
    int64_t frames_ = 0, rendered_ = 0;
    std::vector<float> mix_, rest_, one_;
};

// Every step of the script renders its frame of sound first.
inline void CaptureAlong(std::vector<Step>& ioSteps, const std::shared_ptr<SoundCapture>& iCapture) {
    for (Step& s : ioSteps)
        s.Run = [run = std::move(s.Run), iCapture](ScriptedPlayer& p) {
            iCapture->Frame();
            return run(p);
        };
}

inline std::string Db(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    return b;
}

}  // namespace tarv::test
