#include "platform/AudioDecode.h"

#include <sndfile.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/zHostFile.h"
#include "platform/AudioConvert.h"

namespace zun {

namespace {
struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

// The speaker position of each channel as the file names them; empty when it
// names none, or one without a place in a channel mask.
std::vector<uint32_t> SpeakerPositionsOf(SNDFILE* f, int32_t channels) {
    std::vector<int> map(static_cast<size_t>(channels), 0);
    if (sf_command(f, SFC_GET_CHANNEL_MAP_INFO, map.data(), int(sizeof(int) * map.size())) != SF_TRUE) return {};
    std::vector<uint32_t> positions;
    for (int m : map) {
        uint32_t bit = 0;
        switch (m) {
        case SF_CHANNEL_MAP_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT: bit = kSpeakerFrontLeft; break;
        case SF_CHANNEL_MAP_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT: bit = kSpeakerFrontRight; break;
        case SF_CHANNEL_MAP_CENTER:
        case SF_CHANNEL_MAP_FRONT_CENTER:
        case SF_CHANNEL_MAP_MONO: bit = kSpeakerFrontCenter; break;
        case SF_CHANNEL_MAP_LFE: bit = kSpeakerLowFrequency; break;
        case SF_CHANNEL_MAP_REAR_LEFT: bit = kSpeakerBackLeft; break;
        case SF_CHANNEL_MAP_REAR_RIGHT: bit = kSpeakerBackRight; break;
        case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER: bit = kSpeakerFrontLeftOfCenter; break;
        case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER: bit = kSpeakerFrontRightOfCenter; break;
        case SF_CHANNEL_MAP_REAR_CENTER: bit = kSpeakerBackCenter; break;
        case SF_CHANNEL_MAP_SIDE_LEFT: bit = kSpeakerSideLeft; break;
        case SF_CHANNEL_MAP_SIDE_RIGHT: bit = kSpeakerSideRight; break;
        case SF_CHANNEL_MAP_TOP_CENTER: bit = kSpeakerTopCenter; break;
        case SF_CHANNEL_MAP_TOP_FRONT_LEFT: bit = kSpeakerTopFrontLeft; break;
        case SF_CHANNEL_MAP_TOP_FRONT_CENTER: bit = kSpeakerTopFrontCenter; break;
        case SF_CHANNEL_MAP_TOP_FRONT_RIGHT: bit = kSpeakerTopFrontRight; break;
        case SF_CHANNEL_MAP_TOP_REAR_LEFT: bit = kSpeakerTopBackLeft; break;
        case SF_CHANNEL_MAP_TOP_REAR_CENTER: bit = kSpeakerTopBackCenter; break;
        case SF_CHANNEL_MAP_TOP_REAR_RIGHT: bit = kSpeakerTopBackRight; break;
        default: return {};
        }
        positions.push_back(bit);
    }
    return positions;
}

int32_t BitsOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW: return 8;
        case SF_FORMAT_PCM_24: return 24;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT: return 32;
        case SF_FORMAT_DOUBLE: return 64;
        default: return 16;  // 16-bit PCM and every compressed format
    }
}
}  // namespace

bool DecodeAudioFile(const std::string& hostPath, AudioData& out, std::string& error, int32_t playRate) {
    out = AudioData{};
    HostFile file;
    if (!OpenHostFile(hostPath, file, error)) return false;
    SF_INFO info{};
    // The library reads what the door opened; the descriptor stays the file's.
    std::unique_ptr<SNDFILE, SndCloser> f(sf_open_fd(file.Descriptor(), SFM_READ, &info, SF_FALSE));
    if (!f) {
        error = sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.channels > kMaxAudioChannels) {
        error = "Unsupported channel count";
        return false;
    }
    if (info.samplerate < 1 || info.samplerate > kMaxAudioRate) {
        error = "Unsupported sample rate";
        return false;
    }
    // Whole blocks are read until the end, so a header that lies about the
    // length neither truncates nor over-allocates.
    sf_command(f.get(), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    const int32_t ch = info.channels;
    const int32_t stored = ch >= 2 ? 2 : 1;
    const int64_t cap = kMaxDecodedSamples / stored;
    std::vector<float> block(size_t(4096) * ch);
    std::vector<float> samples;
    const std::vector<double> matrix = ch > 2 ? StereoMixMatrix(ch, SpeakerPositionsOf(f.get(), ch)) : std::vector<double>();
    // The header's frame count is only trusted as far as the file has bytes
    // for it (every stored frame takes at least one), so a lying header
    // cannot make the reserve outgrow the file.
    const int64_t expected = std::min<int64_t>({int64_t(info.frames), file.Size(), cap});
    if (expected > 0) samples.reserve(size_t(expected) * stored);
    int64_t frames = 0;
    while (true) {
        sf_count_t got = sf_readf_float(f.get(), block.data(), 4096);
        if (got <= 0) break;
        if (frames + got > cap) {
            error = "Sound file too long";
            return false;
        }
        if (ch > 2) MixDownToStereo(block.data(), got, ch, matrix, samples);
        else samples.insert(samples.end(), block.begin(), block.begin() + ptrdiff_t(got) * ch);
        frames += got;
    }
    if (sf_error(f.get()) != SF_ERR_NO_ERROR) {
        error = sf_strerror(f.get());
        return false;
    }
    if (frames == 0) {
        error = "Sound file holds no samples";
        return false;
    }
    out.Channels = ch;
    out.SampleRate = info.samplerate;
    out.BitsPerSample = BitsOf(info.format);
    out.StoredChannels = stored;
    if (playRate > 0 && info.samplerate != playRate) {
        // A rate above the output's would be clamped by the frequency limit
        // and play slower and lower: the file is seen at the output's rate.
        // Below it, the samples are made at the output's rate here rather
        // than by the mixer's straight lines, and the file keeps its own
        // rate; a sound longer than a minute (music rather than an effect)
        // is left to the mixer, as its loading would hold up the frame.
        const int64_t made = ResampledFrames(frames, info.samplerate, playRate);
        if (info.samplerate > playRate || made <= std::min<int64_t>(cap, int64_t(playRate) * 60)) {
            samples = Resample(samples.data(), frames, stored, info.samplerate, playRate);
            frames = made;
            if (info.samplerate > playRate) out.SampleRate = playRate;
            else out.StoredRate = playRate;
        }
    }
    out.Frames = frames;
    out.Samples = std::move(samples);
    return true;
}

}  // namespace zun
