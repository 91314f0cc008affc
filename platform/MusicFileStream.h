// A music file that streams: a decode thread of its own opens and measures
// the file, then reads it ahead of the play position into a ring of a few
// seconds, seeking for start positions and loop points, and the mixer plays
// from the ring. Whatever the length of the piece, it holds only the ring and
// the decoder.
//
// Threads: the frame's thread calls the MusicStream methods, the audio
// callback renders (with the mixer locked), the decode thread decodes with no
// lock held and takes the stream's own lock only to hand a block over or to
// read a request. The stream's lock is taken after the mixer's, never before,
// and the decode thread never takes the mixer's. The thread ends and is
// joined when the stream is destroyed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioStream.h"

namespace zun {

class MusicFileStream : public MusicStream {
public:
    // Frames decoded ahead of the play position, in seconds, and the frames
    // decoded in one go.
    static constexpr double kAheadSeconds = 2.0;
    static constexpr int64_t kBlockFrames = 4096;
    // A loop up to this long is decoded once and goes round from memory
    // (half a megabyte of stereo).
    static constexpr int64_t kTurnFrames = 65536;

    ~MusicFileStream() override;
    MusicFileStream(const MusicFileStream&) = delete;
    MusicFileStream& operator=(const MusicFileStream&) = delete;

    // Starts a decode thread that opens the file (host path), measures it and
    // decodes it. Rendered by a device, the stream comes back at once and
    // opens meanwhile (Opened, Failed); rendered offline by its owner, it
    // comes back open, or null with a reason when the file cannot be decoded.
    static std::shared_ptr<MusicFileStream> Open(const std::shared_ptr<AudioMixer>& mixer,
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
    void SetLoop(bool looping, double start, double end) override;
    bool HoldsLoop() const override;
    bool Opened() const override;
    bool Failed() const override;
    std::string TakeError() override;
    std::string TakeWarning() override;

    // Samples held in the ring now (for the memory bound).
    int64_t BufferedSamples() const;

    struct State;  // shared by the three threads, under its own lock

private:
    MusicFileStream() = default;
    class Source;
    std::shared_ptr<AudioMixer> mixer_;
    std::shared_ptr<State> state_;
    std::shared_ptr<Source> source_;
    std::thread thread_;
};

}  // namespace zun
