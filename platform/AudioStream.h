// A piece held whole in memory playing in the mixer: run, stopped and
// positioned in seconds, with a playback rate (which changes the pitch too)
// and an attenuation in hundredths of a decibel. A stream that runs to
// its end stops there and keeps that position.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "platform/AudioMixer.h"

namespace zun {

// What a music player does with the piece it holds, whatever renders it:
// positions in seconds, rate as a factor, volume in hundredths of a decibel.
class MusicStream {
public:
    static constexpr double MinRate = 0.01;
    static constexpr double MaxRate = 64.0;

    virtual ~MusicStream() = default;
    virtual void Run() = 0;
    virtual void Stop() = 0;  // the position stays
    virtual bool IsRunning() const = 0;
    virtual double GetPosition() const = 0;       // seconds
    virtual void SetPosition(double seconds) = 0; // within 0..stop time
    virtual double GetStopTime() const = 0;       // seconds: the end of the piece
    virtual double GetRate() const = 0;
    virtual void SetRate(double rate) = 0;        // kept within 0.01..64
    virtual int32_t GetVolume() const = 0;
    virtual void SetVolume(int32_t mB) = 0;       // kept within -10000..0
    // Lets the piece wrap from `end` back to `start` (seconds) by itself; off
    // when `looping` is false or the loop holds nothing of the piece. An end
    // at or past the end of the piece, and kPieceEnd, is the piece's end,
    // known or not yet.
    virtual void SetLoop(bool looping, double start, double end) = 0;
    static constexpr double kPieceEnd = std::numeric_limits<double>::infinity();
    // Whether the piece wraps its loop by itself now, to the sample; false
    // while it is still opening.
    virtual bool HoldsLoop() const = 0;
    // A music file opens on a thread of its own: until it has, Opened is
    // false, the stop time 0, and the piece stands where it was put, waiting
    // to run. When it cannot be opened, Failed turns true and TakeError says
    // why.
    virtual bool Opened() const { return true; }
    virtual bool Failed() const { return false; }
    // A failure met while playing (a file damaged midway), once; empty when
    // there was none.
    virtual std::string TakeError() { return {}; }
    // What the file got wrong that playing works around (a length its data
    // does not bear out), once.
    virtual std::string TakeWarning() { return {}; }
};

class AudioStream : public MusicStream {
public:

    AudioStream(std::shared_ptr<AudioMixer> mixer, std::shared_ptr<const AudioData> data);
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // A music file, streamed from the file as it plays (see MusicFileStream).
    static std::shared_ptr<MusicStream> FromFile(const std::shared_ptr<AudioMixer>& mixer,
                                                 const std::string& hostPath, std::string& error);

    void Run() override;
    void Stop() override;
    bool IsRunning() const override;
    double GetPosition() const override;
    void SetPosition(double seconds) override;
    double GetStopTime() const override;
    double GetRate() const override;
    void SetRate(double rate) override;
    int32_t GetVolume() const override;
    void SetVolume(int32_t mB) override;
    // The voice wraps to the sample.
    void SetLoop(bool looping, double start, double end) override;
    bool HoldsLoop() const override;

private:
    std::shared_ptr<AudioMixer> mixer_;
    std::shared_ptr<const AudioData> data_;
    std::shared_ptr<AudioVoice> voice_;
    double rate_ = 1.0;
};

}  // namespace zun
