#include "platform/AudioMixer.h"

#include <algorithm>
#include <cmath>

namespace zun {

float AttenuationToGain(int32_t mB) {
    if (mB <= -10000) return 0.0f;
    if (mB >= 0) return 1.0f;
    return float(std::pow(10.0, double(mB) / 2000.0));
}

AudioMixer::AudioMixer(int32_t rate, bool offline) : rate_(rate > 0 ? rate : 44100), offline_(offline) {}

std::shared_ptr<AudioVoice> AudioMixer::AddVoice(std::shared_ptr<const AudioData> data) {
    auto v = std::make_shared<AudioVoice>();
    v->Data = std::move(data);
    if (v->Data) v->Frequency = v->Data->SampleRate;
    std::lock_guard<std::mutex> lk(mutex_);
    voices_.push_back(v);
    return v;
}

void AudioMixer::RemoveVoice(const std::shared_ptr<AudioVoice>& voice) {
    std::lock_guard<std::mutex> lk(mutex_);
    voices_.erase(std::remove(voices_.begin(), voices_.end(), voice), voices_.end());
}

void AudioMixer::AddSource(const std::shared_ptr<AudioSource>& source) {
    std::lock_guard<std::mutex> lk(mutex_);
    sources_.push_back(source);
}

void AudioMixer::RemoveSource(const std::shared_ptr<AudioSource>& source) {
    std::lock_guard<std::mutex> lk(mutex_);
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

int32_t AudioMixer::VoiceCount() {
    std::lock_guard<std::mutex> lk(mutex_);
    return int32_t(voices_.size());
}

int32_t AudioMixer::SourceCount() {
    std::lock_guard<std::mutex> lk(mutex_);
    return int32_t(sources_.size());
}

void AudioMixer::MixVoice(AudioVoice& v, float* out, int32_t frames, int32_t rate) {
    if (!v.Playing || !v.Data || rate <= 0) return;
    const AudioData& d = *v.Data;
    const int64_t total = d.Frames;
    const int32_t ch = d.StoredChannels;
    if (total <= 0 || ch < 1 || ch > 2 || int64_t(d.Samples.size()) < total * ch) {
        v.Playing = false;
        v.Position = 0;
        return;
    }
    const int64_t loopEnd = (v.LoopEnd > 0 && v.LoopEnd <= total) ? v.LoopEnd : total;
    const int64_t loopStart = (v.LoopStart >= 0 && v.LoopStart < loopEnd) ? v.LoopStart : 0;
    const bool loop = v.Looping;
    const int64_t end = loop ? loopEnd : total;

    // The step in 32.32 fixed point; a frequency beyond any sane ratio is capped
    // so the position cannot run away in one block.
    double ratio = v.Frequency * d.StoredPerFrame() / double(rate);
    if (!(ratio > 0)) ratio = 0;
    if (ratio > 65536.0) ratio = 65536.0;
    const uint64_t step = uint64_t(ratio * 4294967296.0);
    const float gain = AttenuationToGain(v.Attenuation);
    const float* s = d.Samples.data();

    for (int32_t n = 0; n < frames; ++n) {
        int64_t i = int64_t(v.Position >> 32);
        if (i >= end) {
            if (!loop) {
                v.Playing = false;
                v.Position = v.End == AudioVoice::EndMode::Rewind ? 0 : uint64_t(total) << 32;
                return;
            }
            const uint64_t len = uint64_t(loopEnd - loopStart) << 32;
            const uint64_t over = v.Position - (uint64_t(loopEnd) << 32);
            v.Position = (uint64_t(loopStart) << 32) + over % len;
            i = int64_t(v.Position >> 32);
        }
        const float frac = float(double(uint32_t(v.Position)) * (1.0 / 4294967296.0));
        int64_t j = i + 1;
        if (j >= end) j = loop ? loopStart : i;
        if (ch == 1) {
            const float a = s[i], b = s[j];
            const float x = gain * (a + (b - a) * frac);
            out[2 * n] += x;
            out[2 * n + 1] += x;
        } else {
            const float al = s[2 * i], bl = s[2 * j];
            const float ar = s[2 * i + 1], br = s[2 * j + 1];
            out[2 * n] += gain * (al + (bl - al) * frac);
            out[2 * n + 1] += gain * (ar + (br - ar) * frac);
        }
        v.Position += step;
    }
}

void AudioMixer::Render(float* out, int32_t frames) {
    if (frames <= 0) return;
    std::fill(out, out + size_t(frames) * 2, 0.0f);
    std::lock_guard<std::mutex> lk(mutex_);
    for (auto& v : voices_) MixVoice(*v, out, frames, rate_);
    for (auto& src : sources_) src->RenderAdd(out, frames, rate_);
    for (int32_t k = 0; k < frames * 2; ++k) out[k] = std::clamp(out[k], -1.0f, 1.0f);
    renders_.fetch_add(1, std::memory_order_release);
}

}  // namespace zun
