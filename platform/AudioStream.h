// A music file playing in the mixer: decoded whole at load, then run, stopped
// and positioned in seconds, with a playback rate (which changes the pitch
// too) and an attenuation in hundredths of a decibel. A stream that runs to
// its end stops there and keeps that position.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/AudioMixer.h"

namespace zun {

class AudioStream {
public:
    static constexpr double MinRate = 0.01;
    static constexpr double MaxRate = 64.0;

    AudioStream(std::shared_ptr<AudioMixer> mixer, std::shared_ptr<const AudioData> data);
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    static std::shared_ptr<AudioStream> FromFile(const std::shared_ptr<AudioMixer>& mixer,
                                                 const std::string& hostPath, std::string& error);

    void Run();
    void Stop();  // the position stays
    bool IsRunning() const;
    double GetPosition() const;       // seconds
    void SetPosition(double seconds); // within 0..stop time
    double GetStopTime() const;       // seconds: the end of the data
    double GetRate() const;
    void SetRate(double rate);        // kept within 0.01..64
    int32_t GetVolume() const;
    void SetVolume(int32_t mB);       // kept within -10000..0
    // Lets the voice wrap from `end` back to `start` (seconds) by itself, to the
    // sample; off when `looping` is false or the end lies beyond the data.
    void SetLoop(bool looping, double start, double end);

private:
    std::shared_ptr<AudioMixer> mixer_;
    std::shared_ptr<const AudioData> data_;
    std::shared_ptr<AudioVoice> voice_;
    double rate_ = 1.0;
};

}  // namespace zun
