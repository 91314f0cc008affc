// Music files: loading, volume and rate, looping by the per-frame check and by
// the stream itself, and the end of a piece that does not loop.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zMusicSetup.h"
#include "platform/MediaDecode.h"
#include "platform/MidiStream.h"
#include "platform/MusicFileStream.h"
#include "test_sound_fixtures.h"
#include "tests/support/MediaSamples.h"

namespace zun {
namespace {

class MusicFiles : public ::testing::Test {
protected:
    test::TempDir dir;
    void SetUp() override {
        AudioDevice::UseOffline(8000);
        test::WriteHostFile(dir.HostPath("short.wav"), test::ConstantWav(1, 8000, 16, 8000, 0.5));   // 1 s
        test::WriteHostFile(dir.HostPath("long.wav"), test::ConstantWav(1, 8000, 8, 8000 * 40, 0.5));  // 40 s
        test::WriteHostFile(dir.HostPath("junk.ogg"), {'O', 'g', 'g', 'S', 0, 1, 2});
        zDMusic.MusicPath = dir.Path();
        zDShow.Volume = 1.0f;
    }
    void TearDown() override {
        DShow_Release();
        zDShow.Volume = 0.0f;
        AudioDevice::UseHardware();
    }
    // The game's frame: 15 ms of audio, then the loop check.
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            test::RenderSeconds(0.015);
            MusicCheckLoop();
        }
    }
};

TEST_F(MusicFiles, NothingLoadedReadsZeroAndIgnoresCalls) {
    EXPECT_EQ(GetMusicPosition(), 0);
    MusicStop();
    MusicPlay(100);
    SetupMusic(1.0f, 1.0f);
    MusicCheckLoop();
    EXPECT_FALSE(zDShow.Loaded);
    test::LogCapture log;
    EXPECT_FALSE(PlayMusicFile("none.mp3", false, 1.0f, 1.0f, 0, 0, 0));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_FALSE(PlayMusicFile("junk.ogg", false, 1.0f, 1.0f, 0, 0, 0));
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].rfind("ERR\tLoadMusic\tjunk.ogg", 0), 0u);
    EXPECT_FALSE(AudioDevice::IsOpen());
}

TEST_F(MusicFiles, VolumeAndRate) {
    ASSERT_TRUE(PlayMusicFile("long.wav", false, 0.0f, 100.0f, 0, 0, 0));
    EXPECT_EQ(zDShow.MediaControl->GetVolume(), -10000);
    EXPECT_EQ(zDShow.MediaControl->GetRate(), 64.0);
    zDShow.Volume = 0.5f;
    SetupMusic(1.0f, 0.5f);
    EXPECT_EQ(zDShow.MediaControl->GetVolume(), -5000);
    EXPECT_EQ(zDShow.MediaControl->GetRate(), 0.5);
    SetupMusic(-1.0f, 0.0f);
    EXPECT_EQ(zDShow.MediaControl->GetVolume(), -5000);
    EXPECT_EQ(zDShow.MediaControl->GetRate(), 0.01);

    ASSERT_TRUE(PlayMusicFile("long.wav", false, 1.0f, 0.5f, 0, 0, 1000));
    test::RenderSeconds(2.0);
    EXPECT_EQ(GetMusicPosition(), 2000);  // half rate: 1 s of music in 2 s
}

TEST_F(MusicFiles, LoopingToTheEndRestartsAtTheLoopStart) {
    ASSERT_TRUE(PlayMusicFile("short.wav", true, 1.0f, 1.0f, 200, 0, 0));
    EXPECT_DOUBLE_EQ(zDShow.LoopEnd, 1.0);
    Frames(80);  // 1.2 s
    EXPECT_NEAR(GetMusicPosition(), 400, 1);
    EXPECT_TRUE(zDShow.MediaControl->IsRunning());
}

TEST_F(MusicFiles, LoopPointsLoopTheStretchBetweenThem) {
    ASSERT_TRUE(PlayMusicFile("long.wav", true, 1.0f, 1.0f, 2000, 30000, 0));
    int32_t highest = 0;
    bool wrapped = false;
    int32_t last = 0;
    for (int i = 0; i < 2400; ++i) {  // 36 s
        Frames(1);
        int32_t p = GetMusicPosition();
        highest = std::max(highest, p);
        if (p < last) {
            wrapped = true;
            EXPECT_GE(p, 2000);
        }
        last = p;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_LE(highest, 30000);
    EXPECT_NEAR(GetMusicPosition(), 8000, 1);  // 36 s = 30 s + 6 s past the loop start
}

TEST_F(MusicFiles, APieceThatDoesNotLoopIsRewoundAndSilent) {
    ASSERT_TRUE(PlayMusicFile("short.wav", false, 1.0f, 1.0f, 0, 0, 500));
    Frames(40);  // 0.6 s
    EXPECT_EQ(GetMusicPosition(), 0);
    EXPECT_FALSE(zDShow.MediaControl->IsRunning());
    auto out = test::RenderMixer(800);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float s) { return s == 0.0f; }));
    MusicPlay(0);
    EXPECT_TRUE(zDShow.MediaControl->IsRunning());
    MusicStop();
    EXPECT_EQ(GetMusicPosition(), 0);
    EXPECT_FALSE(zDShow.MediaControl->IsRunning());
}

TEST_F(MusicFiles, LoadingReplacesThePreviousFileAndNeedsAnOutput) {
    ASSERT_TRUE(PlayMusicFile("short.wav", true, 1.0f, 1.0f, 0, 0, 0));
    auto first = zDShow.MediaControl;
    ASSERT_TRUE(PlayMusicFile("long.wav", true, 1.0f, 1.0f, 0, 0, 0));
    EXPECT_NE(zDShow.MediaControl, first);
    EXPECT_EQ(AudioDevice::Mixer()->SourceCount(), 2);  // `first` is still held here
    first.reset();
    EXPECT_EQ(AudioDevice::Mixer()->SourceCount(), 1);
    DShow_Release();
    EXPECT_FALSE(AudioDevice::IsOpen());

    AudioDevice::UseOffline(0);
    test::LogCapture log;
    EXPECT_FALSE(LoadMusic("short.wav"));
    EXPECT_TRUE(log.Contains("ERR\tLoadMusic\tshort.wav"));
}

TEST_F(MusicFiles, EveryCompressedFormatPlaysWithRateAndLoopPoints) {
    for (const auto& f : test::MusicFormats()) {
        SCOPED_TRACE(f.Extension);
        const std::string name = std::string("tone.") + f.Extension;
        ASSERT_EQ(test::EncodeSine(dir.HostPath(name), f, 22050, 2.0), "");
        // Half rate from 100 ms: 0.4 s of play moves the position 200 ms.
        ASSERT_TRUE(PlayMusicFile(name, true, 1.0f, 0.5f, 300, 800, 100));
        auto out = test::RenderMixer(int64_t(0.4 * 8000));
        EXPECT_NEAR(GetMusicPosition(), 300, 5);
        float peak = 0;
        for (float v : out) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.3f);
        // Double rate: the stretch 300..800 ms repeats and is never left.
        SetupMusic(-1.0f, 2.0f);
        int32_t highest = 0;
        bool wrapped = false;
        for (int i = 0, last = GetMusicPosition(); i < 60; ++i) {
            Frames(1);
            const int32_t p = GetMusicPosition();
            highest = std::max(highest, p);
            wrapped = wrapped || p < last;
            EXPECT_GE(p, 300);
            last = p;
        }
        EXPECT_TRUE(wrapped);
        EXPECT_LE(highest, 800);
        DShow_Release();
    }
}

// The process's resident memory in bytes, and its threads.
int64_t Resident() {
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * int64_t(sysconf(_SC_PAGESIZE));
}
int Threads() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}
float Peak(const std::vector<float>& s) {
    float p = 0;
    for (float v : s) p = std::max(p, std::fabs(v));
    return p;
}

// Sixty minutes at 8 kHz as FLAC, silent but for a tone in the second from
// 30:00 and in the last second.
void WriteHourFlac(const std::string& hostPath) {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(hostPath.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<short> second(8000);
    for (int s = 0; s < 3600; ++s) {
        const bool tone = s == 1800 || s == 3599;
        for (int i = 0; i < 8000; ++i) second[size_t(i)] = tone ? short(16000 * std::sin(2 * M_PI * 440 * i / 8000)) : 0;
        ASSERT_EQ(sf_write_short(f, second.data(), 8000), 8000);
    }
    sf_close(f);
}

// `seconds` of a 440 Hz tone at 8 kHz, mono, written by libsndfile in
// `format`; the file's bytes.
std::vector<uint8_t> ToneFile(const std::string& hostPath, int format, double seconds) {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = format;
    SNDFILE* f = sf_open(hostPath.c_str(), SFM_WRITE, &info);
    if (!f) return {};
    std::vector<float> tone(size_t(8000 * seconds));
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = float(0.5 * std::sin(2 * M_PI * 440 * double(i) / 8000));
    sf_writef_float(f, tone.data(), sf_count_t(tone.size()));
    sf_close(f);
    std::ifstream in(hostPath, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The Ogg pages of a file: their offsets and lengths.
std::vector<std::pair<size_t, size_t>> OggPages(const std::vector<uint8_t>& b) {
    std::vector<std::pair<size_t, size_t>> pages;
    for (size_t at = 0; at + 27 <= b.size() && std::memcmp(&b[at], "OggS", 4) == 0;) {
        const size_t segments = b[at + 26];
        size_t size = 27 + segments;
        for (size_t k = 0; k < segments && at + 27 + k < b.size(); ++k) size += b[at + 27 + k];
        pages.push_back({at, size});
        at += size;
    }
    return pages;
}

// Gives an Ogg page a granule position and the checksum that goes with it.
void SetGranule(std::vector<uint8_t>& b, std::pair<size_t, size_t> page, int64_t granule) {
    for (int k = 0; k < 8; ++k) b[page.first + 6 + size_t(k)] = uint8_t(uint64_t(granule) >> (8 * k));
    std::memset(&b[page.first + 22], 0, 4);
    uint32_t crc = 0;
    for (size_t k = 0; k < page.second; ++k) {
        crc ^= uint32_t(b[page.first + k]) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (int k = 0; k < 4; ++k) b[page.first + 22 + size_t(k)] = uint8_t(crc >> (8 * k));
}

// An hour of music streams: it starts wherever it is asked to, loops between
// points far into it, reaches its end, and holds a ring of a few seconds, not
// the hour; its decoder thread ends with it.
TEST_F(MusicFiles, AnHourLongFileStreamsFromAnyPointInBoundedMemory) {
    WriteHourFlac(dir.HostPath("hour.flac"));
    const int threads = Threads();
    const int64_t before = Resident();
    ASSERT_TRUE(PlayMusicFile("hour.flac", false, 1.0f, 1.0f, 0, 0, 3599500));
    EXPECT_DOUBLE_EQ(zDShow.LoopEnd, 3600.0);
    auto out = test::RenderMixer(2000);
    EXPECT_EQ(GetMusicPosition(), 3599750);
    EXPECT_GT(Peak(out), 0.3f);
    Frames(40);  // past the end: rewound and silent
    EXPECT_EQ(GetMusicPosition(), 0);
    EXPECT_FALSE(zDShow.MediaControl->IsRunning());

    // The second from 30:00 looped, from its middle: three seconds of play
    // stay in it and hear its tone throughout.
    ASSERT_TRUE(PlayMusicFile("hour.flac", true, 1.0f, 1.0f, 1800000, 1801000, 1800500));
    for (int i = 0; i < 30; ++i) {
        out = test::RenderMixer(800);
        EXPECT_GT(Peak(out), 0.3f) << i;
        EXPECT_GE(GetMusicPosition(), 1800000);
        EXPECT_LE(GetMusicPosition(), 1801000);
    }
    EXPECT_NEAR(GetMusicPosition(), 1800500, 1);
    // The hour decoded whole would take 115 MB.
    EXPECT_LT(Resident() - before, int64_t(16) << 20);
    {
        const auto stream = std::dynamic_pointer_cast<MusicFileStream>(zDShow.MediaControl);
        ASSERT_TRUE(stream);
        EXPECT_LE(stream->BufferedSamples(),
                  int64_t(MusicFileStream::kAheadSeconds * 8000) + MusicFileStream::kBlockFrames);
    }
    DShow_Release();
    EXPECT_EQ(Threads(), threads);
}

// A file cut short of the length it declares: a loop beyond what is left
// ends with a logged error rather than a decoder that seeks for ever.
TEST_F(MusicFiles, ALoopBeyondTheDataOfACutFileEndsWithALoggedError) {
    const std::string path = dir.HostPath("cut.flac");
    WriteHourFlac(path);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 4);
    test::LogCapture log;
    ASSERT_TRUE(PlayMusicFile("cut.flac", true, 1.0f, 1.0f, 2400000, 2401000, 2400500));
    Frames(20);
    EXPECT_FALSE(zDShow.MediaControl->IsRunning());
    EXPECT_TRUE(log.Contains("ERR\tMusicCheckLoop")) << (log.Lines().empty() ? "" : log.Lines()[0]);
    // What is left plays.
    ASSERT_TRUE(PlayMusicFile("cut.flac", false, 1.0f, 1.0f, 0, 0, 0));
    Frames(20);
    EXPECT_EQ(GetMusicPosition(), 300);
}

// A loop of a millisecond played near the highest rate goes round from
// memory, not by a seek and a decode for every turn; every sample heard is
// one of the loop's, and the position never leaves it.
TEST_F(MusicFiles, ATinyLoopAtAHighRateGoesRoundWithoutSeekingEachTurn) {
    // Frames 4000..4007 hold 0.1..0.45; their neighbours hold 0.5 and 0.85.
    test::WriteHostFile(dir.HostPath("ramp.wav"),
                        test::MakeWav(1, 8000, 16, 8000, [](int64_t i, int) { return 0.1 + 0.05 * double(i % 16); }));
    ASSERT_TRUE(PlayMusicFile("ramp.wav", true, 1.0f, 63.5f, 500, 501, 500));
    const auto out = test::RenderMixer(4 * 8000);  // some 30,000 turns
    const auto [low, high] = std::minmax_element(out.begin(), out.end());
    EXPECT_NEAR(*low, 0.1f, 0.01f);
    EXPECT_NEAR(*high, 0.45f, 0.03f);
    EXPECT_EQ(GetMusicPosition(), 500);
}

// An MP3 starts on its first sample and comes back to it at every wrap: the
// encoder's delay is dropped once, by the decoder, and not again by the
// stream. A rising sweep has no period, so any shift shows.
TEST_F(MusicFiles, AnMp3StartsAndWrapsOnItsFirstSample) {
    constexpr int kRate = 44100;
    AudioDevice::UseOffline(kRate);
    std::vector<float> sweep(size_t(kRate) * 2);
    for (size_t i = 0; i < sweep.size(); ++i) {
        const double t = double(i) / kRate;
        sweep[i] = float(0.5 * std::sin(2 * M_PI * (200 + 300 * t) * t));
    }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE* f = sf_open(dir.HostPath("sweep.mp3").c_str(), SFM_WRITE, &info);
    if (!f) GTEST_SKIP() << "this libsndfile writes no MP3";
    ASSERT_EQ(sf_writef_float(f, sweep.data(), sf_count_t(sweep.size())), sf_count_t(sweep.size()));
    sf_close(f);

    ASSERT_TRUE(PlayMusicFile("sweep.mp3", true, 1.0f, 1.0f, 0, 0, 0));
    const auto out = test::RenderMixer(int64_t(sweep.size()) + kRate / 2);
    // The shift of the played stretch from `at` against the sweep from `from`.
    auto shift = [&](size_t at, size_t from) {
        int best = 0;
        double least = 1e9;
        for (int lag = -2000; lag <= 2000; ++lag) {
            double sum = 0;
            int n = 0;
            for (size_t k = 0; k < 4000; ++k) {
                const int64_t j = int64_t(at + k) + lag;
                if (j < 0 || size_t(j) * 2 >= out.size()) continue;
                const double d = double(sweep[from + k]) - out[size_t(j) * 2];
                sum += d * d;
                n += 1;
            }
            if (n > 2000 && sum / n < least) least = sum / n, best = lag;
        }
        return best;
    };
    EXPECT_EQ(shift(0, 0), 0);
    EXPECT_EQ(shift(sweep.size(), 0), 0);  // after the wrap
    EXPECT_EQ(shift(sweep.size() + 8000, 8000), 0);
}

// The largest difference, over `n` frames of both channels, between what
// was heard from frame `at` and the straight decode from frame `from`; 1
// where either runs out.
float Difference(const std::vector<float>& heard, int64_t at, const std::vector<float>& ref, int64_t from,
                 int64_t n) {
    if (at < 0 || from < 0 || size_t(at + n) * 2 > heard.size() || size_t(from + n) * 2 > ref.size())
        return 1.0f;
    float most = 0;
    for (int64_t k = 0; k < 2 * n; ++k)
        most = std::max(most, std::fabs(heard[size_t(2 * at + k)] - ref[size_t(2 * from + k)]));
    return most;
}

// A music setup (version 2, no events) that plays `track` as a music file
// from its start, looping at its end, at full volume and speed.
bool WriteMusicFileSetup(const std::string& path, const std::string& track) {
    zStream setup;
    setup.WriteByte(2);
    setup.WriteString(track);
    setup.WriteByte(3);
    for (int32_t v : {0, 0, 0, 0}) setup.WriteLong(v);
    setup.WriteSingle(1.0f);
    setup.WriteSingle(1.0f);
    setup.WriteLong(0);
    return setup.FileExport(path, false);
}

// A file of the test corpus, copied where the music folder is.
void CopySeed(const std::string& name, const std::string& hostPath) {
    test::WriteHostFile(hostPath,
                        test::ReadHostFile(std::string(ZUN_FUZZ_CORPUS) + "/fuzz_music_stream/" + name));
}

// Every format the device layer plays starts on its first sample and wraps to
// it, and starts or wraps at a point inside the file on that point's sample:
// from there on, what is heard is what the libraries' straight decode of the
// file holds, to the bit; an M4A's AAC draws random noise for the bands it
// substitutes, so after a seek into it those stay within 0.02. A short loop
// kept in memory keeps that turn, and a setup restarted where it stopped goes
// through the same seek.
TEST_F(MusicFiles, EveryFormatStartsAndWrapsOnTheSampleWhereverItStarts) {
    for (const auto& f : test::AllMusicFormats()) {
        SCOPED_TRACE(f.Extension);
        const int rate = test::RateFor(f, 44100);
        AudioDevice::UseOffline(rate);
        const std::string name = std::string("glide.") + f.Extension;
        ASSERT_EQ(test::EncodeSignal(dir.HostPath(name), f, rate, 2 * rate,
                                     [rate](int64_t i, int c) { return test::Glide(i, c, rate); }),
                  "");
        std::vector<float> ref;
        int refRate = 0;
        ASSERT_EQ(test::DecodeStraight(dir.HostPath(name), ref, refRate), "");
        ASSERT_EQ(refRate, rate);
        const float noise = std::string(f.Container) == "ipod" ? 0.02f : 0.0f;

        // The whole file, from its start and round again. Its end is the end
        // of the decoded data or the header's length, which may leave the
        // encoder's padding out.
        ASSERT_TRUE(PlayMusicFile(name, true, 1.0f, 1.0f, 0, 0, 0));
        const int64_t length =
            std::min<int64_t>(int64_t(ref.size() / 2), std::llround(zDShow.LoopEnd * rate));
        auto heard = test::RenderMixer(length + rate / 4);
        EXPECT_EQ(Difference(heard, 0, ref, 0, length), 0.0f);
        EXPECT_EQ(Difference(heard, length, ref, 0, rate / 4), 0.0f);

        // A loop from 0.7 s to 1.7 s, started at its start, and round again.
        const int64_t from = int64_t(rate) * 7 / 10;
        ASSERT_TRUE(PlayMusicFile(name, true, 1.0f, 1.0f, 700, 1700, 700));
        heard = test::RenderMixer(rate + rate / 4);
        EXPECT_LE(Difference(heard, 0, ref, from, rate), noise);
        EXPECT_LE(Difference(heard, rate, ref, from, rate / 4), noise);
        // A loop of 80 ms goes round from memory: every turn is the first.
        const int64_t turn = int64_t(rate) * 8 / 100;
        ASSERT_TRUE(PlayMusicFile(name, true, 1.0f, 1.0f, 700, 780, 700));
        heard = test::RenderMixer(3 * turn);
        for (int64_t k = 0; k < 3; ++k) EXPECT_LE(Difference(heard, k * turn, ref, from, turn), noise) << k;
        DShow_Release();

        if (std::string(f.Extension) != "mp3") continue;
        // A setup of the file, stopped after 40 frames and restarted.
        ASSERT_TRUE(WriteMusicFileSetup(dir.Path("glide.zms"), name));
        const int32_t index = StartMusicSetup("glide.zms", true, false);
        ASSERT_GE(index, 1);
        for (int i = 0; i < 40; ++i) {
            test::RenderSeconds(0.015);
            MusicCheckLoop();
            UpdateMusicSetup();
        }
        StopMusicSetup(index);
        const int32_t stopped = zMusicSetup.Setups[size_t(index)].Position;
        EXPECT_GT(stopped, 500);
        ASSERT_EQ(StartMusicSetup("glide.zms", true, true), index);
        heard = test::RenderMixer(rate / 2);
        EXPECT_EQ(Difference(heard, 0, ref, int64_t(stopped) * rate / 1000, rate / 2), 0.0f);
        StopMusicSetup(index);
        zMusicSetup = zMusicSetupState{};
    }
}

// What is heard of the mixer in frames of `frames` audio frames, each
// followed by the game's loop check, until `total` frames are heard.
std::vector<float> HeardInFrames(int64_t total, int64_t frames) {
    std::vector<float> heard;
    while (int64_t(heard.size() / 2) < total) {
        const auto out = test::RenderMixer(frames);
        heard.insert(heard.end(), out.begin(), out.end());
        MusicCheckLoop();
    }
    return heard;
}

// A FLAC of `frames` frames of the glide at `rate`, and in `ref` what the
// libraries' straight decode of it holds; empty on success.
std::string GlideFlac(const std::string& hostPath, int rate, int64_t frames, std::vector<float>& ref) {
    const test::MediaFormat flac{"flac", "flac", "flac"};
    std::string error =
        test::EncodeSignal(hostPath, flac, rate, frames, [rate](int64_t i, int c) { return test::Glide(i, c, rate); });
    int decoded = 0;
    if (error.empty()) error = test::DecodeStraight(hostPath, ref, decoded);
    return error.empty() && decoded != rate ? "decoded at another rate" : error;
}

// A loop end typed past the end of the data, by a rounded length, is the end
// of the piece: an 8 s FLAC looping from 1 s to 8.001 s or 8.5 s turns at
// 8 s to 1 s on the sample, with no quiet stretch, and it is told once.
TEST_F(MusicFiles, ALoopEndPastTheDataTurnsAtTheEndOfTheData) {
    constexpr int kRate = 8000;
    std::vector<float> ref;
    ASSERT_EQ(GlideFlac(dir.HostPath("eight.flac"), kRate, 8 * kRate, ref), "");
    ASSERT_EQ(ref.size(), size_t(16 * kRate));
    for (int32_t end : {8001, 8500}) {
        SCOPED_TRACE(end);
        test::LogCapture log;
        ASSERT_TRUE(PlayMusicFile("eight.flac", true, 1.0f, 1.0f, 1000, end, 0));
        const auto heard = HeardInFrames(int64_t(kRate) * 96 / 10, kRate * 15 / 1000);
        EXPECT_EQ(Difference(heard, 0, ref, 0, 8 * kRate), 0.0f);
        EXPECT_EQ(Difference(heard, 8 * kRate, ref, kRate, kRate * 16 / 10), 0.0f);
        EXPECT_EQ(log.Lines(), std::vector<std::string>{"WARN\tPlayMusicFile\teight.flac\tThe loop ends at " +
                                                        std::to_string(end) +
                                                        " ms, past the end of the music at 8000 ms: it ends there"});
        DShow_Release();
    }
}

// The stream turns a loop on its sample, and the frame's check leaves it
// to it: 50 turns of a 250 ms loop, checked every 15 ms, are each the loop
// to the sample.
TEST_F(MusicFiles, EveryTurnOfALoopCheckedEveryFrameIsTheWholeLoop) {
    constexpr int kRate = 44100;
    AudioDevice::UseOffline(kRate);
    std::vector<float> ref;
    ASSERT_EQ(GlideFlac(dir.HostPath("turns.flac"), kRate, 2 * kRate, ref), "");
    ASSERT_TRUE(PlayMusicFile("turns.flac", true, 1.0f, 1.0f, 500, 750, 500));
    const int64_t turn = kRate / 4, from = kRate / 2;
    const auto heard = HeardInFrames(50 * turn, kRate * 15 / 1000);
    int64_t firstShort = -1;
    for (int64_t k = 0; k < 50 && firstShort < 0; ++k)
        if (Difference(heard, k * turn, ref, from, turn) != 0.0f) firstShort = k;
    EXPECT_EQ(firstShort, -1);
}

// Ogg files whose length the header belies: two links one after the other, a
// second half stamped 10 s back, 0.3 s whose last stamp is 1. Each plays what
// the libraries' straight decode of it holds, every turn; a loop across the
// chained file's links starts and wraps on its sample.
TEST_F(MusicFiles, OggFilesWhoseStampsMisleadPlayWhatTheyHoldEveryTurn) {
    for (const char* name : {"finding-ogg-chained-two-10s-links.ogg",
                             "finding-ogg-second-half-stamped-back.ogg", "finding-ogg-last-stamp-1.ogg"}) {
        SCOPED_TRACE(name);
        CopySeed(name, dir.HostPath(name));
        std::vector<float> ref;
        int rate = 0;
        ASSERT_EQ(test::DecodeStraight(dir.HostPath(name), ref, rate), "");
        AudioDevice::UseOffline(rate);
        ASSERT_TRUE(PlayMusicFile(name, true, 1.0f, 1.0f, 0, 0, 0));
        const int64_t n = int64_t(ref.size() / 2);
        const auto heard = test::RenderMixer(2 * n + rate / 10);
        EXPECT_EQ(Difference(heard, 0, ref, 0, n), 0.0f);
        EXPECT_EQ(Difference(heard, n, ref, 0, n), 0.0f);
        if (std::string(name).find("chained") != std::string::npos) {
            ASSERT_TRUE(PlayMusicFile(name, true, 1.0f, 1.0f, 9000, 15000, 9000));
            const auto turn = test::RenderMixer(6 * rate + rate / 4);
            EXPECT_EQ(Difference(turn, 0, ref, 9 * rate, 6 * rate), 0.0f);
            EXPECT_EQ(Difference(turn, 6 * rate, ref, 9 * rate, rate / 4), 0.0f);
        }
        DShow_Release();
    }
}

// 32 KiB of random bytes in the middle of a 20 s file: an M4A plays on past
// them and loops, and a FLAC plays on without a sample at full scale; never a
// second of silence.
TEST_F(MusicFiles, DamagedFilesPlayOnPastTheDamageAndLoop) {
    for (const char* name : {"finding-m4a-damaged-middle.m4a", "finding-flac-damaged-middle.flac"}) {
        SCOPED_TRACE(name);
        CopySeed(name, dir.HostPath(name));
        AudioDevice::UseOffline(44100);
        test::LogCapture log;
        ASSERT_TRUE(PlayMusicFile(name, true, 1.0f, 1.0f, 0, 0, 0));
        const auto heard = test::RenderMixer(int64_t(44100) * 45);
        int64_t quiet = 0, longest = 0;
        float peak = 0;
        for (size_t i = 0; i < heard.size(); i += 2) {
            const float loudest = std::max(std::fabs(heard[i]), std::fabs(heard[i + 1]));
            peak = std::max(peak, loudest);
            quiet = loudest < 0.01f ? quiet + 1 : 0;
            longest = std::max(longest, quiet);
        }
        EXPECT_LT(longest, 44100);
        EXPECT_LT(peak, 0.99f);
        // Round twice at least: the piece's start is heard again.
        Frames(1);
        EXPECT_TRUE(zDShow.MediaControl->IsRunning());
        EXPECT_LT(GetMusicPosition(), 10000);
        EXPECT_FALSE(log.Contains("ERR")) << log.Lines()[0];
        DShow_Release();
    }
}

// The frame's thread never waits for the decoding libraries, whatever a music
// file's name and place (a setup's track in a sub-folder, a file found from
// the folder the program started in, an MP3 named ".mp2"): they are opened on
// the file's decode thread, which the test holds there until the call that
// played the file has come back. Nor does the frame's thread count a file's
// length: a file is counted once as it stands on disk, again once changed.
TEST_F(MusicFiles, TheFrameThreadNeverWaitsForTheDecoderNorCountsALength) {
    AudioDevice::UseHardware();
    if (!AudioDevice::Acquire()) GTEST_SKIP() << "no audio driver: " << AudioDevice::LastError();
    AudioDevice::Release();
    const test::MediaFormat mp3{"mp3", "mp3", "libmp3lame"}, ogg{"ogg", "ogg", "libvorbis"};
    std::filesystem::create_directories(dir.HostPath("sub"));
    ASSERT_EQ(test::EncodeSine(dir.HostPath("sub/song.mp3"), mp3, 22050, 1.0), "");
    ASSERT_EQ(test::EncodeSine(dir.HostPath("tune.mp2"), mp3, 22050, 1.0), "");
    test::TempDir startFolder;
    ASSERT_EQ(test::EncodeSine(startFolder.HostPath("started.ogg"), ogg, 22050, 1.0), "");
    ASSERT_TRUE(WriteMusicFileSetup(dir.Path("sub.zms"), "sub/song.mp3"));

    struct Seen {
        std::mutex m;
        std::condition_variable returned;
        bool frameBack = false, held = true;
        std::vector<std::thread::id> libraries;
        std::vector<std::pair<std::thread::id, std::string>> counted;
    };
    auto seen = std::make_shared<Seen>();
    const std::thread::id frameThread = std::this_thread::get_id();
    gMediaDecodeWatch.Libraries = [seen, frameThread] {
        std::unique_lock<std::mutex> lk(seen->m);
        seen->libraries.push_back(std::this_thread::get_id());
        if (std::this_thread::get_id() != frameThread)
            seen->held = seen->returned.wait_for(lk, std::chrono::seconds(60),
                                                           [&] { return seen->frameBack; }) &&
                         seen->held;
    };
    gMediaDecodeWatch.LengthCounted = [seen](const std::string& path) {
        std::lock_guard<std::mutex> lk(seen->m);
        seen->counted.emplace_back(std::this_thread::get_id(), path);
    };
    struct Unwatch {
        ~Unwatch() {
            DShow_Release();
            gMediaDecodeWatch = MediaDecodeWatch{};
            zMusicSetup = zMusicSetupState{};
        }
    } unwatch;
    // Plays through `play` on the frame's thread, lets the decode thread go
    // once it has come back, and runs frames until the file is heard playing.
    auto playOn = [&](const std::function<bool()>& play) {
        {
            std::lock_guard<std::mutex> lk(seen->m);
            seen->frameBack = false;
        }
        const bool played = play();
        {
            std::lock_guard<std::mutex> lk(seen->m);
            seen->frameBack = true;
        }
        seen->returned.notify_all();
        ASSERT_TRUE(played);
        for (int i = 0; i < 60000 && (!zDShow.MediaControl || GetMusicPosition() < 100); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            MusicCheckLoop();
        }
        ASSERT_TRUE(zDShow.MediaControl);
        EXPECT_GE(GetMusicPosition(), 100);
    };
    auto counts = [&] {
        std::lock_guard<std::mutex> lk(seen->m);
        return seen->counted.size();
    };

    playOn([] { return StartMusicSetup("sub.zms", true, false) > 0; });
    playOn([] { return PlayMusicFile("tune.mp2", true, 1.0f, 1.0f, 0, 0, 0); });
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(startFolder.Host());
    playOn([] { return PlayMusicFile("started.ogg", true, 1.0f, 1.0f, 0, 0, 0); });
    EXPECT_EQ(counts(), 1u);
    playOn([] { return PlayMusicFile("started.ogg", true, 1.0f, 1.0f, 0, 0, 0); });
    EXPECT_EQ(counts(), 1u);  // as it stood
    DShow_Release();
    const auto changed = std::filesystem::last_write_time(startFolder.HostPath("started.ogg"));
    std::filesystem::last_write_time(startFolder.HostPath("started.ogg"), changed + std::chrono::seconds(1));
    playOn([] { return PlayMusicFile("started.ogg", true, 1.0f, 1.0f, 0, 0, 0); });
    EXPECT_EQ(counts(), 2u);
    std::filesystem::current_path(before);

    std::lock_guard<std::mutex> lk(seen->m);
    EXPECT_TRUE(seen->held);
    EXPECT_GE(seen->libraries.size(), 3u);
    for (const auto& id : seen->libraries) EXPECT_NE(id, frameThread);
    for (const auto& [id, path] : seen->counted) EXPECT_NE(id, frameThread) << path;
}

// A header's length is not taken on trust: a FLAC that claims a day with a
// third of a second of data stops after that third, and an Ogg whose time
// stamps run backwards plays what it holds; both with a warning.
TEST_F(MusicFiles, AFileHoldingLessThanItsHeaderSaysPlaysWhatItHolds) {
    std::vector<uint8_t> flac = ToneFile(dir.HostPath("lying.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0.3);
    ASSERT_GT(flac.size(), 42u);
    // STREAMINFO's 36-bit sample count: 86,000 s at 8 kHz.
    const uint64_t claimed = uint64_t(86000) * 8000;
    flac[8 + 13] = uint8_t((flac[8 + 13] & 0xF0) | ((claimed >> 32) & 0x0F));
    for (int k = 0; k < 4; ++k) flac[8 + 14 + size_t(k)] = uint8_t(claimed >> (24 - 8 * k));
    test::WriteHostFile(dir.HostPath("lying.flac"), flac);

    std::vector<uint8_t> ogg = ToneFile(dir.HostPath("backwards.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 20.0);
    const auto pages = OggPages(ogg);
    ASSERT_GE(pages.size(), 5u);
    for (size_t p = 3; p < pages.size(); ++p) SetGranule(ogg, pages[p], int64_t(pages.size() - p) * 100);
    test::WriteHostFile(dir.HostPath("backwards.ogg"), ogg);

    struct Case {
        const char* Name;
        double Seconds;
    };
    for (const Case c : {Case{"lying.flac", 0.3}, Case{"backwards.ogg", 20.0}}) {
        SCOPED_TRACE(c.Name);
        test::LogCapture log;
        ASSERT_TRUE(PlayMusicFile(c.Name, false, 1.0f, 1.0f, 0, 0, 0)) << (log.Lines().empty() ? "" : log.Lines()[0]);
        EXPECT_TRUE(log.Contains(std::string("WARN\tLoadMusic\t") + c.Name)) << (log.Lines().empty() ? "" : log.Lines()[0]);
        EXPECT_NEAR(zDShow.LoopEnd, c.Seconds, 0.05);
        // The tone is heard to the end of what the file holds.
        const auto out = test::RenderMixer(int64_t(8000 * (c.Seconds + 1)));
        int64_t heard = 0;
        for (size_t i = 0; i < out.size(); i += 2)
            if (std::fabs(out[i]) > 0.1f) heard = int64_t(i / 2);
        EXPECT_NEAR(double(heard) / 8000, c.Seconds, 0.05);
        Frames(1);  // past the end: rewound
        EXPECT_EQ(GetMusicPosition(), 0);
        DShow_Release();
    }
}

// A file whose header promises stereo but whose audio decodes as mono (an MP3
// opening with damaged stereo frames the decoder skips): what the stream tells
// the mixer is what its blocks hold, so the mix reads no sample past a block.
TEST_F(MusicFiles, TheFormatOfTheFirstDecodedFrameIsTheFormatOfEveryBlock) {
    auto frame = [](bool mono, bool damaged) {
        std::vector<uint8_t> f(417, 0);
        f[0] = 0xFF, f[1] = 0xFB, f[2] = 0x90, f[3] = mono ? 0xC0 : 0x00;  // layer III, 128 kbit/s, 44.1 kHz
        // big_values of the first granule set to 511, past the 288 a frame can hold.
        const int from = 4 * 8 + (mono ? 30 : 32);
        if (damaged)
            for (int b = from; b < from + 9; ++b) f[size_t(b / 8)] |= uint8_t(0x80 >> (b % 8));
        return f;
    };
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 200; ++i) {
        const auto f = frame(false, true);
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    for (int i = 0; i < 2000; ++i) {
        const auto f = frame(true, false);
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    const std::string path = dir.HostPath("switch.mp3");
    test::WriteHostFile(path, bytes);

    MediaReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    const int32_t channels = reader.Format().StoredChannels;
    std::vector<float> block;
    const int64_t got = reader.Read(block, 4096, error);
    ASSERT_GT(got, 0) << error;
    EXPECT_EQ(reader.Format().StoredChannels, channels);
    EXPECT_EQ(int64_t(block.size()), got * channels);
}

// A MIDI file as a music file, and a music setup that names one, play
// through the synthesizer with the music-file units: milliseconds at the file's
// tempo map, rate scaling music time, loop points to the tick.
TEST_F(MusicFiles, MidiFilesPlayThroughTheSynthesizer) {
    std::shared_ptr<std::vector<test::MidiMessage>> sent;
    zDMusic.CreateSynth = [&](int32_t, std::string&) {
        auto s = std::make_unique<test::RecordingSynth>();
        sent = s->Log;
        return s;
    };
    struct Restore {
        ~Restore() { zDMusic.CreateSynth = nullptr; }
    } restore;
    // 96 ticks a quarter; the first two quarters at 120 bpm (1 s), then 60 bpm:
    // a note at every quarter, eight quarters in all (1 s + 6 s).
    test::MidiTrack t;
    t.Tempo(0, 500000).Event(0, {0xC0, 5});
    for (int q = 0; q < 8; ++q) {
        if (q == 2) t.Tempo(0, 1000000);
        t.Event(0, {0x90, uint8_t(60 + q), 100}).Event(96, {0x80, uint8_t(60 + q), 0});
    }
    t.End();
    test::WriteHostFile(dir.HostPath("song.mid"), test::MakeMidi(0, 96, {t}));
    auto noteOn = [&](int key) {
        return std::count(sent->begin(), sent->end(), test::MidiMessage{0x90, uint8_t(key), 100});
    };

    ASSERT_TRUE(PlayMusicFile("song.mid", false, 0.5f, 1.0f, 0, 0, 500));
    ASSERT_TRUE(std::dynamic_pointer_cast<MidiStream>(zDShow.MediaControl));
    EXPECT_NEAR(zDShow.LoopEnd, 7.0, 1e-9);
    EXPECT_EQ(zDShow.MediaControl->GetVolume(), -5000);
    Frames(40);  // 0.6 s
    EXPECT_NEAR(GetMusicPosition(), 1100, 16);
    EXPECT_EQ(noteOn(60), 0);  // started past it
    EXPECT_EQ(noteOn(62), 1);  // at 1 s
    SetupMusic(-1.0f, 2.0f);   // 60 bpm played at twice the rate
    Frames(100);               // 1.5 s: 3 s of music
    EXPECT_NEAR(GetMusicPosition(), 4100, 40);
    EXPECT_EQ(noteOn(65), 1);  // at 4 s
    Frames(120);               // past the end: rewound and silent
    EXPECT_EQ(GetMusicPosition(), 0);
    EXPECT_FALSE(zDShow.MediaControl->IsRunning());

    // Looping from 1 s to 3 s holds the music between them.
    ASSERT_TRUE(PlayMusicFile("song.mid", true, 1.0f, 1.0f, 1000, 3000, 0));
    for (int i = 0; i < 400; ++i) {  // 6 s
        Frames(1);
        EXPECT_LE(GetMusicPosition(), 3000);
    }
    EXPECT_GE(GetMusicPosition(), 1000);
    EXPECT_GE(noteOn(62), 2);
    EXPECT_EQ(noteOn(64), 0);  // at 5 s, beyond the loop
    DShow_Release();

    // A music setup whose track is this file plays it as a music file.
    ASSERT_TRUE(WriteMusicFileSetup(dir.Path("song.zms"), "song.mid"));
    const int32_t index = StartMusicSetup("song.zms", true, false);
    ASSERT_EQ(index, 1);
    Frames(70);
    EXPECT_GE(noteOn(61), 1);
    EXPECT_TRUE(std::dynamic_pointer_cast<MidiStream>(zDShow.MediaControl));
    StopMusicSetup(index);
    zMusicSetup = zMusicSetupState{};
}

}  // namespace
}  // namespace zun
