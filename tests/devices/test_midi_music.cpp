// MIDI music through the mixer with a recording synthesizer, and once with the
// real sound font when the machine has it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include "devices/zDMusic.h"
#include "platform/MidiFile.h"
#include "test_sound_fixtures.h"

namespace zun {
namespace {

using test::MidiTrack;

std::vector<uint8_t> Song(int program, int quarters) {
    MidiTrack t;
    t.Event(0, {0xC0, uint8_t(program)});
    for (int i = 0; i < quarters; ++i) t.Event(0, {0x90, 60, 100}).Event(96, {0x80, 60, 0});
    t.End();
    return test::MakeMidi(0, 96, {t});
}

class Midi : public ::testing::Test {
protected:
    test::TempDir dir;
    std::shared_ptr<std::vector<test::MidiMessage>> sent;
    void SetUp() override {
        AudioDevice::UseOffline(48000);
        zDMusic.CreateSynth = [this](int32_t, std::string&) {
            auto s = std::make_unique<test::RecordingSynth>();
            sent = s->Log;
            return s;
        };
        test::WriteHostFile(dir.HostPath("a.mid"), Song(1, 4));
        test::WriteHostFile(dir.HostPath("b.mid"), Song(2, 8));
        test::WriteHostFile(dir.HostPath("bad.mid"), {'M', 'T', 'h', 'd', 0, 0});
        ASSERT_TRUE(DMusic_Initialize(0));
        zDMusic.MusicPath = dir.Path();
    }
    void TearDown() override {
        DMusic_Release();
        zDMusic.CreateSynth = nullptr;
        AudioDevice::UseHardware();
    }
    int32_t Attenuation() { return zDMusic.Performance->Attenuation(); }
    double Tempo() { return zDMusic.Performance->Sequencer().TempoFactor(); }
    bool Sent(test::MidiMessage m) { return std::find(sent->begin(), sent->end(), m) != sent->end(); }
};

TEST_F(Midi, SetupSetsMasterVolumeAndClampsTheTempo) {
    SetupMidi(0.5f, 100.0f);
    EXPECT_EQ(Attenuation(), -5000);
    EXPECT_EQ(Tempo(), 64.0);
    zDMusic.Volume = 0.5f;
    SetupMidi(0.5f, 0.0f);
    EXPECT_EQ(Attenuation(), -7500);
    EXPECT_EQ(Tempo(), 0.01);  // never a standstill
    SetupMidi(-1.0f, -1.0f);
    EXPECT_EQ(Attenuation(), -7500);
    EXPECT_EQ(Tempo(), 0.01);
}

TEST_F(Midi, PlaysLoopsAndReportsMusicTime) {
    ASSERT_TRUE(PlayMidiFile("a.mid", true, 1.0f, 1.0f, 0, 0, 0));
    test::RenderSeconds(1.0);
    EXPECT_TRUE(Sent({0xC0, 1, 0}));
    EXPECT_NEAR(GetMidiPosition(), 1536, 8);
    test::RenderSeconds(1.5);  // past the end of the 4 quarters: looped
    EXPECT_NEAR(GetMidiPosition(), 768, 8);
    test::RenderSeconds(10.0);
    EXPECT_GT(GetMidiPosition(), 0);

    MidiStop();
    EXPECT_EQ(GetMidiPosition(), 0);
    EXPECT_TRUE(Sent({0xB0, 120, 0}));
}

TEST_F(Midi, StartPointResumesAndASecondFileStopsTheFirst) {
    ASSERT_TRUE(PlayMidiFile("a.mid", false, 1.0f, 1.0f, 0, 0, 0));
    test::RenderSeconds(0.6);
    const int32_t pos = GetMidiPosition();
    sent->clear();
    ASSERT_TRUE(PlayMidiFile("a.mid", false, 1.0f, 1.0f, 0, 0, pos));
    EXPECT_TRUE(Sent({0xC0, 1, 0}));  // chased from before the start point
    EXPECT_EQ(GetMidiPosition(), pos);

    sent->clear();
    ASSERT_TRUE(PlayMidiFile("b.mid", false, 1.0f, 1.0f, 0, 0, 0));
    EXPECT_TRUE(Sent({0xB0, 120, 0}));  // the first one was cut
    test::RenderSeconds(3.0);
    EXPECT_TRUE(Sent({0xC0, 2, 0}));
    EXPECT_GT(GetMidiPosition(), 0);
    test::RenderSeconds(2.0);  // eight quarters: 4 s, then it ends
    EXPECT_EQ(GetMidiPosition(), 0);
}

TEST_F(Midi, MissingAndBrokenFiles) {
    test::LogCapture log;
    EXPECT_FALSE(PlayMidiFile("none.mid", true, 1.0f, 1.0f, 0, 0, 0));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_FALSE(LoadMidi("bad.mid"));
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].rfind("ERR\tLoadMidi\tbad.mid", 0), 0u);
    EXPECT_EQ(GetMidiPosition(), 0);
}

TEST(MidiOff, NoSoundFontOrNoDeviceDisablesMidi) {
    AudioDevice::UseOffline(48000);
    zDMusic.SoundFont = "/nonexistent/none.sf2";
    EXPECT_FALSE(DMusic_Initialize(0));
    EXPECT_FALSE(zDMusic.Enabled);
    EXPECT_FALSE(AudioDevice::IsOpen());  // what was taken is given back
    zDMusic.SoundFont.clear();

    AudioDevice::UseOffline(0);
    EXPECT_FALSE(DMusic_Initialize(0));
    EXPECT_FALSE(PlayMidiFile("a.mid", true, 1.0f, 1.0f, 0, 0, 0));
    EXPECT_FALSE(LoadMidi("a.mid"));
    SetupMidi(0.5f, 1.0f);
    MidiStop();
    EXPECT_EQ(GetMidiPosition(), 0);
    DMusic_Release();
    AudioDevice::UseHardware();
}

TEST(MidiSoundFont, TheEnvironmentNamesTheFontElseTheSystemFoldersDo) {
    ::setenv("ZUN_SOUNDFONT", "/nonexistent/custom.sf2", 1);
    EXPECT_EQ(FindSoundFont(), "/nonexistent/custom.sf2");
    AudioDevice::UseOffline(48000);
    EXPECT_FALSE(DMusic_Initialize(0));  // the named font wins, even when missing
    ::unsetenv("ZUN_SOUNDFONT");
    AudioDevice::UseHardware();
    const std::string found = FindSoundFont();
    struct stat st;
    if (::stat("/usr/share/sounds/sf2/default-GM.sf2", &st) == 0) {
        EXPECT_EQ(found, "/usr/share/sounds/sf2/default-GM.sf2");
    } else if (!found.empty()) {
        EXPECT_EQ(found.substr(found.size() - 4), ".sf2");
    }
}

TEST(MidiSoundFont, TheSynthesizerSoundsANote) {
    struct stat st;
    const std::string font = FindSoundFont();
    if (::stat(font.c_str(), &st) != 0) GTEST_SKIP() << "no sound font on this machine";
    std::string err;
    auto synth = CreateFluidSynth(font, 48000, err);
    ASSERT_TRUE(synth) << err;
    MidiPlayer player(std::move(synth));
    std::vector<float> out(4800 * 2, 0.0f);
    player.RenderAdd(out.data(), 4800, 48000);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float s) { return std::fabs(s) < 1e-6f; }));
    player.Synth().Send(0x90, 60, 120);
    player.RenderAdd(out.data(), 4800, 48000);
    float peak = 0;
    for (float s : out) peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.01f);
    player.SetAttenuation(-10000);
    std::fill(out.begin(), out.end(), 0.0f);
    player.RenderAdd(out.data(), 4800, 48000);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float s) { return s == 0.0f; }));
}

// The MIDI music and each MIDI music file play with one copy of the sound
// font: a second synthesizer costs no second copy, plays on after the first
// is gone, and the last one gone frees the font.
TEST(MidiSoundFont, SynthesizersShareOneCopyOfTheFont) {
    struct stat st;
    const std::string font = FindSoundFont();
    if (::stat(font.c_str(), &st) != 0) GTEST_SKIP() << "no sound font on this machine";
    auto resident = [] {
        std::ifstream statm("/proc/self/statm");
        int64_t size = 0, pages = 0;
        statm >> size >> pages;
        return pages * int64_t(sysconf(_SC_PAGESIZE));
    };
    std::string err;
    auto first = CreateFluidSynth(font, 48000, err);
    ASSERT_TRUE(first) << err;
    const int64_t before = resident();
    auto second = CreateFluidSynth(font, 48000, err);
    ASSERT_TRUE(second) << err;
    // Less than a copy of the font: the synthesizer's own buffers cost more in
    // a sanitizer build, a second copy of the font more than its file.
    EXPECT_LT(resident() - before, int64_t(st.st_size));
    EXPECT_EQ(LoadedSoundFonts(), 1);
    first.reset();
    {
        MidiPlayer player(std::move(second));
        player.Synth().Send(0x90, 60, 120);
        std::vector<float> out(4800 * 2, 0.0f);
        player.RenderAdd(out.data(), 4800, 48000);
        float peak = 0;
        for (float s : out) peak = std::max(peak, std::fabs(s));
        EXPECT_GT(peak, 0.01f);
    }
    EXPECT_EQ(LoadedSoundFonts(), 0);
}

// Debian's large General MIDI font (fluid-soundfont-gm): 148 MB, the
// system's default font once installed.
constexpr const char* kLargeFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

// Of a large sound font, only the instruments a piece plays are read, all of
// them before it plays, and what is heard is what the whole font in memory
// gives: a piece with a channel that plays before it chooses a program, a
// bank select, drums and a program change midway, looped so that every jump
// back chooses its programs again. The library plays the last points of a
// sample it holds alone a hair differently, some 90 dB below it.
TEST(MidiSoundFont, OfALargeFontOnlyThePiecesInstrumentsAreReadAndSoundAsTheWholeFont) {
    struct stat st;
    if (::stat(kLargeFont, &st) != 0) GTEST_SKIP() << "the large sound font is not installed: " << kLargeFont;
    MidiTrack t;
    t.Event(0, {0x92, 48, 90});                               // before its program: the first instrument
    t.Event(0, {0xC0, 73}).Event(0, {0xB1, 0, 8}).Event(0, {0xC1, 24});  // flute; a guitar of bank 8
    for (int q = 0; q < 8; ++q) {
        if (q == 4) t.Event(0, {0xC0, 48}).Event(0, {0xC2, 32});  // strings; a bass
        t.Event(0, {0x90, uint8_t(67 + q), 100}).Event(0, {0x91, uint8_t(55 + q), 90});
        t.Event(0, {0x99, uint8_t(q % 2 ? 38 : 36), 110}).Event(0, {0x92, uint8_t(36 + q), 90});
        t.Event(96, {0x80, uint8_t(67 + q), 0}).Event(0, {0x81, uint8_t(55 + q), 0});
        t.Event(0, {0x89, uint8_t(q % 2 ? 38 : 36), 0}).Event(0, {0x82, uint8_t(36 + q), 0});
    }
    t.End();
    const std::vector<uint8_t> bytes = test::MakeMidi(0, 96, {t});
    auto song = std::make_shared<MidiSong>();
    std::string err;
    ASSERT_TRUE(ParseMidiFile(bytes.data(), bytes.size(), *song, err)) << err;

    constexpr int32_t kRate = 22050, kFrames = 10 * kRate;  // two and a half turns
    struct Heard {
        std::vector<float> Samples;
        int64_t Read = 0, ReadPlaying = 0;
    };
    auto play = [&](SoundFontReading reading) {
        Heard h;
        const int64_t before = SoundFontBytesRead();
        auto synth = CreateFluidSynth(kLargeFont, kRate, err, reading);
        if (!synth) return h;
        synth->Prepare(*song);
        h.Read = SoundFontBytesRead() - before;
        MidiPlayer player(std::move(synth));
        player.Sequencer().Load(song);
        player.Sequencer().Play(0, true, 0, 0, player.Synth());
        h.Samples.assign(size_t(kFrames) * 2, 0.0f);
        for (int32_t at = 0; at < kFrames; at += 512)
            player.RenderAdd(&h.Samples[size_t(at) * 2], std::min(512, kFrames - at), kRate);
        h.ReadPlaying = SoundFontBytesRead() - before - h.Read;
        return h;
    };
    const Heard parts = play(SoundFontReading::BySize);
    ASSERT_FALSE(parts.Samples.empty()) << err;
    const Heard whole = play(SoundFontReading::Whole);
    ASSERT_FALSE(whole.Samples.empty()) << err;
    EXPECT_GE(whole.Read, int64_t(st.st_size) * 9 / 10);
    EXPECT_LT(parts.Read, int64_t(st.st_size) / 4);  // its tables, read again for each instrument
    EXPECT_EQ(parts.ReadPlaying, 0);  // everything was read before it played
    float loudest = 0, most = 0;
    for (size_t i = 0; i < whole.Samples.size(); ++i) {
        loudest = std::max(loudest, std::fabs(whole.Samples[i]));
        most = std::max(most, std::fabs(whole.Samples[i] - parts.Samples[i]));
    }
    EXPECT_GT(loudest, 0.1f);
    EXPECT_LT(most, 1e-4f);
}

}  // namespace
}  // namespace zun
