// Decoding of music files through FFmpeg's libraries: WMA, MP3, Ogg Vorbis,
// FLAC, AAC/M4A, WAV and the like, into float frames at the file's own rate,
// one or two stored channels (more are mixed down to two by the resampler).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioMixer.h"

namespace zun {

// A file decoded whole (DecodeMediaBytes, DecodeMediaFile) is read into memory
// first; larger ones are refused. Playing music streams instead (MediaReader).
inline constexpr size_t kMaxMediaFileBytes = size_t(256) << 20;

// Decodes bytes held in memory. Only audio containers are probed and no
// protocol is ever opened, so a file cannot make the decoder reach for other
// files or the network. On failure returns false with a reason in `error` and
// leaves `out` empty.
bool DecodeMediaBytes(const uint8_t* data, size_t size, AudioData& out, std::string& error);
// The same for a file (host path).
bool DecodeMediaFile(const std::string& hostPath, AudioData& out, std::string& error);

// Opens the decoding libraries on a thread of its own, so that the first
// music file a game plays does not wait for them on the frame's thread. A
// file opened before they are ready waits only for the rest. Returns at once;
// calling it again does nothing.
void PrepareMediaDecoder();

// Told, on the thread that does it, whenever the decoder's slow work is asked
// for: the libraries (`Libraries`, at every call that would wait for them) and
// the counting of a file's packets for its length (`LengthCounted`). Tests set
// them to see that neither happens on the frame's thread; null by default.
struct MediaDecodeWatch {
    std::function<void()> Libraries;
    std::function<void(const std::string& hostPath)> LengthCounted;
};
extern MediaDecodeWatch gMediaDecodeWatch;

// A music file decoded as it plays: the file is read as the decoder asks,
// frames come out in blocks from wherever the last seek put it, and the
// piece's length is known from the start. A frame of the piece is a sample of
// what decoding the file from its start gives, wherever a seek lands. One
// thread at a time, but for `stop`.
class MediaReader {
public:
    MediaReader();
    ~MediaReader();
    MediaReader(const MediaReader&) = delete;
    MediaReader& operator=(const MediaReader&) = delete;

    // Opens and probes a file (host path) and measures its length (once per
    // file as it stands on disk); false with a reason. Once `stop` (when
    // given) turns true, every read of the file fails: another thread ends a
    // long open or seek that way.
    bool Open(const std::string& hostPath, std::string& error, const std::atomic<bool>* stop = nullptr);
    // The format and, in Frames, the piece's length; no samples.
    const AudioData& Format() const;
    // The next Read starts at `frame` (0..Frames), to the frame: decoded
    // from far enough before it for what the codec carries over from frame to
    // frame, or, where the file's time stamps cannot place a seek to the
    // sample, decoded from the start or from where the reader stands.
    bool Seek(int64_t frame, std::string& error);
    // Appends up to `want` frames (interleaved stored channels) to `out`:
    // the count, 0 at the end of the piece, -1 on failure with a reason.
    int64_t Read(std::vector<float>& out, int64_t want, std::string& error);
    // The frame the next Read starts at.
    int64_t NextFrame() const;
    // What the file got wrong that the reader works around (a length its
    // data does not bear out); empty for a sound file.
    std::string Warning() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zun
