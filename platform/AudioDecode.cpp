#include "platform/AudioDecode.h"

#include <sndfile.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/zHostFile.h"

namespace zun {

namespace {
struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

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

bool DecodeAudioFile(const std::string& hostPath, AudioData& out, std::string& error) {
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
        for (sf_count_t k = 0; k < got; ++k) {
            samples.push_back(block[size_t(k) * ch]);
            if (stored == 2) samples.push_back(block[size_t(k) * ch + 1]);
        }
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
    out.Frames = frames;
    out.Samples = std::move(samples);
    return true;
}

}  // namespace zun
