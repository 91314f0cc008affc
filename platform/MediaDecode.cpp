#include "platform/MediaDecode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <dlfcn.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/HostFile.h"

namespace zun {

namespace {

// The decoding libraries are opened at the first decode rather than linked:
// they bring about a hundred shared libraries with them (every codec, TLS,
// image and subtitle formats), near 20 MB resident from start-up on, which a
// game that plays only MIDI music and wave sounds never uses.
#define ZUN_FFMPEG_FUNCTIONS(X)                                                                                   \
    X(util, av_channel_layout_copy)                                                                               \
    X(util, av_channel_layout_default)                                                                            \
    X(util, av_channel_layout_uninit)                                                                             \
    X(util, av_frame_alloc)                                                                                       \
    X(util, av_frame_free)                                                                                        \
    X(util, av_frame_unref)                                                                                       \
    X(util, av_free)                                                                                              \
    X(util, av_freep)                                                                                             \
    X(util, av_log_set_callback)                                                                                  \
    X(util, av_malloc)                                                                                            \
    X(util, av_strdup)                                                                                            \
    X(util, av_strerror)                                                                                          \
    X(codec, av_packet_alloc)                                                                                     \
    X(codec, av_packet_free)                                                                                      \
    X(codec, av_packet_unref)                                                                                     \
    X(codec, avcodec_alloc_context3)                                                                              \
    X(codec, avcodec_free_context)                                                                                \
    X(codec, avcodec_open2)                                                                                       \
    X(codec, avcodec_parameters_to_context)                                                                       \
    X(codec, avcodec_receive_frame)                                                                               \
    X(codec, avcodec_send_packet)                                                                                 \
    X(format, av_find_best_stream)                                                                                \
    X(format, av_read_frame)                                                                                      \
    X(format, avformat_alloc_context)                                                                             \
    X(format, avformat_close_input)                                                                               \
    X(format, avformat_find_stream_info)                                                                          \
    X(format, avformat_open_input)                                                                                \
    X(format, avio_alloc_context)                                                                                 \
    X(format, avio_context_free)                                                                                  \
    X(resample, swr_alloc_set_opts2)                                                                              \
    X(resample, swr_convert)                                                                                      \
    X(resample, swr_free)                                                                                         \
    X(resample, swr_get_out_samples)                                                                              \
    X(resample, swr_init)

struct Ffmpeg {
#define ZUN_FFMPEG_POINTER(lib, name) decltype(&::name) name = nullptr;
    ZUN_FFMPEG_FUNCTIONS(ZUN_FFMPEG_POINTER)
#undef ZUN_FFMPEG_POINTER
    // Empty once every function was found.
    std::string error;
};

// The major versions the headers were written for: another major version
// may lay out the structures read here differently, so it is not opened.
constexpr const char* kUtilLibrary = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
constexpr const char* kCodecLibrary = "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
constexpr const char* kFormatLibrary = "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR);
constexpr const char* kResampleLibrary = "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR);

Ffmpeg ff;

// Opens the libraries once for the whole run; they stay loaded, as a linked
// library would. Returns false with the reason when they cannot be used.
bool LoadFfmpeg(std::string& error) {
    static std::once_flag once;
    std::call_once(once, [] {
        void* util = nullptr;
        void* codec = nullptr;
        void* format = nullptr;
        void* resample = nullptr;
        for (auto [handle, name] : {std::pair{&util, kUtilLibrary}, std::pair{&codec, kCodecLibrary},
                                    std::pair{&format, kFormatLibrary}, std::pair{&resample, kResampleLibrary}}) {
            *handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (!*handle) {
                const char* why = dlerror();
                ff.error = std::string("Music decoder not available (") + (why ? why : name) + ")";
                return;
            }
        }
        Ffmpeg found;
#define ZUN_FFMPEG_LOOKUP(lib, name)                                                                              \
    found.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name));                                          \
    if (!found.name) {                                                                                            \
        ff.error = "Music decoder not available (" #name " missing)";                                            \
        return;                                                                                                   \
    }
        ZUN_FFMPEG_FUNCTIONS(ZUN_FFMPEG_LOOKUP)
#undef ZUN_FFMPEG_LOOKUP
        ff = found;
    });
    error = ff.error;
    return ff.error.empty();
}

// The containers music files come in; anything else (playlists, video,
// image sequences) is refused before it is probed.
constexpr const char* kAudioContainers = "wav,w64,mp3,ogg,flac,asf,mov,aac,aiff,matroska,webm";
constexpr int kIoBufferSize = 32768;

void QuietLog(void*, int, const char*, va_list) {}

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

int ReadPacket(void* opaque, uint8_t* buf, int n) {
    auto* r = static_cast<MemoryReader*>(opaque);
    const size_t left = r->size - r->pos;
    if (left == 0) return AVERROR_EOF;
    const size_t take = std::min(left, size_t(n));
    std::memcpy(buf, r->data + r->pos, take);
    r->pos += take;
    return int(take);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return int64_t(r->size);
    int64_t base = whence == SEEK_CUR ? int64_t(r->pos) : whence == SEEK_END ? int64_t(r->size) : 0;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    const int64_t to = base + offset;
    if (to < 0 || to > int64_t(r->size)) return -1;
    r->pos = size_t(to);
    return to;
}

// Everything FFmpeg hands out, freed in one place whatever way decoding ends.
struct Decoding {
    AVIOContext* io = nullptr;
    AVFormatContext* fmt = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    ~Decoding() {
        ff.av_frame_free(&frame);
        ff.av_packet_free(&packet);
        ff.swr_free(&swr);
        ff.avcodec_free_context(&codec);
        ff.avformat_close_input(&fmt);
        if (io) ff.av_freep(&io->buffer);
        ff.avio_context_free(&io);
    }
};

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    ff.av_strerror(code, text, sizeof text);
    return text;
}

class Decoder {
public:
    Decoder(Decoding& d, AudioData& out, std::string& error) : d_(d), out_(out), error_(error) {}

    bool Open(MemoryReader& reader) {
        // The library's own messages would go to stderr; failures come back
        // through `error`.
        ff.av_log_set_callback(QuietLog);
        auto* buffer = static_cast<uint8_t*>(ff.av_malloc(kIoBufferSize));
        if (!buffer) return Fail("Out of memory");
        d_.io = ff.avio_alloc_context(buffer, kIoBufferSize, 0, &reader, ReadPacket, nullptr, Seek);
        if (!d_.io) {
            ff.av_free(buffer);
            return Fail("Out of memory");
        }
        d_.fmt = ff.avformat_alloc_context();
        if (!d_.fmt) return Fail("Out of memory");
        d_.fmt->pb = d_.io;
        d_.fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
        d_.fmt->format_whitelist = ff.av_strdup(kAudioContainers);
        d_.fmt->protocol_whitelist = ff.av_strdup("none");
        if (int rc = ff.avformat_open_input(&d_.fmt, nullptr, nullptr, nullptr); rc < 0) {
            // avformat_open_input frees the context on failure.
            d_.fmt = nullptr;
            return Fail("Format not recognised (" + AvError(rc) + ")");
        }
        if (int rc = ff.avformat_find_stream_info(d_.fmt, nullptr); rc < 0)
            return Fail("No stream information (" + AvError(rc) + ")");
        const AVCodec* codec = nullptr;
        stream_ = ff.av_find_best_stream(d_.fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec) return Fail("No audio stream");
        d_.codec = ff.avcodec_alloc_context3(codec);
        if (!d_.codec) return Fail("Out of memory");
        if (ff.avcodec_parameters_to_context(d_.codec, d_.fmt->streams[stream_]->codecpar) < 0)
            return Fail("Unusable audio stream");
        d_.codec->thread_count = 1;
        if (int rc = ff.avcodec_open2(d_.codec, codec, nullptr); rc < 0)
            return Fail("Cannot open decoder (" + AvError(rc) + ")");
        const int channels = d_.codec->ch_layout.nb_channels;
        if (channels < 1 || channels > kMaxAudioChannels) return Fail("Unsupported channel count");
        if (d_.codec->sample_rate < 1 || d_.codec->sample_rate > kMaxAudioRate)
            return Fail("Unsupported sample rate");
        out_.Channels = channels;
        out_.SampleRate = d_.codec->sample_rate;
        out_.StoredChannels = channels >= 2 ? 2 : 1;
        // Compressed formats have no sample size of their own; they count as
        // 16-bit like the wave decoder's.
        const int raw = d_.codec->bits_per_raw_sample;
        out_.BitsPerSample = raw == 8 || raw == 24 || raw == 32 ? raw : 16;
        d_.packet = ff.av_packet_alloc();
        d_.frame = ff.av_frame_alloc();
        if (!d_.packet || !d_.frame) return Fail("Out of memory");
        return true;
    }

    bool Run() {
        while (true) {
            int rc = ff.av_read_frame(d_.fmt, d_.packet);
            if (rc == AVERROR_EOF) break;
            if (rc < 0) {
                // A damaged tail after good audio keeps what came before it.
                if (out_.Samples.empty()) return Fail("Read error (" + AvError(rc) + ")");
                break;
            }
            if (d_.packet->stream_index == stream_) {
                rc = ff.avcodec_send_packet(d_.codec, d_.packet);
                ff.av_packet_unref(d_.packet);
                // Damaged packets are skipped, as a player would.
                if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_INVALIDDATA) return Fail(AvError(rc));
                if (!Drain()) return false;
            } else {
                ff.av_packet_unref(d_.packet);
            }
        }
        ff.avcodec_send_packet(d_.codec, nullptr);
        if (!Drain()) return false;
        if (d_.swr && !Convert(nullptr, 0)) return false;
        out_.Frames = int64_t(out_.Samples.size()) / out_.StoredChannels;
        if (out_.Frames == 0) return Fail("File holds no samples");
        return true;
    }

    bool Fail(const std::string& why) {
        error_ = why;
        return false;
    }

private:
    Decoding& d_;
    AudioData& out_;
    std::string& error_;
    int stream_ = -1;
    std::vector<float> block_;

    bool Drain() {
        while (true) {
            int rc = ff.avcodec_receive_frame(d_.codec, d_.frame);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc == AVERROR_INVALIDDATA) continue;
            if (rc < 0) return Fail(AvError(rc));
            const bool ok = SetUpResampler() && Convert(const_cast<const uint8_t**>(d_.frame->extended_data),
                                                        d_.frame->nb_samples);
            ff.av_frame_unref(d_.frame);
            if (!ok) return false;
        }
    }

    // Set up by the first frame, whose format the decoder then keeps; a
    // stream that changes format midway is refused rather than misread.
    bool SetUpResampler() {
        const AVFrame* f = d_.frame;
        if (d_.swr) {
            if (f->format != inFormat_ || f->sample_rate != out_.SampleRate ||
                f->ch_layout.nb_channels != out_.Channels)
                return Fail("Audio format changes within the file");
            return true;
        }
        // The first frame has the last word on the format: some decoders only
        // learn the true rate or channel count from it.
        if (f->ch_layout.nb_channels < 1 || f->ch_layout.nb_channels > kMaxAudioChannels)
            return Fail("Unsupported channel count");
        if (f->sample_rate < 1 || f->sample_rate > kMaxAudioRate) return Fail("Unsupported sample rate");
        out_.SampleRate = f->sample_rate;
        out_.Channels = f->ch_layout.nb_channels;
        out_.StoredChannels = out_.Channels >= 2 ? 2 : 1;
        // Zeroed first: copying into a layout frees what it held.
        AVChannelLayout outLayout{};
        ff.av_channel_layout_default(&outLayout, out_.StoredChannels);
        AVChannelLayout inLayout{};
        if (ff.av_channel_layout_copy(&inLayout, &f->ch_layout) < 0 || inLayout.order == AV_CHANNEL_ORDER_UNSPEC) {
            ff.av_channel_layout_uninit(&inLayout);
            ff.av_channel_layout_default(&inLayout, out_.Channels);
        }
        int rc = ff.swr_alloc_set_opts2(&d_.swr, &outLayout, AV_SAMPLE_FMT_FLT, out_.SampleRate, &inLayout,
                                     AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
        ff.av_channel_layout_uninit(&inLayout);
        ff.av_channel_layout_uninit(&outLayout);
        if (rc < 0 || ff.swr_init(d_.swr) < 0) return Fail("Cannot convert the samples");
        inFormat_ = f->format;
        return true;
    }

    // Appends converted samples; `in` null flushes the resampler.
    bool Convert(const uint8_t** in, int count) {
        const int room = ff.swr_get_out_samples(d_.swr, count);
        if (room < 0) return Fail("Cannot convert the samples");
        if (room == 0) return true;
        const int64_t stored = out_.StoredChannels;
        if (int64_t(out_.Samples.size()) + int64_t(room) * stored > kMaxDecodedSamples)
            return Fail("Music file too long");
        block_.resize(size_t(room) * size_t(stored));
        auto* o = reinterpret_cast<uint8_t*>(block_.data());
        const int got = ff.swr_convert(d_.swr, &o, room, in, count);
        if (got < 0) return Fail("Cannot convert the samples");
        out_.Samples.insert(out_.Samples.end(), block_.begin(), block_.begin() + ptrdiff_t(got) * stored);
        return true;
    }

    int inFormat_ = -1;
};

}  // namespace

bool DecodeMediaBytes(const uint8_t* data, size_t size, AudioData& out, std::string& error) {
    out = AudioData{};
    if (!data || size == 0) {
        error = "File is empty";
        return false;
    }
    if (!LoadFfmpeg(error)) return false;
    MemoryReader reader{data, size};
    bool ok = false;
    {
        Decoding d;
        Decoder dec(d, out, error);
        try {
            ok = dec.Open(reader) && dec.Run();
        } catch (const std::bad_alloc&) {
            ok = dec.Fail("Out of memory");
        }
    }
    if (!ok) out = AudioData{};
    return ok;
}

bool DecodeMediaFile(const std::string& hostPath, AudioData& out, std::string& error) {
    out = AudioData{};
    std::vector<uint8_t> bytes;
    return ReadHostFileBytes(hostPath, kMaxMediaFileBytes, bytes, error) &&
           DecodeMediaBytes(bytes.data(), bytes.size(), out, error);
}

}  // namespace zun
