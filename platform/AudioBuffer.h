// A sound buffer in the mixer: one decoded sound with its own volume,
// frequency, play position and play state. Duplicates share the samples and
// play independently. Units: attenuation in hundredths of a decibel
// (-10000..0), frequency in Hz (100..100000), positions in bytes of the
// sound's original format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/AudioMixer.h"

namespace zun {

struct AudioFormat {
    int32_t Channels = 0;
    int32_t SampleRate = 0;
    int32_t BitsPerSample = 0;
    int32_t BlockAlign = 0;
};

class AudioBuffer {
public:
    static constexpr uint32_t StatusPlaying = 1;
    static constexpr uint32_t StatusLooping = 4;
    static constexpr int32_t MinFrequency = 100;
    static constexpr int32_t MaxFrequency = 100000;

    AudioBuffer(std::shared_ptr<AudioMixer> mixer, std::shared_ptr<const AudioData> data);
    ~AudioBuffer();
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    // Decodes a file (host path) into a new buffer in `mixer`; null with the
    // reason in `error` on failure.
    static std::shared_ptr<AudioBuffer> FromFile(const std::shared_ptr<AudioMixer>& mixer,
                                                 const std::string& hostPath, std::string& error);
    // A new buffer on the same samples with this one's volume and frequency,
    // stopped at position 0.
    std::shared_ptr<AudioBuffer> Duplicate() const;

    uint32_t GetStatus() const;
    AudioFormat GetFormat() const;
    int32_t GetVolume() const;
    void SetVolume(int32_t mB);           // kept within -10000..0
    int32_t GetFrequency() const;
    void SetFrequency(int32_t hz);        // kept within 100..100000
    int32_t GetCurrentPosition() const;   // bytes
    void SetCurrentPosition(int32_t bytes);  // aligned down to a whole frame
    void Play(bool looping);
    void Stop();                          // the position stays

    const std::shared_ptr<const AudioData>& Data() const { return data_; }
    // A copy of the voice as it stands: rendering the copy gives what this
    // buffer adds to the next block of the mix without moving the buffer.
    AudioVoice Snapshot() const;

private:
    std::shared_ptr<AudioMixer> mixer_;
    std::shared_ptr<const AudioData> data_;
    std::shared_ptr<AudioVoice> voice_;
};

}  // namespace zun
