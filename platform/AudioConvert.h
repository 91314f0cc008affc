// The one mix-down of a sound of any channel layout to two channels and the
// one resampler that waves and music files are heard through, whatever the
// layout and rate the file came in.
#pragma once

#include <cstdint>
#include <vector>

namespace zun {

// Speaker positions as a wave file's channel mask names them (the decoding
// libraries number them the same way); channels come in the mask's order.
enum SpeakerBits : uint32_t {
    kSpeakerFrontLeft = 0x1,
    kSpeakerFrontRight = 0x2,
    kSpeakerFrontCenter = 0x4,
    kSpeakerLowFrequency = 0x8,
    kSpeakerBackLeft = 0x10,
    kSpeakerBackRight = 0x20,
    kSpeakerFrontLeftOfCenter = 0x40,
    kSpeakerFrontRightOfCenter = 0x80,
    kSpeakerBackCenter = 0x100,
    kSpeakerSideLeft = 0x200,
    kSpeakerSideRight = 0x400,
    kSpeakerTopCenter = 0x800,
    kSpeakerTopFrontLeft = 0x1000,
    kSpeakerTopFrontCenter = 0x2000,
    kSpeakerTopFrontRight = 0x4000,
    kSpeakerTopBackLeft = 0x8000,
    kSpeakerTopBackCenter = 0x10000,
    kSpeakerTopBackRight = 0x20000,
};

// The layout a file of that many channels has when it names none (the
// decoding libraries' default: 5.1 for six channels, 7.1 for eight).
uint32_t DefaultSpeakerMask(int32_t channels);

// Left and right gain of each of `channels` channels laid out as `mask`
// (out[2 * c] left, out[2 * c + 1] right): fronts as they are, the centre
// and the rear and side channels 3 dB down on their side, the low-frequency
// channel left out. A mask that does not name `channels` positions is taken
// as the default layout.
std::vector<double> StereoMixMatrix(int32_t channels, uint32_t mask);
// The same for channels whose positions (one bit each) are given one by one,
// in any order; without a position for every channel, the default layout.
std::vector<double> StereoMixMatrix(int32_t channels, const std::vector<uint32_t>& positions);

// Mixes `frames` interleaved frames of `channels` channels down to
// interleaved stereo, appended to `out`.
void MixDownToStereo(const float* in, int64_t frames, int32_t channels, const std::vector<double>& matrix,
                     std::vector<float>& out);

// Frames `frames` long at `outRate` from `inFrames` at `inRate`.
int64_t ResampledFrames(int64_t inFrames, int32_t inRate, int32_t outRate);

// Band-limited resampling (a windowed sinc, images and aliases more than
// 80 dB down) of interleaved frames. The first and the last frame are taken
// to go on before and after, so that a sound that starts or ends on a level
// keeps it instead of ringing there.
std::vector<float> Resample(const float* in, int64_t frames, int32_t channels, int32_t inRate, int32_t outRate);

}  // namespace zun
