// Compressed music samples made at test time with FFmpeg's own encoders, so
// no binary sample of unknown origin sits in the repository. Header-only:
// the tests that use it link the platform library, which brings FFmpeg.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace zun::test {

struct MediaFormat {
    const char* Extension;
    const char* Container;
    const char* Encoder;
};

// Every compressed format music files come in, and plain WAV.
inline const std::vector<MediaFormat>& MusicFormats() {
    static const std::vector<MediaFormat> formats = {
        {"wma", "asf", "wmav2"}, {"mp3", "mp3", "libmp3lame"}, {"ogg", "ogg", "libvorbis"},
        {"flac", "flac", "flac"}, {"m4a", "ipod", "aac"},       {"wav", "wav", "pcm_s16le"},
    };
    return formats;
}

// Every container and codec the device layer plays music files in, for
// measurements that go beyond the common formats: uncompressed in three
// containers, Opus, raw AAC, and the Matroska family.
inline const std::vector<MediaFormat>& AllMusicFormats() {
    static const std::vector<MediaFormat> formats = {
        {"wav", "wav", "pcm_s16le"},  {"w64", "w64", "pcm_s16le"},      {"aiff", "aiff", "pcm_s16be"},
        {"ogg", "ogg", "libvorbis"},  {"opus", "ogg", "libopus"},       {"flac", "flac", "flac"},
        {"mp3", "mp3", "libmp3lame"}, {"m4a", "ipod", "aac"},           {"aac", "adts", "aac"},
        {"wma", "asf", "wmav2"},      {"mka", "matroska", "libvorbis"}, {"webm", "webm", "libopus"},
    };
    return formats;
}

// A format's nearest sample rate to `rate` (Opus takes 48 kHz and a few below).
inline int RateFor(const MediaFormat& f, int rate) {
    return std::string(f.Encoder) == "libopus" ? 48000 : rate;
}

// Writes `frames` stereo frames whose sample of channel c at frame i is
// value(i, c), in -1..1. Empty on success, else what went wrong.
template <class F>
std::string EncodeSignal(const std::string& hostPath, const MediaFormat& f, int rate, int64_t total,
                         F value) {
    AVFormatContext* oc = nullptr;
    AVCodecContext* c = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* pkt = nullptr;
    auto done = [&](std::string why) {
        if (oc && oc->pb) avio_closep(&oc->pb);
        avformat_free_context(oc);
        avcodec_free_context(&c);
        av_frame_free(&frame);
        av_packet_free(&pkt);
        return why;
    };
    const AVCodec* codec = avcodec_find_encoder_by_name(f.Encoder);
    if (!codec) return done(std::string("no encoder ") + f.Encoder);
    if (avformat_alloc_output_context2(&oc, nullptr, f.Container, hostPath.c_str()) < 0 || !oc)
        return done("no container");
    AVStream* st = avformat_new_stream(oc, nullptr);
    c = avcodec_alloc_context3(codec);
    if (!st || !c) return done("out of memory");
    c->sample_rate = rate;
    av_channel_layout_default(&c->ch_layout, 2);
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->bit_rate = 128000;
    c->time_base = AVRational{1, rate};
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c, codec, nullptr) < 0) return done("encoder does not open");
    avcodec_parameters_from_context(st->codecpar, c);
    st->time_base = c->time_base;
    if (avio_open(&oc->pb, hostPath.c_str(), AVIO_FLAG_WRITE) < 0) return done("cannot write file");
    if (avformat_write_header(oc, nullptr) < 0) return done("no header");
    frame = av_frame_alloc();
    pkt = av_packet_alloc();
    const int chunk = c->frame_size > 0 ? c->frame_size : 1024;
    auto drain = [&]() {
        while (avcodec_receive_packet(c, pkt) == 0) {
            av_packet_rescale_ts(pkt, c->time_base, st->time_base);
            pkt->stream_index = st->index;
            if (av_interleaved_write_frame(oc, pkt) < 0) return false;
        }
        return true;
    };
    const bool planar = av_sample_fmt_is_planar(c->sample_fmt);
    const AVSampleFormat packed = av_get_packed_sample_fmt(c->sample_fmt);
    for (int64_t at = 0; at < total; at += chunk) {
        av_frame_unref(frame);
        frame->nb_samples = int(std::min<int64_t>(chunk, total - at));
        frame->format = c->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
        frame->sample_rate = rate;
        if (av_frame_get_buffer(frame, 0) < 0) return done("out of memory");
        for (int i = 0; i < frame->nb_samples; ++i) {
            for (int ch = 0; ch < 2; ++ch) {
                const double v = value(at + i, ch);
                const int slot = planar ? i : i * 2 + ch;
                uint8_t* base = frame->extended_data[planar ? ch : 0];
                if (packed == AV_SAMPLE_FMT_FLT) reinterpret_cast<float*>(base)[slot] = float(v);
                else if (packed == AV_SAMPLE_FMT_S16) reinterpret_cast<int16_t*>(base)[slot] = int16_t(v * 32767);
                else if (packed == AV_SAMPLE_FMT_S32) reinterpret_cast<int32_t*>(base)[slot] = int32_t(v * 2147483647.0);
                else return done("sample format not handled");
            }
        }
        frame->pts = at;
        if (avcodec_send_frame(c, frame) < 0 || !drain()) return done("encoding failed");
    }
    avcodec_send_frame(c, nullptr);
    if (!drain()) return done("encoding failed");
    if (av_write_trailer(oc) < 0) return done("no trailer");
    return done("");
}

// Writes `seconds` of a 440 Hz stereo sine at half scale. Empty on success,
// else what went wrong.
inline std::string EncodeSine(const std::string& hostPath, const MediaFormat& f, int rate, double seconds) {
    return EncodeSignal(hostPath, f, rate, int64_t(std::llround(seconds * rate)), [rate](int64_t i, int) {
        return 0.5 * std::sin(2 * M_PI * 440.0 * double(i) / rate);
    });
}

// Two tones at 0.15 of full scale each (lossy codecs ring past twice the
// level where a tone sets in), one rising from 300 Hz to 3 kHz every
// quarter second, the other falling from 2.5 kHz to 400 Hz every 0.37 s, the
// channels a quarter turn apart: no stretch of it is like another near it, so
// any shift shows, and it stays well within what lossy codecs keep.
inline double Glide(int64_t i, int ch, int rate) {
    auto sawtooth = [t = double(i) / rate](double from, double to, double period) {
        const double turns = t / period, n = std::floor(turns), f = turns - n;
        return from * t + (to - from) * period * (n + f * f) / 2;
    };
    const double shift = ch ? M_PI / 2 : 0.0;
    return 0.15 * std::sin(2 * M_PI * sawtooth(300, 3000, 0.25) + shift) +
           0.15 * std::sin(2 * M_PI * sawtooth(2500, 400, 0.37) + shift);
}

// The file decoded from its start to its end by the libraries themselves, as
// their own command line does it, and apart from the program's decoder: every
// packet in order, the damaged ones passed over, the first two channels as
// stereo floats (mono doubled) at the file's own rate. Empty on success.
inline std::string DecodeStraight(const std::string& hostPath, std::vector<float>& out, int& rate) {
    out.clear();
    AVFormatContext* fmt = nullptr;
    AVCodecContext* c = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto done = [&](std::string why) {
        avcodec_free_context(&c);
        avformat_close_input(&fmt);
        av_packet_free(&pkt);
        av_frame_free(&frame);
        return why;
    };
    if (avformat_open_input(&fmt, hostPath.c_str(), nullptr, nullptr) < 0) return done("does not open");
    if (avformat_find_stream_info(fmt, nullptr) < 0) return done("no stream information");
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || !codec || !(c = avcodec_alloc_context3(codec))) return done("no audio stream");
    avcodec_parameters_to_context(c, fmt->streams[stream]->codecpar);
    c->pkt_timebase = fmt->streams[stream]->time_base;
    if (avcodec_open2(c, codec, nullptr) < 0) return done("no decoder");
    rate = 0;
    auto sample = [&](int ch, int i) -> double {
        const AVSampleFormat packed = av_get_packed_sample_fmt(AVSampleFormat(frame->format));
        const bool planar = av_sample_fmt_is_planar(AVSampleFormat(frame->format));
        const int channels = frame->ch_layout.nb_channels;
        const uint8_t* base = frame->extended_data[planar ? ch : 0];
        const int slot = planar ? i : i * channels + ch;
        switch (packed) {
            case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(base)[slot];
            case AV_SAMPLE_FMT_DBL: return reinterpret_cast<const double*>(base)[slot];
            case AV_SAMPLE_FMT_S16: return reinterpret_cast<const int16_t*>(base)[slot] / 32768.0;
            case AV_SAMPLE_FMT_S32: return reinterpret_cast<const int32_t*>(base)[slot] / 2147483648.0;
            default: return 0;
        }
    };
    auto drain = [&] {
        while (avcodec_receive_frame(c, frame) >= 0) {
            if (rate == 0) rate = frame->sample_rate;
            const int channels = frame->ch_layout.nb_channels;
            for (int i = 0; i < frame->nb_samples; ++i) {
                out.push_back(float(sample(0, i)));
                out.push_back(float(sample(channels > 1 ? 1 : 0, i)));
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == stream) avcodec_send_packet(c, pkt);
        av_packet_unref(pkt);
        drain();
    }
    avcodec_send_packet(c, nullptr);
    drain();
    return done(out.empty() ? "no samples" : "");
}

}  // namespace zun::test
