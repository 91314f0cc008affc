// Decoding of music files through FFmpeg's libraries: WMA, MP3, Ogg Vorbis,
// FLAC, AAC/M4A, WAV and the like, into float frames at the file's own rate,
// one or two stored channels (more are mixed down to two by the resampler).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/AudioMixer.h"

namespace zun {

// Compressed music files are read whole into memory before decoding; larger
// ones are not music.
inline constexpr size_t kMaxMediaFileBytes = size_t(256) << 20;

// Decodes bytes held in memory. Only audio containers are probed and no
// protocol is ever opened, so a file cannot make the decoder reach for other
// files or the network. On failure returns false with a reason in `error` and
// leaves `out` empty.
bool DecodeMediaBytes(const uint8_t* data, size_t size, AudioData& out, std::string& error);
// The same for a file (host path).
bool DecodeMediaFile(const std::string& hostPath, AudioData& out, std::string& error);

}  // namespace zun
