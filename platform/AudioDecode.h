// Decoding of sound files (WAV, FLAC, Ogg Vorbis, Opus, MP3 and the other
// formats libsndfile reads) into float frames, keeping the file's own format.
#pragma once

#include <cstdint>
#include <string>

#include "platform/AudioMixer.h"

namespace zun {

// Sizes beyond these are refused rather than allocated: about eleven minutes of
// 48 kHz stereo in float samples.
inline constexpr int64_t kMaxDecodedSamples = int64_t(64) * 1024 * 1024;
inline constexpr int32_t kMaxAudioChannels = 16;
inline constexpr int32_t kMaxAudioRate = 1000000;

// Reads a whole file (host path). More than two channels are mixed down to
// two. With a `playRate`, the samples are resampled to it, so that at speed 1
// they play as they are: a file above that rate is then seen at `playRate`
// (its positions in milliseconds and its speeds stay what they were), one
// below it keeps its own rate as its format. On failure returns false with a
// reason in `error` and leaves `out` empty.
bool DecodeAudioFile(const std::string& hostPath, AudioData& out, std::string& error, int32_t playRate = 0);

}  // namespace zun
