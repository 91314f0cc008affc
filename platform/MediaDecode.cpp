#include "platform/MediaDecode.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/AudioConvert.h"
#include "platform/AudioDecode.h"
#include "core/zHostFile.h"

namespace zun {

namespace {

// The decoding libraries are opened when first asked for rather than linked:
// they bring about a hundred shared libraries with them (every codec, TLS,
// image and subtitle formats), near 20 MB resident, which a program that
// plays only MIDI music and wave sounds never needs. They are opened off the
// frame's thread: by each music file's decode thread, and ahead at start-up
// for a game whose music folder holds music files (PrepareMediaDecoder).
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
    X(codec, avcodec_flush_buffers)                                                                              \
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
    X(format, avformat_seek_file)                                                                                \
    X(format, avio_alloc_context)                                                                                 \
    X(format, avio_context_free)                                                                                  \
    X(resample, swr_alloc_set_opts2)                                                                              \
    X(resample, swr_convert)                                                                                      \
    X(resample, swr_free)                                                                                         \
    X(resample, swr_get_out_samples)                                                                              \
    X(resample, swr_init)                                                                                         \
    X(resample, swr_set_matrix)

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

}  // namespace

MediaDecodeWatch gMediaDecodeWatch;

namespace {

// Opens the libraries once for the whole run; they stay loaded, as a linked
// library would. Returns false with the reason when they cannot be used.
bool LoadFfmpeg(std::string& error) {
    if (gMediaDecodeWatch.Libraries) gMediaDecodeWatch.Libraries();
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

// The thread that opens the libraries ahead of the first music file; joined
// at exit, so the process never ends while it is still loading them.
struct Preparer {
    std::mutex m;
    std::thread t;
    ~Preparer() {
        if (t.joinable()) t.join();
    }
};

Preparer& ThePreparer() {
    static Preparer p;
    return p;
}

}  // namespace

void PrepareMediaDecoder() {
    Preparer& p = ThePreparer();
    std::lock_guard<std::mutex> lk(p.m);
    if (p.t.joinable()) return;
    try {
        p.t = std::thread([] {
            std::string error;
            LoadFfmpeg(error);
        });
    } catch (const std::system_error&) {
        // No thread to spare: the first music file opens them itself.
    }
}

namespace {

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

// A music file read as the decoder asks, never whole.
struct FileReader {
    HostFile f;
    int64_t size = 0;
    const std::atomic<bool>* stop = nullptr;  // once true, reads fail
    bool Stopped() const { return stop && stop->load(std::memory_order_relaxed); }
};

int ReadFilePacket(void* opaque, uint8_t* buf, int n) {
    auto* r = static_cast<FileReader*>(opaque);
    if (r->Stopped()) return AVERROR_EXIT;
    const int64_t got = r->f.Read(buf, size_t(std::max(0, n)));
    if (got <= 0) return AVERROR_EOF;
    return int(got);
}

int64_t SeekFile(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<FileReader*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return r->size;
    const int64_t base = whence == SEEK_CUR ? r->f.Seek(0, SEEK_CUR) : whence == SEEK_END ? r->size : 0;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    const int64_t to = base + offset;
    if (to < 0 || to > r->size || r->f.Seek(to, SEEK_SET) != to) return -1;
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

    bool Open(MemoryReader& reader) { return Open(&reader, ReadPacket, Seek); }

    bool Open(void* opaque, int (*read)(void*, uint8_t*, int), int64_t (*seek)(void*, int64_t, int)) {
        // The library's own messages would go to stderr; failures come back
        // through `error`.
        ff.av_log_set_callback(QuietLog);
        auto* buffer = static_cast<uint8_t*>(ff.av_malloc(kIoBufferSize));
        if (!buffer) return Fail("Out of memory");
        d_.io = ff.avio_alloc_context(buffer, kIoBufferSize, 0, opaque, read, nullptr, seek);
        if (!d_.io) {
            ff.av_free(buffer);
            return Fail("Out of memory");
        }
        d_.fmt = ff.avformat_alloc_context();
        if (!d_.fmt) return Fail("Out of memory");
        d_.fmt->pb = d_.io;
        // No fast seeking: an MP3's table of contents places a seek only to
        // within a hundredth of the file and stamps what follows with the time
        // asked for, so starts and loops would land off their sample. Seeks
        // read the packets up to the target instead (on the decode thread),
        // and the index they build makes the next seek there direct.
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
        // A lossless frame whose checksum fails decodes to garbage, as loud
        // as garbage comes: it is dropped as damage, not heard as a burst.
        // Lossy decoders conceal what they can of a damaged frame themselves.
        for (AVCodecID lossless : {AV_CODEC_ID_FLAC, AV_CODEC_ID_ALAC, AV_CODEC_ID_WAVPACK, AV_CODEC_ID_TTA})
            if (codec->id == lossless) d_.codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
        // With the packets' time base the decoder moves a frame's time stamp
        // past the samples it drops (an MP3's encoder delay); without it the
        // first frame keeps the packet's stamp, and the stream's start time,
        // which already counts that delay, would shift the piece once more.
        d_.codec->pkt_timebase = d_.fmt->streams[stream_]->time_base;
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
                if (!Damaged(rc) || !Drain()) return false;
                // Damage without end: what came before it is the piece.
                if (Hopeless()) break;
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

    int Stream() const { return stream_; }

    // What the decoder said of a packet or a frame: damage (whatever the
    // decoder calls it: invalid data, a feature it lacks) is passed over, as a
    // player would; only running out of memory ends decoding.
    bool Damaged(int rc) {
        if (rc == AVERROR(ENOMEM)) return Fail("Out of memory");
        if (rc < 0 && rc != AVERROR(EAGAIN)) ++damagedInARow_;
        return true;
    }

    // So much damage on end that the file holds nothing more to play: each
    // damaged packet costs a decode, and a file damaged from some point to
    // its end would otherwise be decoded through at every seek past it.
    bool Hopeless() const { return damagedInARow_ > kMostDamagedInARow; }

    // One decoded frame converted into `block` (interleaved stored
    // channels); false on failure. The frame is left for the caller to unref.
    bool ConvertFrame(std::vector<float>& block, int& count) {
        count = 0;
        if (!SetUpResampler()) return false;
        if (Foreign()) {
            ++damagedInARow_;
            return true;
        }
        damagedInARow_ = 0;
        const int room = ff.swr_get_out_samples(d_.swr, d_.frame->nb_samples);
        if (room < 0) return Fail("Cannot convert the samples");
        block.resize(size_t(std::max(room, 1)) * size_t(out_.StoredChannels));
        auto* o = reinterpret_cast<uint8_t*>(block.data());
        const int got = ff.swr_convert(d_.swr, &o, room,
                                       const_cast<const uint8_t**>(d_.frame->extended_data), d_.frame->nb_samples);
        if (got < 0) return Fail("Cannot convert the samples");
        count = got;
        return true;
    }

private:
    Decoding& d_;
    AudioData& out_;
    std::string& error_;
    int stream_ = -1;
    std::vector<float> block_;
    // Packets and frames damaged since the last good frame: some seconds of
    // any codec's.
    static constexpr int kMostDamagedInARow = 256;
    int damagedInARow_ = 0;

    bool Drain() {
        while (true) {
            int rc = ff.avcodec_receive_frame(d_.codec, d_.frame);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
            if (rc < 0) {
                if (!Damaged(rc)) return false;
                continue;
            }
            bool ok = SetUpResampler();
            if (ok && Foreign()) {
                ++damagedInARow_;
            } else if (ok) {
                damagedInARow_ = 0;
                ok = Convert(const_cast<const uint8_t**>(d_.frame->extended_data), d_.frame->nb_samples);
            }
            ff.av_frame_unref(d_.frame);
            if (!ok) return false;
        }
    }

    // A frame in another format than the first: damage that decoded to
    // something (a damaged header naming other channels), or a stream that
    // changes format midway. It is dropped rather than misread or heard as
    // a burst.
    bool Foreign() const {
        const AVFrame* f = d_.frame;
        return f->format != inFormat_ || f->sample_rate != out_.SampleRate ||
               f->ch_layout.nb_channels != out_.Channels;
    }

    // Set up by the first frame, whose format the decoder then keeps.
    bool SetUpResampler() {
        const AVFrame* f = d_.frame;
        if (d_.swr) return true;
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
        // More than two channels are mixed down as wave sounds are (one
        // matrix for both), where the layout names its channels by a mask.
        if (rc >= 0 && out_.Channels > 2) {
            const std::vector<double> m =
                StereoMixMatrix(out_.Channels, inLayout.order == AV_CHANNEL_ORDER_NATIVE ? uint32_t(inLayout.u.mask) : 0u);
            std::vector<double> byOutput(m.size());
            for (int32_t c = 0; c < out_.Channels; ++c) {
                byOutput[size_t(c)] = m[size_t(c) * 2];
                byOutput[size_t(out_.Channels + c)] = m[size_t(c) * 2 + 1];
            }
            rc = ff.swr_set_matrix(d_.swr, byOutput.data(), out_.Channels);
        }
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

namespace {

// What was learnt of a file's length, kept while the file stays as it is on
// disk: counting the packets of a long file can take seconds, and a game
// plays the same piece again and again.
struct Measured {
    double Seconds = 0;
    std::string Warning;
    bool StampsHold = true;  // its time stamps run forwards
};

struct FileKey {
    uint64_t Device = 0, Inode = 0;
    int64_t Size = 0, Changed = 0;
    auto operator<=>(const FileKey&) const = default;
};

struct MeasuredFiles {
    std::mutex m;
    std::map<FileKey, Measured> known;
};

// Never destroyed: a decode thread may still measure while the program ends.
MeasuredFiles& TheMeasuredFiles() {
    static auto* files = new MeasuredFiles;
    return *files;
}

// Files remembered at most; past it the memory starts afresh.
constexpr size_t kMeasuredFilesKept = 256;

bool KeyOf(const HostFile& f, FileKey& key) {
    struct stat st {};
    if (::fstat(f.Descriptor(), &st) != 0) return false;
    key = FileKey{uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size),
                  int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    return true;
}

// Whether a seek by time stamp in this container lands where the packets'
// stamps say, to the sample. Elsewhere the stamps after a seek are rounded to
// the millisecond (Matroska, ASF), guessed from the bit rate (raw AAC) or off
// by the first packet's unknown block size (Vorbis in Ogg), so the reader
// decodes its way to the target instead.
bool StampsPlaceSamples(const AVFormatContext* fmt, AVCodecID codec) {
    const std::string name = fmt->iformat->name;
    for (const char* exact : {"wav", "w64", "aiff", "flac", "mp3"})
        if (name == exact) return true;
    if (name.rfind("mov,", 0) == 0) return true;
    return name == "ogg" && codec == AV_CODEC_ID_OPUS;
}

}  // namespace

struct MediaReader::Impl {
    FileReader file;
    std::string path;
    std::unique_ptr<Decoding> d;
    AudioData opened;  // what the decoder's latest start found
    std::string openError;
    std::unique_ptr<Decoder> dec;
    AudioData format;            // as Format tells it, fixed by the first start
    std::vector<float> pending;  // decoded frames from `next` on, not handed out yet
    size_t pendingAt = 0;        // the first of them, in samples
    int64_t next = 0;            // frame of the next frame handed out
    int64_t target = 0;          // frames before this are dropped (after a seek)
    bool sync = false;           // the next decoded frame's time stamp tells where it lies
    bool flushed = false;        // the decoder was told the file ended
    bool ended = false;
    bool broken = false;         // a read failed: the next seek starts afresh
    bool produced = false;       // some audio came out since opening
    std::string warning;         // what the file got wrong that playing works around
    int64_t origin = 0;          // the stream's first time stamp
    AVRational base{1, 1};
    bool stampsHold = false;  // a seek by time stamp lands on its sample
    int64_t preroll = 0;      // frames decoded before a seek's target

    // Time stamps come from the file: worked out in double and bounded, so
    // that a far one gives a far frame, never an overflow.
    int64_t FrameOf(int64_t pts, int64_t duration = 0) const {
        const double rel = double(pts) - double(origin) + double(duration);
        return int64_t(std::clamp(rel * base.num / base.den * opened.SampleRate + 0.5, -4.0e18, 4.0e18));
    }

    // Opens the file's demuxer and decoder afresh from its first byte: what
    // follows is the piece from its first frame, just as a plain decode of
    // the file gives it (a seek to the start would be the container's own,
    // and some drop or keep the encoder's lead-in differently).
    bool Start(std::string& error) {
        dec.reset();
        d.reset();
        if (file.f.Seek(0, SEEK_SET) != 0) {
            error = "Cannot read the file";
            return false;
        }
        d = std::make_unique<Decoding>();
        opened = AudioData{};
        openError.clear();
        dec = std::make_unique<Decoder>(*d, opened, openError);
        if (!dec->Open(&file, ReadFilePacket, SeekFile)) {
            error = openError;
            return false;
        }
        const AVStream* st = d->fmt->streams[dec->Stream()];
        base = st->time_base;
        if (base.num <= 0 || base.den <= 0) base = AVRational{1, opened.SampleRate};
        origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
        pending.clear();
        pendingAt = 0;
        next = 0;
        sync = false;
        flushed = ended = broken = false;
        return true;
    }

    // The piece's length in seconds, remembered per file as it stands on
    // disk. The file stands at its start afterwards.
    bool Measure(double& seconds, std::string& error) {
        FileKey key;
        const bool keyed = KeyOf(file.f, key);
        Measured m;
        bool known = false;
        if (keyed) {
            MeasuredFiles& files = TheMeasuredFiles();
            std::lock_guard<std::mutex> lk(files.m);
            if (auto it = files.known.find(key); it != files.known.end()) m = it->second, known = true;
        }
        if (!known) {
            if (!Count(m, error)) return false;
            if (keyed) {
                MeasuredFiles& files = TheMeasuredFiles();
                std::lock_guard<std::mutex> lk(files.m);
                if (files.known.size() >= kMeasuredFilesKept) files.known.clear();
                files.known[key] = m;
            }
        }
        warning = m.Warning;
        stampsHold = m.StampsHold;
        seconds = m.Seconds;
        // A length beyond a day is not a piece of music.
        if (!(seconds > 0) || seconds > 86400.0) {
            error = "Unknown length";
            return false;
        }
        return true;
    }

    // A header's length is taken when the first packets' bytes per second
    // bear it out for the file's size; without one, or when it is far from
    // what the packets hold, they are counted (no decoding). Ogg keeps its
    // length only in its last page's stamp, which a chain of links or
    // stamps set back belie anywhere in the file, and a length from the bit
    // rate is a guess: those are always counted. A header may claim a day
    // over a third of a second of data, or time stamps may run backwards:
    // what the packets hold plays, with a warning. The file is left started
    // afresh.
    bool Count(Measured& m, std::string& error) {
        const AVStream* st = d->fmt->streams[dec->Stream()];
        double seconds = 0;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            seconds = double(st->duration) * base.num / base.den;
        else if (d->fmt->duration != AV_NOPTS_VALUE && d->fmt->duration > 0)
            seconds = double(d->fmt->duration) / AV_TIME_BASE;
        const bool declared = seconds > 0;
        bool count = !declared || std::strcmp(d->fmt->iformat->name, "ogg") == 0 ||
                     d->fmt->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
        const double perUnit = double(base.num) / base.den;
        // Encoders pad the last packet, and a header's length leaves the
        // padding out: a length within this of the packets' is the same.
        double slack = 0.1;
        const bool checked = !count;
        if (checked) {
            const Packets first = ReadPackets(64);
            slack = std::max(slack, 2.0 * double(first.Longest) * perUnit);
            // Bit rates vary (a loud opening, a quiet close), hence the wide
            // margin; past it, or once the first packets run beyond the whole
            // declared length or back in time, the header is not believed.
            if (first.Bytes > 0 && first.Duration > 0) {
                const double held =
                    double(file.size) / double(first.Bytes) * double(first.Duration) * perUnit;
                count = seconds > 8.0 * held + 1.0;
            }
            count = count || first.Backwards || double(first.End) * perUnit > seconds + slack;
        }
        if (count) {
            if (gMediaDecodeWatch.LengthCounted) gMediaDecodeWatch.LengthCounted(path);
            if (checked && !Start(error)) return false;
            const Packets all = ReadPackets(-1);
            slack = std::max(slack, 2.0 * double(all.Longest) * perUnit);
            const double held = double(all.Backwards ? all.Duration : all.End) * perUnit;
            if (declared && std::fabs(held - seconds) > 1.0) {
                char text[160];
                std::snprintf(text, sizeof text, "The header gives %.1f s, the data holds %.1f s%s", seconds, held,
                              all.Backwards ? " (its time stamps run backwards)" : "");
                m.Warning = text;
            } else if (all.Backwards) {
                m.Warning = "Its time stamps run backwards";
            }
            m.StampsHold = !all.Backwards;
            if (!declared || (held > 0 && std::fabs(held - seconds) > slack)) seconds = held;
        }
        m.Seconds = seconds;
        return Start(error);
    }

    struct Packets {
        int64_t Bytes = 0;
        int64_t Duration = 0;  // summed, in the stream's time base
        int64_t End = 0;       // the latest end a time stamp gives, from the origin
        int64_t Longest = 0;   // the longest sound duration of one
        bool Backwards = false;
    };

    // Reads up to `most` packets of the stream (all when negative) from
    // where the file stands. A packet's duration may come from time stamps
    // too: one past two seconds, or none, counts as the longest sound one
    // seen, so that the sum errs long and the data's own end stops the piece.
    Packets ReadPackets(int64_t most) {
        Packets p;
        int64_t last = INT64_MIN;
        const double perSecond = double(base.den) / base.num;
        const int64_t longest = int64_t(std::min(2.0 * perSecond, 4.0e18));
        for (int64_t n = 0; (most < 0 || n < most) && ff.av_read_frame(d->fmt, d->packet) >= 0;) {
            const AVPacket& k = *d->packet;
            if (k.stream_index == dec->Stream()) {
                ++n;
                p.Bytes += k.size;
                int64_t duration = k.duration;
                if (duration > 0 && duration <= longest) p.Longest = std::max(p.Longest, duration);
                else duration = p.Longest;
                p.Duration = std::min<int64_t>(p.Duration + duration, INT64_MAX / 2);
                if (k.pts != AV_NOPTS_VALUE) {
                    if (k.pts < last) p.Backwards = true;
                    last = k.pts;
                    const double end = double(k.pts) - double(origin) + double(duration);
                    p.End = std::max<int64_t>(p.End, int64_t(std::clamp(end, 0.0, 4.0e18)));
                }
            }
            ff.av_packet_unref(d->packet);
        }
        return p;
    }

    // Decodes the next frame into `pending`; false at the end or on failure
    // (error set then).
    bool DecodeMore(std::string& error) {
        while (!ended) {
            if (dec->Hopeless() || file.Stopped()) {
                // Damage to the end, or the stream is going: nothing more comes.
                ended = true;
                if (file.Stopped()) error = "Stopped";
                return false;
            }
            int rc = ff.avcodec_receive_frame(d->codec, d->frame);
            if (rc == 0) {
                int count = 0;
                std::vector<float> block;
                const bool ok = dec->ConvertFrame(block, count);
                const int64_t pts = d->frame->best_effort_timestamp;
                ff.av_frame_unref(d->frame);
                if (!ok) {
                    error = openError;
                    return false;
                }
                if (count <= 0) continue;
                if (format.SampleRate > 0 && (opened.SampleRate != format.SampleRate ||
                                              opened.StoredChannels != format.StoredChannels)) {
                    error = "Audio format changes within the file";
                    return false;
                }
                // Where a seek landed; past the target only when what lay
                // between was damaged, and decoding from the start would drop
                // it all the same.
                if (sync) {
                    sync = false;
                    next = pts != AV_NOPTS_VALUE ? FrameOf(pts) : target;
                }
                block.resize(size_t(count) *
                             size_t(format.SampleRate > 0 ? format.StoredChannels : opened.StoredChannels));
                pending.swap(block);
                pendingAt = 0;
                produced = true;
                return true;
            }
            if (rc == AVERROR_EOF) {
                ended = true;
                return false;
            }
            if (rc != AVERROR(EAGAIN)) {
                if (!dec->Damaged(rc)) {
                    error = openError;
                    return false;
                }
                continue;
            }
            if (flushed) {
                ended = true;
                return false;
            }
            rc = ff.av_read_frame(d->fmt, d->packet);
            if (rc < 0) {
                // The end, or a damaged tail after good audio: what came before plays.
                if (rc != AVERROR_EOF && (!produced || file.Stopped())) {
                    error = "Read error (" + AvError(rc) + ")";
                    return false;
                }
                ff.avcodec_send_packet(d->codec, nullptr);
                flushed = true;
                continue;
            }
            if (d->packet->stream_index == dec->Stream()) {
                // After a seek, what lies well before the run-up to the
                // target is passed over undecoded: an index may land far
                // before it.
                if (sync && d->packet->pts != AV_NOPTS_VALUE && d->packet->duration > 0 &&
                    FrameOf(d->packet->pts, d->packet->duration) < target - preroll - opened.SampleRate / 4) {
                    ff.av_packet_unref(d->packet);
                    continue;
                }
                rc = ff.avcodec_send_packet(d->codec, d->packet);
                ff.av_packet_unref(d->packet);
                if (!dec->Damaged(rc)) {
                    error = openError;
                    return false;
                }
            } else {
                ff.av_packet_unref(d->packet);
            }
        }
        return false;
    }
};

MediaReader::MediaReader() = default;
MediaReader::~MediaReader() = default;

bool MediaReader::Open(const std::string& hostPath, std::string& error, const std::atomic<bool>* stop) {
    impl_.reset();
    if (!LoadFfmpeg(error)) return false;
    auto impl = std::make_unique<Impl>();
    impl->path = hostPath;
    impl->file.stop = stop;
    if (!OpenHostFile(hostPath, impl->file.f, error)) return false;
    impl->file.size = impl->file.f.Size();
    if (impl->file.size == 0) {
        error = "File is empty";
        return false;
    }
    try {
        Impl& m = *impl;
        double seconds = 0;
        if (!m.Start(error) || !m.Measure(seconds, error)) return false;
        // The first frame has the last word on the rate and the channels (a
        // header may give the core rate of a stream that decodes at twice
        // it): it is decoded now, so that what Format tells the player is what
        // every block will hold, and a later change is refused.
        if (!m.DecodeMore(error)) {
            if (error.empty()) error = "File holds no samples";
            return false;
        }
        m.format = m.opened;
        m.format.Frames = int64_t(seconds * m.format.SampleRate + 0.5);
        if (m.format.Frames <= 0) {
            error = "File holds no samples";
            return false;
        }
        // What a seek decodes before its target: the codec's own run-up
        // (Opus asks for 80 ms), and ten of its frames, for the overlap of
        // transform codecs and the bit reservoir of MP3, which may reach
        // back over several frames at a low bit rate.
        const AVCodecParameters* par = m.d->fmt->streams[m.dec->Stream()]->codecpar;
        m.preroll = std::max<int64_t>(par->seek_preroll, int64_t(10) * std::max(0, m.d->codec->frame_size));
        m.stampsHold = m.stampsHold && StampsPlaceSamples(m.d->fmt, par->codec_id);
    } catch (const std::bad_alloc&) {
        error = "Out of memory";
        return false;
    }
    impl_ = std::move(impl);
    return true;
}

const AudioData& MediaReader::Format() const {
    static const AudioData none;
    return impl_ ? impl_->format : none;
}

bool MediaReader::Seek(int64_t frame, std::string& error) {
    if (!impl_) {
        error = "No file";
        return false;
    }
    Impl& m = *impl_;
    frame = std::clamp<int64_t>(frame, 0, m.format.Frames);
    try {
        // Ahead of where the reader stands and within what a seek would
        // decode anyway, or anywhere ahead where a seek cannot place it:
        // decoded on from here.
        if (!m.broken && !m.sync && frame >= m.next && (!m.stampsHold || frame - m.next <= m.preroll)) {
            m.target = frame;
            return true;
        }
        m.target = frame;
        if (!m.stampsHold || frame - m.preroll <= 0) return m.Start(error);
        const int64_t from = frame - m.preroll;
        const int64_t ts = int64_t(
            std::clamp(double(m.origin) + double(from) / m.format.SampleRate * m.base.den / m.base.num,
                       -4.0e18, 4.0e18));
        if (ff.avformat_seek_file(m.d->fmt, m.dec->Stream(), INT64_MIN, ts, ts, 0) < 0) return m.Start(error);
        ff.avcodec_flush_buffers(m.d->codec);
        m.pending.clear();
        m.pendingAt = 0;
        m.next = from;
        m.sync = true;
        m.flushed = m.ended = m.broken = false;
        return true;
    } catch (const std::bad_alloc&) {
        error = "Out of memory";
        m.broken = true;
        return false;
    }
}

int64_t MediaReader::Read(std::vector<float>& out, int64_t want, std::string& error) {
    if (!impl_) {
        error = "No file";
        return -1;
    }
    Impl& m = *impl_;
    const int64_t ch = m.format.StoredChannels;
    int64_t got = 0;
    try {
        while (got < want && m.next < m.format.Frames) {
            if (m.pendingAt >= m.pending.size()) {
                if (!m.DecodeMore(error)) {
                    if (!error.empty()) {
                        m.broken = true;
                        return -1;
                    }
                    break;
                }
                continue;
            }
            const int64_t have = int64_t(m.pending.size() - m.pendingAt) / ch;
            // The run-up to a seek's target is decoded, not heard.
            const int64_t drop = std::min(have, m.target - m.next);
            if (drop > 0) {
                m.pendingAt += size_t(drop * ch);
                m.next += drop;
                continue;
            }
            const int64_t take = std::min({have, want - got, m.format.Frames - m.next});
            out.insert(out.end(), m.pending.begin() + ptrdiff_t(m.pendingAt),
                       m.pending.begin() + ptrdiff_t(m.pendingAt + size_t(take * ch)));
            m.pendingAt += size_t(take * ch);
            m.next += take;
            got += take;
        }
    } catch (const std::bad_alloc&) {
        error = "Out of memory";
        m.broken = true;
        return -1;
    }
    return got;
}

int64_t MediaReader::NextFrame() const { return impl_ ? impl_->next : 0; }

std::string MediaReader::Warning() const { return impl_ ? impl_->warning : std::string(); }

}  // namespace zun
