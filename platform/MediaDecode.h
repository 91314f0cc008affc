// Decoding of music files through FFmpeg's libraries: WMA, MP3, Ogg Vorbis,
// FLAC, AAC/M4A, WAV and the like, into float frames at the file's own rate,
// one or two stored channels (more are mixed down to two by the resampler).
#pragma once

#include <cstddef>
#include <cstdint>
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

// A music file decoded as it plays: the file is read as the decoder asks,
// frames come out in blocks from wherever the last seek put it, and the
// piece's length is known from the start. One thread at a time.
class MediaReader {
public:
    MediaReader();
    ~MediaReader();
    MediaReader(const MediaReader&) = delete;
    MediaReader& operator=(const MediaReader&) = delete;

    // Opens and probes a file (host path); false with a reason.
    bool Open(const std::string& hostPath, std::string& error);
    // The format and, in Frames, the piece's length; no samples.
    const AudioData& Format() const;
    // The next Read starts at `frame` (0..Frames), to the frame.
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
