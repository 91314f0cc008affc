#include "devices/zDSound.h"

#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "platform/AudioDevice.h"

namespace zun {

zDSoundState zDSound;

namespace {

AudioBuffer& WaveBuffer(int32_t Wave) {
    if (Wave < 1 || Wave > zDSound.WaveCount) Raise(errSubscript);
    auto& b = zDSound.Waves[size_t(Wave)];
    if (!b) Raise(errObjectNotSet);
    return *b;
}

// (1 - v) * -10000 for a volume that is already clamped and scaled.
int32_t Attenuation(double v) { return CLng((1.0 - v) * -10000.0); }

void ResetTables() {
    zDSound.Waves.assign(1, nullptr);
    zDSound.WaveFiles.assign(1, std::string());
    zDSound.WaveVolumes.assign(1, 1.0f);
    zDSound.WaveOwned.assign(1, 0);
    zDSound.Duplicates.assign(1, nullptr);
    zDSound.DuplicateOf.assign(1, 0);
    zDSound.DuplicateVolumes.assign(1, 1.0f);
    zDSound.FreeDuplicates.clear();
    zDSound.DuplicatesCheckedAt = UINT64_MAX;
    zDSound.PlayRefused = false;
    zDSound.WaveCount = 0;
    zDSound.DuplicateCount = 0;
}

bool IsPlaying(const std::shared_ptr<AudioBuffer>& b) { return b && (b->GetStatus() & AudioBuffer::StatusPlaying); }

// A duplicate slot to play in, 0 when kMaxDuplicates play already. A slot is
// taken from those known stopped; only when none is known are the others
// looked over, and then only if the mixer has rendered since the last look
// (a voice ends only there, or by a stop that marks the look as due). So a
// play costs the same however many came before it.
int32_t TakeDuplicateSlot() {
    auto& free = zDSound.FreeDuplicates;
    if (free.empty()) {
        const auto mixer = AudioDevice::Mixer();
        const uint64_t renders = mixer ? mixer->Renders() : 0;
        if (renders != zDSound.DuplicatesCheckedAt) {
            zDSound.DuplicatesCheckedAt = renders;
            // Highest first, so that the lowest stopped slot is taken first.
            for (int32_t i = zDSound.DuplicateCount; i >= 1; --i)
                if (!IsPlaying(zDSound.Duplicates[size_t(i)])) free.push_back(i);
        }
    }
    if (!free.empty()) {
        const int32_t slot = free.back();
        free.pop_back();
        return slot;
    }
    if (zDSound.DuplicateCount >= kMaxDuplicates) return 0;
    zDSound.DuplicateCount += 1;
    zDSound.Duplicates.push_back(nullptr);
    zDSound.DuplicateOf.push_back(0);
    zDSound.DuplicateVolumes.push_back(1.0f);
    return zDSound.DuplicateCount;
}

// Stops made here may free slots the list does not know of.
void DuplicatesStopped() {
    zDSound.FreeDuplicates.clear();
    zDSound.DuplicatesCheckedAt = UINT64_MAX;
}

}  // namespace

bool DSound_Initialize(intptr_t hWnd) {
    return Trap("DSound_Initialize", false, [&] {
        if (zDSound.DSound) DSound_Release();
        if (!AudioDevice::Acquire()) {
            zCore.LastError = errInvalidCall;
            DSound_Release();
            return false;
        }
        zDSound.DSound = true;
        ResetTables();
        zDSound.Volume = 1.0f;
        zDSound.Enabled = true;
        Log("OK", "DSound_Initialize");
        return true;
    });
}

int32_t CreateWave() {
    zCore.CurrentProc = "CreateWave";
    if (zDSound.Waves.empty()) ResetTables();
    zDSound.WaveCount += 1;
    zDSound.Waves.push_back(nullptr);
    zDSound.WaveFiles.push_back(std::string());
    zDSound.WaveVolumes.push_back(1.0f);
    zDSound.WaveOwned.push_back(0);
    return zDSound.WaveCount;
}

int32_t LoadWave(const std::string& FileName, bool ForceNew) {
    zCore.CurrentProc = "LoadWave";
    if (!zDSound.Enabled) return 0;
    if (!ForceNew) {
        const std::string want = LCase(FileName);
        for (int32_t i = 1; i <= zDSound.WaveCount; ++i)
            if (!zDSound.WaveOwned[size_t(i)] && LCase(zDSound.WaveFiles[size_t(i)]) == want) return i;
    }
    const std::string path = GetAssetPath(FileName, zDSound.SoundPath, "LoadWave");
    if (path.empty()) return 0;
    // A slot given back (a level's sound emitter, released with its level) is
    // taken again before the table grows: every level visit loads its
    // emitters' waves anew.
    int32_t w = 0;
    for (int32_t i = 1; i <= zDSound.WaveCount && w == 0; ++i)
        if (!zDSound.Waves[size_t(i)] && zDSound.WaveFiles[size_t(i)].empty()) w = i;
    const bool reused = w != 0;
    if (!reused) w = CreateWave();
    zCore.CurrentProc = "LoadWave";
    zDSound.WaveFiles[size_t(w)] = FileName;
    std::string error;
    std::shared_ptr<AudioBuffer> buffer;
    try {
        buffer = AudioBuffer::FromFile(AudioDevice::Mixer(), ToHostPath(path), error);
    } catch (const std::bad_alloc&) {
        error = "Out of memory";
    }
    if (!buffer) {
        // The slot goes again, so the next load of the same name tries afresh
        // instead of finding a wave that cannot play.
        if (reused) {
            zDSound.WaveFiles[size_t(w)].clear();
        } else {
            zDSound.Waves.pop_back();
            zDSound.WaveFiles.pop_back();
            zDSound.WaveVolumes.pop_back();
            zDSound.WaveOwned.pop_back();
            zDSound.WaveCount -= 1;
        }
        Log("ERR", "LoadWave", FileName, error);
        return 0;
    }
    zDSound.Waves[size_t(w)] = std::move(buffer);
    zDSound.WaveVolumes[size_t(w)] = 1.0f;
    zDSound.WaveOwned[size_t(w)] = ForceNew ? 1 : 0;
    return w;
}

void PlayWave(int32_t Wave, bool Looping, float& Volume, float& Speed, int32_t StartMs) {
    zCore.CurrentProc = "PlayWave";
    if (!zDSound.Enabled) return;
    AudioBuffer* buffer = &WaveBuffer(Wave);
    float* own = &zDSound.WaveVolumes[size_t(Wave)];
    if (buffer->GetStatus() & AudioBuffer::StatusPlaying) {
        const int32_t slot = TakeDuplicateSlot();
        if (slot == 0) {
            // One line for a run of refusals: a script that plays a sound on
            // every frame would otherwise fill the log.
            if (!zDSound.PlayRefused)
                Log("WARN", "PlayWave", zDSound.WaveFiles[size_t(Wave)],
                    "Too many sounds at once (" + std::to_string(kMaxDuplicates) + "): not played");
            zDSound.PlayRefused = true;
            return;
        }
        zDSound.PlayRefused = false;
        auto& d = zDSound.Duplicates[size_t(slot)];
        d.reset();
        d = buffer->Duplicate();
        zDSound.DuplicateOf[size_t(slot)] = Wave;
        zDSound.DuplicateVolumes[size_t(slot)] = *own;
        own = &zDSound.DuplicateVolumes[size_t(slot)];
        buffer = d.get();
    }
    const AudioFormat fmt = buffer->GetFormat();
    const double rate = fmt.SampleRate;
    if (Volume > -1) {
        *own = std::clamp(Volume, 0.0f, 1.0f);
        Volume = *own * zDSound.Volume;
        buffer->SetVolume(Attenuation(Volume));
    }
    if (Speed > -1) {
        Speed = float(std::clamp(double(Speed), 100.0 / rate, 100000.0 / rate));
        buffer->SetFrequency(CLng(std::clamp(double(Speed) * rate, 100.0, 100000.0)));
    }
    // Bytes of the wave's own format, down to a whole frame so that a 16-bit or
    // stereo wave never starts on half a sample.
    double bytes = double(StartMs) / 1000.0 * fmt.Channels * rate * fmt.BitsPerSample / 8.0;
    bytes = std::clamp(RoundHalfEven(bytes), 0.0, double(INT32_MAX));
    int32_t pos = int32_t(bytes);
    if (fmt.BlockAlign > 0) pos -= pos % fmt.BlockAlign;
    buffer->SetCurrentPosition(pos);
    buffer->Play(Looping);
}

void PlayWave(int32_t Wave, bool Looping, float&& Volume, float&& Speed, int32_t StartMs) {
    PlayWave(Wave, Looping, Volume, Speed, StartMs);
}

int32_t PlayWaveFile(const std::string& FileName, bool Looping, float& Volume, float& Speed, bool ForceNew,
                     int32_t StartMs) {
    zCore.CurrentProc = "PlayWaveFile";
    if (!zDSound.Enabled) return 0;
    const int32_t w = LoadWave(FileName, ForceNew);
    if (w != 0) PlayWave(w, Looping, Volume, Speed, StartMs);
    return w;
}

int32_t PlayWaveFile(const std::string& FileName, bool Looping, float&& Volume, float&& Speed, bool ForceNew,
                     int32_t StartMs) {
    return PlayWaveFile(FileName, Looping, Volume, Speed, ForceNew, StartMs);
}

void SetupWave(int32_t Wave, float Volume, float Speed) {
    zCore.CurrentProc = "SetupWave";
    if (!zDSound.Enabled || Wave < 1) return;
    AudioBuffer& buffer = WaveBuffer(Wave);
    if (Volume > -1) {
        float& own = zDSound.WaveVolumes[size_t(Wave)];
        own = std::clamp(Volume, 0.0f, 1.0f);
        const int32_t att = Attenuation(double(own * zDSound.Volume));
        if (att != buffer.GetVolume()) buffer.SetVolume(att);
    }
    if (Speed > -1) {
        const double rate = buffer.GetFormat().SampleRate;
        const int32_t f = CLng(std::clamp(double(Speed), 100.0 / rate, 100000.0 / rate) * rate);
        if (f != buffer.GetFrequency()) buffer.SetFrequency(f);
    }
}

int32_t GetWavePosition(int32_t Wave) {
    if (!zDSound.Enabled || Wave < 1 || Wave > zDSound.WaveCount) return 0;
    const auto& b = zDSound.Waves[size_t(Wave)];
    if (!b) return 0;
    const AudioFormat fmt = b->GetFormat();
    if (fmt.BitsPerSample <= 0 || fmt.Channels <= 0 || fmt.SampleRate <= 0) return 0;
    const double cursor = b->GetCurrentPosition();
    return CLng(cursor * 8.0 / (double(fmt.BitsPerSample) * fmt.Channels) / fmt.SampleRate * 1000.0);
}

void StopWave(int32_t Wave) {
    if (Wave < 1 || Wave > zDSound.WaveCount) return;
    if (auto& b = zDSound.Waves[size_t(Wave)]) b->Stop();
    // A looping play that went to a duplicate would otherwise run for ever:
    // nothing but StopAllWaves could reach it. One-shot duplicates play out.
    for (int32_t i = 1; i <= zDSound.DuplicateCount; ++i) {
        auto& d = zDSound.Duplicates[size_t(i)];
        if (d && zDSound.DuplicateOf[size_t(i)] == Wave && (d->GetStatus() & AudioBuffer::StatusLooping)) {
            d->Stop();
            DuplicatesStopped();
        }
    }
}

void ReleaseWave(int32_t Wave) {
    if (Wave < 1 || Wave > zDSound.WaveCount || size_t(Wave) >= zDSound.Waves.size()) return;
    // A wave found by its name may be held by anyone who played that name
    // (the weather, a music setup, a script): it stays for the run.
    if (!zDSound.WaveOwned[size_t(Wave)]) return;
    StopWave(Wave);
    zDSound.Waves[size_t(Wave)].reset();
    // No later load by name may be handed the empty slot; a new load takes it.
    if (size_t(Wave) < zDSound.WaveFiles.size()) zDSound.WaveFiles[size_t(Wave)].clear();
}

void StopAllWaves() {
    for (int32_t i = 1; i <= zDSound.WaveCount; ++i)
        if (auto& b = zDSound.Waves[size_t(i)]) {
            b->Stop();
            b->SetCurrentPosition(0);
        }
    for (int32_t i = 1; i <= zDSound.DuplicateCount; ++i)
        if (auto& d = zDSound.Duplicates[size_t(i)]) {
            d->Stop();
            d->SetCurrentPosition(0);
        }
    DuplicatesStopped();
}

void ApplyWaveVolume() {
    zCore.CurrentProc = "ApplyWaveVolume";
    if (!zDSound.Enabled) return;
    // The product in Single, as PlayWave and SetupWave form it.
    auto send = [](const std::shared_ptr<AudioBuffer>& b, float own) {
        if (b) b->SetVolume(Attenuation(double(own * zDSound.Volume)));
    };
    for (int32_t i = 1; i <= zDSound.WaveCount; ++i) send(zDSound.Waves[size_t(i)], zDSound.WaveVolumes[size_t(i)]);
    for (int32_t i = 1; i <= zDSound.DuplicateCount; ++i)
        send(zDSound.Duplicates[size_t(i)], zDSound.DuplicateVolumes[size_t(i)]);
}

void DSound_Release() {
    zCore.CurrentProc = "DSound_Release";
    ResetTables();
    if (zDSound.DSound) {
        AudioDevice::Release();
        zDSound.DSound = false;
        zDSound.Enabled = false;
    }
}

}  // namespace zun
