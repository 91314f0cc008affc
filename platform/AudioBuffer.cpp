#include "platform/AudioBuffer.h"

#include <algorithm>
#include <cmath>

#include "platform/AudioDecode.h"

namespace zun {

AudioBuffer::AudioBuffer(std::shared_ptr<AudioMixer> mixer, std::shared_ptr<const AudioData> data)
    : mixer_(std::move(mixer)), data_(std::move(data)) {
    voice_ = mixer_->AddVoice(data_);
    voice_->End = AudioVoice::EndMode::Rewind;
}

AudioBuffer::~AudioBuffer() { mixer_->RemoveVoice(voice_); }

std::shared_ptr<AudioBuffer> AudioBuffer::FromFile(const std::shared_ptr<AudioMixer>& mixer,
                                                   const std::string& hostPath, std::string& error) {
    if (!mixer) {
        error = "No audio output";
        return nullptr;
    }
    auto data = std::make_shared<AudioData>();
    if (!DecodeAudioFile(hostPath, *data, error, mixer->Rate())) return nullptr;
    return std::make_shared<AudioBuffer>(mixer, std::move(data));
}

std::shared_ptr<AudioBuffer> AudioBuffer::Duplicate() const {
    auto copy = std::make_shared<AudioBuffer>(mixer_, data_);
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    copy->voice_->Attenuation = voice_->Attenuation;
    copy->voice_->Frequency = voice_->Frequency;
    return copy;
}

uint32_t AudioBuffer::GetStatus() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    uint32_t s = 0;
    if (voice_->Playing) s |= StatusPlaying;
    if (voice_->Playing && voice_->Looping) s |= StatusLooping;
    return s;
}

AudioFormat AudioBuffer::GetFormat() const {
    AudioFormat f;
    f.Channels = data_->Channels;
    f.SampleRate = data_->SampleRate;
    f.BitsPerSample = data_->BitsPerSample;
    f.BlockAlign = data_->BlockAlign();
    return f;
}

int32_t AudioBuffer::GetVolume() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    return voice_->Attenuation;
}

void AudioBuffer::SetVolume(int32_t mB) {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->Attenuation = std::clamp(mB, -10000, 0);
}

int32_t AudioBuffer::GetFrequency() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    return int32_t(std::lround(voice_->Frequency));
}

void AudioBuffer::SetFrequency(int32_t hz) {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->Frequency = std::clamp(hz, MinFrequency, MaxFrequency);
}

int32_t AudioBuffer::GetCurrentPosition() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    const int64_t frame = int64_t(double(voice_->Frame()) / data_->StoredPerFrame());
    int64_t bytes = frame * data_->BlockAlign();
    return int32_t(std::min<int64_t>(bytes, INT32_MAX));
}

void AudioBuffer::SetCurrentPosition(int32_t bytes) {
    const int32_t align = std::max(1, data_->BlockAlign());
    const int64_t frame = int64_t(double(std::max(0, bytes) / align) * data_->StoredPerFrame());
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    // A position past the end plays nothing; it is kept as the last frame.
    voice_->SetFrame(std::min<int64_t>(frame, std::max<int64_t>(0, data_->Frames - 1)));
}

AudioVoice AudioBuffer::Snapshot() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    return *voice_;
}

void AudioBuffer::Play(bool looping) {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->Looping = looping;
    voice_->Playing = true;
}

void AudioBuffer::Stop() {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->Playing = false;
}

}  // namespace zun
