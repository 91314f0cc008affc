// The mixer with 32 voices, each resampled (a different frequency per voice),
// rendering 10 s of audio, beside a plain float sum of the same 32 voices at
// their own rate with no resampling, gain or looping. Both run in every
// iteration; "ratio" is the mixer's time over the plain sum's, "core_share"
// the part of one core the mixer needs to keep up in real time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/AudioMixer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kRate = 48000;
constexpr int32_t kVoices = 32;
constexpr double kAudioSeconds = 10.0;
constexpr int32_t kBlock = 1024;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::shared_ptr<zun::AudioData> Tone(int channels, int rate, double hz) {
    auto d = std::make_shared<zun::AudioData>();
    d->Channels = d->StoredChannels = channels;
    d->SampleRate = rate;
    d->Frames = rate * 2;  // two seconds, looped
    d->Samples.resize(size_t(d->Frames) * channels);
    for (int64_t i = 0; i < d->Frames; ++i)
        for (int c = 0; c < channels; ++c)
            d->Samples[size_t(i * channels + c)] = float(0.02 * std::sin(2 * M_PI * hz * double(i) / rate));
    return d;
}

void BM_Mixer32VoicesResampled(benchmark::State& state) {
    zun::AudioMixer mixer(kRate);
    std::vector<std::shared_ptr<zun::AudioData>> data;
    std::vector<std::shared_ptr<zun::AudioVoice>> voices;
    for (int v = 0; v < kVoices; ++v) {
        data.push_back(Tone(1 + v % 2, v % 3 == 0 ? 22050 : 44100, 220.0 + 10 * v));
        auto voice = mixer.AddVoice(data.back());
        voice->Playing = true;
        voice->Looping = true;
        voice->Attenuation = -600 - 10 * v;
        voice->Frequency = data.back()->SampleRate * (0.8 + 0.013 * v);
        voices.push_back(voice);
    }
    const int64_t frames = int64_t(kAudioSeconds * kRate);
    std::vector<float> out(size_t(kBlock) * 2);
    double ours = 0, plain = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (int64_t done = 0; done < frames; done += kBlock) mixer.Render(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        auto t1 = Clock::now();
        // The peer: the same voices summed frame for frame as they are stored.
        std::vector<int64_t> pos(kVoices, 0);
        for (int64_t done = 0; done < frames; done += kBlock) {
            std::fill(out.begin(), out.end(), 0.0f);
            for (int v = 0; v < kVoices; ++v) {
                const auto& d = *data[size_t(v)];
                const float* s = d.Samples.data();
                int64_t p = pos[size_t(v)];
                if (d.StoredChannels == 1) {
                    for (int32_t n = 0; n < kBlock; ++n, ++p) {
                        if (p >= d.Frames) p = 0;
                        out[size_t(2 * n)] += s[p];
                        out[size_t(2 * n + 1)] += s[p];
                    }
                } else {
                    for (int32_t n = 0; n < kBlock; ++n, ++p) {
                        if (p >= d.Frames) p = 0;
                        out[size_t(2 * n)] += s[2 * p];
                        out[size_t(2 * n + 1)] += s[2 * p + 1];
                    }
                }
                pos[size_t(v)] = p;
            }
            benchmark::DoNotOptimize(out.data());
        }
        auto t2 = Clock::now();
        ours += Seconds(t0, t1);
        plain += Seconds(t1, t2);
    }
    const double it = double(state.iterations());
    state.counters["mixer_ms"] = ours * 1000.0 / it;
    state.counters["plain_sum_ms"] = plain * 1000.0 / it;
    state.counters["ratio"] = plain > 0 ? ours / plain : 0.0;
    state.counters["core_share"] = ours / it / kAudioSeconds;
}
BENCHMARK(BM_Mixer32VoicesResampled)->Unit(benchmark::kMillisecond);

}  // namespace
