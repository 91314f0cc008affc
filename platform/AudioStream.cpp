#include "platform/AudioStream.h"

#include <algorithm>
#include <cmath>

#include "platform/MusicFileStream.h"

namespace zun {

AudioStream::AudioStream(std::shared_ptr<AudioMixer> mixer, std::shared_ptr<const AudioData> data)
    : mixer_(std::move(mixer)), data_(std::move(data)) {
    voice_ = mixer_->AddVoice(data_);
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->End = AudioVoice::EndMode::Hold;
    voice_->Frequency = data_->SampleRate;
}

AudioStream::~AudioStream() { mixer_->RemoveVoice(voice_); }

std::shared_ptr<MusicStream> AudioStream::FromFile(const std::shared_ptr<AudioMixer>& mixer,
                                                   const std::string& hostPath, std::string& error) {
    return MusicFileStream::Open(mixer, hostPath, error);
}

void AudioStream::Run() {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    // A stream that stands at its end has nothing left to play.
    voice_->Playing = voice_->Frame() < data_->Frames || voice_->Looping;
}

void AudioStream::Stop() {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->Playing = false;
}

bool AudioStream::IsRunning() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    return voice_->Playing;
}

double AudioStream::GetPosition() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    // The mixer's last step can carry the voice a little past the last frame
    // before it stops; the piece itself ends at its stop time.
    const double frames = std::min(double(voice_->Position) / 4294967296.0, double(data_->Frames));
    return frames / double(data_->SampleRate);
}

void AudioStream::SetPosition(double seconds) {
    if (!(seconds > 0)) seconds = 0;
    double frames = std::min(seconds * data_->SampleRate, double(data_->Frames));
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->Position = uint64_t(frames * 4294967296.0);
}

double AudioStream::GetStopTime() const { return double(data_->Frames) / double(data_->SampleRate); }

double AudioStream::GetRate() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    return rate_;
}

void AudioStream::SetRate(double rate) {
    if (!(rate >= MinRate)) rate = MinRate;  // also NaN
    if (rate > MaxRate) rate = MaxRate;
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    rate_ = rate;
    voice_->Frequency = rate * data_->SampleRate;
}

int32_t AudioStream::GetVolume() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    return voice_->Attenuation;
}

void AudioStream::SetVolume(int32_t mB) {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    voice_->Attenuation = std::clamp(mB, -10000, 0);
}

void AudioStream::SetLoop(bool looping, double start, double end) {
    const double rate = data_->SampleRate;
    const double s = std::max(0.0, start) * rate;
    const double e = std::min(end * rate, double(data_->Frames));  // kPieceEnd too
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    if (!looping || !(e > s)) {
        voice_->Looping = false;
        return;
    }
    voice_->Looping = true;
    voice_->LoopStart = int64_t(std::floor(s));
    voice_->LoopEnd = std::max<int64_t>(voice_->LoopStart + 1, int64_t(std::floor(e)));
}

bool AudioStream::HoldsLoop() const {
    std::lock_guard<std::mutex> lk(mixer_->Mutex());
    return voice_->Looping;
}

}  // namespace zun
