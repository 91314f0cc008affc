#include "platform/MidiStream.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/AudioDevice.h"

namespace zun {

namespace {
double SecondsPerTick(int32_t tempo) { return double(tempo) / 1e6 / double(kMusicTicksPerQuarter); }

int32_t ClampTick(double t) {
    if (!(t > 0)) return 0;
    if (t >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return int32_t(std::floor(t + 1e-6));
}
}  // namespace

double MidiTicksToSeconds(const MidiSong& song, double tick) {
    double seconds = 0, at = 0;
    int32_t tempo = kDefaultMidiTempo;
    for (const MidiEvent& e : song.Events) {
        if (e.Status != 0xFF) continue;
        if (double(e.Tick) >= tick) break;
        seconds += (double(e.Tick) - at) * SecondsPerTick(tempo);
        at = e.Tick;
        tempo = e.Tempo;
    }
    return seconds + std::max(0.0, tick - at) * SecondsPerTick(tempo);
}

double MidiSecondsToTicks(const MidiSong& song, double seconds) {
    double elapsed = 0, at = 0;
    int32_t tempo = kDefaultMidiTempo;
    for (const MidiEvent& e : song.Events) {
        if (e.Status != 0xFF) continue;
        const double span = (double(e.Tick) - at) * SecondsPerTick(tempo);
        if (elapsed + span > seconds) break;
        elapsed += span;
        at = e.Tick;
        tempo = e.Tempo;
    }
    return at + std::max(0.0, seconds - elapsed) / SecondsPerTick(tempo);
}

MidiStream::MidiStream(std::shared_ptr<AudioMixer> mixer, std::shared_ptr<const MidiSong> song,
                       std::unique_ptr<MidiSynth> synth)
    : mixer_(std::move(mixer)), song_(std::move(song)) {
    // Its instruments are read now, before the mix plays it.
    if (synth) synth->Prepare(*song_);
    player_ = std::make_shared<MidiPlayer>(std::move(synth));
    player_->Sequencer().Load(song_);
    mixer_->AddSource(player_);
}

MidiStream::~MidiStream() { mixer_->RemoveSource(player_); }

void MidiStream::PlayFrom(int32_t tick) {
    auto& seq = player_->Sequencer();
    seq.Play(tick, looping_, loopStart_, loopEnd_, player_->Synth());
}

void MidiStream::Run() {
    AudioLock lock(mixer_.get());
    auto& seq = player_->Sequencer();
    if (pendingTick_ >= 0) {
        PlayFrom(pendingTick_);
        pendingTick_ = -1;
    } else if (!seq.IsPlaying()) {
        PlayFrom(seq.Position());
    }
}

void MidiStream::Stop() {
    AudioLock lock(mixer_.get());
    player_->Sequencer().Stop(player_->Synth());
}

bool MidiStream::IsRunning() const {
    AudioLock lock(mixer_.get());
    return player_->Sequencer().IsPlaying();
}

double MidiStream::GetPosition() const {
    AudioLock lock(mixer_.get());
    const int32_t tick = pendingTick_ >= 0 ? pendingTick_ : player_->Sequencer().Position();
    return MidiTicksToSeconds(*song_, std::min(tick, song_->Length));
}

void MidiStream::SetPosition(double seconds) {
    const double stop = GetStopTime();
    if (!(seconds > 0)) seconds = 0;
    const int32_t tick = std::min(ClampTick(MidiSecondsToTicks(*song_, std::min(seconds, stop))), song_->Length);
    AudioLock lock(mixer_.get());
    // A running piece jumps at once (with its controllers chased); a stopped
    // one starts there at the next Run.
    if (player_->Sequencer().IsPlaying()) PlayFrom(tick);
    else pendingTick_ = tick;
}

double MidiStream::GetStopTime() const { return MidiTicksToSeconds(*song_, song_->Length); }

double MidiStream::GetRate() const {
    AudioLock lock(mixer_.get());
    return rate_;
}

void MidiStream::SetRate(double rate) {
    if (!(rate >= MinRate)) rate = MinRate;  // also NaN
    if (rate > MaxRate) rate = MaxRate;
    AudioLock lock(mixer_.get());
    rate_ = rate;
    player_->Sequencer().SetTempoFactor(rate);
}

int32_t MidiStream::GetVolume() const {
    AudioLock lock(mixer_.get());
    return player_->Attenuation();
}

void MidiStream::SetVolume(int32_t mB) {
    AudioLock lock(mixer_.get());
    player_->SetAttenuation(std::clamp(mB, -10000, 0));
}

void MidiStream::SetLoop(bool looping, double start, double end) {
    // An end past the song (kPieceEnd too) is the song's end.
    const double stop = GetStopTime();
    end = std::min(end, stop);
    const int32_t s = ClampTick(MidiSecondsToTicks(*song_, std::max(0.0, start)));
    const int32_t e = ClampTick(MidiSecondsToTicks(*song_, end));
    AudioLock lock(mixer_.get());
    looping_ = looping && end > start && e > s;
    loopStart_ = looping_ ? s : 0;
    loopEnd_ = looping_ ? std::min(e, song_->Length) : 0;
}

bool MidiStream::HoldsLoop() const {
    AudioLock lock(mixer_.get());
    return looping_;
}

}  // namespace zun
