// Our own software mixer under the audio device: voices that play decoded
// sound data with an attenuation in hundredths of a decibel, a frequency
// (resampled to the device rate), looping and a play position, plus sources
// such as the MIDI synthesizer that render straight into the mix.
//
// Render() is the whole audio path: it depends on nothing but the mixer's own
// state, so it runs the same from the device callback and from a test.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zun {

// Decoded sound: float samples, interleaved, one or two stored channels, and
// the format of the file it came from (play positions are counted in bytes of
// that format, as callers compute them from it).
struct AudioData {
    int32_t Channels = 0;       // channels of the original format
    int32_t SampleRate = 0;     // frames per second of the format callers see
    int32_t BitsPerSample = 16;
    int32_t StoredChannels = 0; // 1 or 2; more are mixed down to two
    // Frames per second of Samples when they were resampled at load (to the
    // mixer's rate, so that they play without interpolation); 0 = SampleRate.
    int32_t StoredRate = 0;
    int64_t Frames = 0;         // stored frames
    std::vector<float> Samples;

    int32_t BlockAlign() const { return Channels * BitsPerSample / 8; }
    // Stored frames per frame of the format callers see.
    double StoredPerFrame() const {
        return StoredRate > 0 && SampleRate > 0 ? double(StoredRate) / SampleRate : 1.0;
    }
};

// Attenuation in hundredths of a decibel (0 full, -10000 silent) to a linear
// factor: 10^(mB / 2000). -10000 and below give exact silence.
float AttenuationToGain(int32_t mB);

// Something that adds its own output into the mix (the MIDI synthesizer).
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Adds `frames` stereo frames into out (interleaved L, R) at the mixer rate.
    // Called with the mixer locked.
    virtual void RenderAdd(float* out, int32_t frames, int32_t rate) = 0;
};

// The state of one playing sound. Only the mixer and its owner (under the
// mixer lock) touch it.
struct AudioVoice {
    enum class EndMode {
        Rewind,  // a one-shot sound buffer: stops and goes back to 0 at its end
        Hold,    // a stream: stops and stays at its end
    };
    std::shared_ptr<const AudioData> Data;
    int32_t Attenuation = 0;  // mB, -10000..0
    double Frequency = 0;     // source frames per second
    uint64_t Position = 0;    // frames, 32.32 fixed point
    bool Playing = false;
    bool Looping = false;
    int64_t LoopStart = 0;    // frames
    int64_t LoopEnd = 0;      // frames; 0 or beyond the data = the end of the data
    EndMode End = EndMode::Rewind;

    int64_t Frame() const { return int64_t(Position >> 32); }
    void SetFrame(int64_t f) { Position = uint64_t(f < 0 ? 0 : f) << 32; }
};

class AudioMixer {
public:
    // An offline mixer is rendered by its owner's thread (tests, offline
    // rendering) rather than by a device that cannot wait.
    explicit AudioMixer(int32_t rate, bool offline = false);
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

    int32_t Rate() const { return rate_; }
    bool Offline() const { return offline_; }

    // The lock every caller outside the audio callback takes before touching a
    // voice or a source.
    std::mutex& Mutex() { return mutex_; }

    // Registration (takes the lock itself).
    std::shared_ptr<AudioVoice> AddVoice(std::shared_ptr<const AudioData> data);
    void RemoveVoice(const std::shared_ptr<AudioVoice>& voice);
    void AddSource(const std::shared_ptr<AudioSource>& source);
    void RemoveSource(const std::shared_ptr<AudioSource>& source);
    int32_t VoiceCount();
    int32_t SourceCount();

    // Fills out with `frames` interleaved stereo float frames: every playing
    // voice, then every source, summed and limited to -1..1. Takes the lock.
    void Render(float* out, int32_t frames);
    // Blocks rendered so far: a voice can only have played to its end
    // between two different counts.
    uint64_t Renders() const { return renders_.load(std::memory_order_acquire); }

    // One voice's contribution, added into out (no lock; also used by tools).
    static void MixVoice(AudioVoice& v, float* out, int32_t frames, int32_t rate);

private:
    int32_t rate_;
    bool offline_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<AudioVoice>> voices_;
    std::vector<std::shared_ptr<AudioSource>> sources_;
    std::atomic<uint64_t> renders_{0};
};

}  // namespace zun
