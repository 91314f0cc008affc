// Music setups: the stored form, events by track position, wrap, volume and
// speed, stop and restart, and event calls that start or stop setups.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "devices/zMusicSetup.h"
#include "test_sound_fixtures.h"

namespace zun {
namespace {

struct Ev {
    int32_t Position;
    std::string Call;
    std::string SoundFile;
};

zStream SetupStream(const std::string& file, uint8_t type, const std::vector<Ev>& events, float volume = 1.0f,
                    int32_t start = 0, int32_t loopStart = 0, int32_t loopEnd = 0) {
    zStream s;
    s.WriteByte(2);
    s.WriteString(file);
    s.WriteByte(type);
    s.WriteLong(start);
    s.WriteLong(loopStart);
    s.WriteLong(loopEnd);
    s.WriteLong(0);
    s.WriteSingle(volume);
    s.WriteSingle(1.0f);
    s.WriteLong(int32_t(events.size()));
    for (auto& e : events) {
        zValues v;
        v.SetLong("Position", e.Position);
        v.SetString("Call", e.Call);
        v.SetString("SoundFile", e.SoundFile);
        v.Export(s);
    }
    return s;
}

class MusicSetups : public ::testing::Test {
protected:
    test::TempDir dir;
    std::vector<std::string> calls;
    std::function<void(const std::string&)> onCall;

    void SetUp() override {
        AudioDevice::UseOffline(8000);
        // 8 kHz 8-bit mono: milliseconds and bytes are easy to tell apart.
        test::WriteHostFile(dir.HostPath("long.wav"), test::ConstantWav(1, 8000, 8, 8000 * 7, 0.5));
        test::WriteHostFile(dir.HostPath("loop.wav"), test::ConstantWav(1, 8000, 8, 8000, 0.5));
        test::WriteHostFile(dir.HostPath("song.mid"), test::MakeMidi(0, 96, {[] {
                                                             test::MidiTrack t;
                                                             t.Event(0, {0x90, 60, 100}).End(96 * 16);
                                                             return t;
                                                         }()}));
        ASSERT_TRUE(DSound_Initialize(0));
        zDMusic.CreateSynth = [](int32_t, std::string&) { return std::make_unique<test::RecordingSynth>(); };
        ASSERT_TRUE(DMusic_Initialize(0));
        zDSound.SoundPath = dir.Path();
        zDMusic.MusicPath = dir.Path();
        zMusicSetup = zMusicSetupState{};
        zMusicSetup.ScriptObject = [this](const std::string& f) {
            calls.push_back(f);
            if (onCall) onCall(f);
        };
    }
    void TearDown() override {
        zMusicSetup = zMusicSetupState{};
        DShow_Release();
        DMusic_Release();
        DSound_Release();
        zDMusic.CreateSynth = nullptr;
        AudioDevice::UseHardware();
    }
    void Write(const std::string& name, zStream s) { ASSERT_TRUE(s.FileExport(dir.Path(name), false)); }
    // One game frame: 15 ms of audio, then the per-frame update.
    void Frame() {
        test::RenderSeconds(0.015);
        UpdateMusicSetup();
    }
};

TEST_F(MusicSetups, EventsFireInOrderOnePerFrame) {
    Write("a.zms", SetupStream("long.wav", 1, {{0, "e0", ""}, {5000, "e1", ""}, {5000, "e2", ""}}));
    const int32_t i = StartMusicSetup("a.zms", false, false);
    ASSERT_EQ(i, 1);
    EXPECT_EQ(calls, std::vector<std::string>{"e0"});  // during the start's own update
    EXPECT_EQ(zMusicSetup.Setups[1].Name, "a.zms");
    while (GetWavePosition(zMusicSetup.Setups[1].Wave) < 4980) Frame();
    EXPECT_EQ(calls.size(), 1u);
    while (calls.size() < 2) Frame();
    EXPECT_GE(zMusicSetup.Setups[1].Position, 5000);
    Frame();
    EXPECT_EQ(calls, (std::vector<std::string>{"e0", "e1", "e2"}));
    for (int k = 0; k < 20; ++k) Frame();
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(MusicSetups, AWrapReArmsAtTheFirstEventAhead) {
    Write("l.zms", SetupStream("loop.wav", 1, {{100, "a", ""}, {500, "b", ""}}));
    StartMusicSetup("l.zms", true, false);
    for (int k = 0; k < 170; ++k) Frame();  // 2.55 s of a 1 s loop
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "a", "b", "a", "b"}));
}

TEST_F(MusicSetups, OldFilesWithoutVersionByteLoadWithoutEvents) {
    zStream s;
    s.WriteString("twelve_c.wav");  // 12 characters: the first byte is 12
    s.WriteByte(1);
    for (int k = 0; k < 4; ++k) s.WriteLong(k * 10);
    s.WriteSingle(0.5f);
    s.WriteSingle(1.5f);
    s.Cursor = 0;
    test::LogCapture log;
    MusicSetupRecord r = LoadMusicSetup(s);
    EXPECT_EQ(r.File, "twelve_c.wav");
    EXPECT_EQ(r.EndPosition, 30);
    EXPECT_EQ(r.Speed, 1.5f);
    EXPECT_EQ(r.EventCount, 0);
    EXPECT_EQ(r.VolumeFactor, 1.0f);
    EXPECT_TRUE(log.Contains("WARN\tMusicSetup Version 1\ttwelve_c.wav"));
}

TEST_F(MusicSetups, EventCountsTheDataCannotHoldAreRefused) {
    zStream s = SetupStream("x.wav", 1, {});
    std::vector<uint8_t> bytes = s.Bytes();
    const size_t at = bytes.size() - 4;  // the event count
    for (int32_t bad : {0x7FFFFFFF, -1, 1}) {
        for (int k = 0; k < 4; ++k) bytes[at + size_t(k)] = uint8_t(uint32_t(bad) >> (8 * k));
        zStream t(bytes);
        EXPECT_THROW(LoadMusicSetup(t), RuntimeError) << bad;
    }
    // A missing file starts nothing; a corrupt one neither, with its reason logged.
    EXPECT_EQ(StartMusicSetup("none.zms", false, false), 0);
    test::WriteHostFile(dir.HostPath("junk.zms"), {1, 2, 3});
    test::LogCapture log;
    EXPECT_EQ(StartMusicSetup("junk.zms", false, false), 0);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].rfind("ERR\tStartMusicSetup\t", 0), 0u) << log.Lines()[0];
    EXPECT_EQ(zMusicSetup.SetupCount, 0);
}

// Nothing plays without a word: a setup whose track is not there says which
// setup and which track, and a track asked for in place of its setup says it
// is no setup.
TEST_F(MusicSetups, AMissingTrackOrAFileThatIsNoSetupIsNamed) {
    Write("gone.zms", SetupStream("gone.mid", 2, {}));
    test::LogCapture log;
    EXPECT_EQ(StartMusicSetup("gone.zms", true, false), 1);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0], "ERR\tStartMusicSetup\tgone.zms\tTrack not found\tgone.mid");

    log.Clear();
    EXPECT_EQ(StartMusicSetup("song.mid", true, false), 0);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].rfind("ERR\tStartMusicSetup\tsong.mid\tNot a music setup", 0), 0u) << log.Lines()[0];

    // A wave track is looked for among the sounds.
    zDSound.SoundPath = dir.Path("sound\\");
    Write("w.zms", SetupStream("long.wav", 1, {}));
    log.Clear();
    StartMusicSetup("w.zms", false, false);
    EXPECT_TRUE(log.Contains("ERR\tStartMusicSetup\tw.zms\tTrack not found\tlong.wav"));
}

TEST_F(MusicSetups, StartsFindAndRestart) {
    Write("a.zms", SetupStream("long.wav", 1, {}));
    EXPECT_EQ(StartMusicSetup("a.zms", false, false), 1);
    EXPECT_EQ(StartMusicSetup("a.zms", false, false), 2);
    EXPECT_EQ(FindMusicSetup("a.zms"), 1);
    EXPECT_EQ(FindMusicSetup("A.ZMS"), 0);  // names compare exactly

    for (int k = 0; k < 40; ++k) Frame();
    StopMusicSetup(1);
    StopMusicSetup(2);
    StopMusicSetup(0);
    const int32_t paused = zMusicSetup.Setups[1].Position;
    EXPECT_GT(paused, 500);
    EXPECT_FALSE(zMusicSetup.Setups[1].Running);
    for (int k = 0; k < 10; ++k) Frame();
    EXPECT_EQ(zMusicSetup.Setups[1].Position, paused);  // stopped entries are not read

    EXPECT_EQ(StartMusicSetup("a.zms", false, true), 1);
    EXPECT_EQ(zMusicSetup.SetupCount, 2);
    EXPECT_TRUE(zMusicSetup.Setups[1].Running);
    EXPECT_NEAR(zMusicSetup.Setups[1].Position, paused, 1);
}

TEST_F(MusicSetups, VolumeFactorReachesMidiAtTheNextUpdate) {
    Write("m.zms", SetupStream("song.mid", 2, {}, 0.8f));
    const int32_t i = StartMusicSetup("m.zms", true, false);
    EXPECT_EQ(zDMusic.Performance->Attenuation(), -2000);
    zMusicSetup.Setups[size_t(i)].Setup.VolumeFactor = 0.5f;
    EXPECT_EQ(zDMusic.Performance->Attenuation(), -2000);
    Frame();
    EXPECT_EQ(zDMusic.Performance->Attenuation(), -6000);
    EXPECT_FLOAT_EQ(zMusicSetup.Setups[size_t(i)].CurrentVolume, 0.4f);
    Frame();
    EXPECT_GT(zMusicSetup.Setups[size_t(i)].Position, 0);
    StopMusicSetup(i);
    EXPECT_EQ(GetMidiPosition(), 0);
}

TEST_F(MusicSetups, MasterVolumeIsAppliedOnceForWaves) {
    zDSound.Volume = 0.5f;
    Write("a.zms", SetupStream("long.wav", 1, {}, 0.8f));
    const int32_t i = StartMusicSetup("a.zms", true, false);
    const int32_t w = zMusicSetup.Setups[size_t(i)].Wave;
    EXPECT_EQ(zDSound.Waves[size_t(w)]->GetVolume(), -6000);
    EXPECT_FLOAT_EQ(zMusicSetup.Setups[size_t(i)].Setup.Volume, 0.8f);
    ApplyMusicVolume();
    ApplyMusicVolume();
    Frame();
    EXPECT_EQ(zDSound.Waves[size_t(w)]->GetVolume(), -6000);
    StopMusicSetup(i);
    RestartMusicSetup(i);
    RestartMusicSetup(i);
    EXPECT_EQ(zDSound.Waves[size_t(w)]->GetVolume(), -6000);
    // A new master volume takes effect through ApplyMusicVolume.
    zDSound.Volume = 1.0f;
    ApplyMusicVolume();
    EXPECT_EQ(zDSound.Waves[size_t(w)]->GetVolume(), -2000);
}

TEST_F(MusicSetups, FadeAndSpeedSteps) {
    Write("a.zms", SetupStream("long.wav", 1, {}, 1.0f));
    const int32_t i = StartMusicSetup("a.zms", false, false);
    const int32_t w = zMusicSetup.Setups[size_t(i)].Wave;
    zMusicSetup.Setups[size_t(i)].FadeIn = 2000;
    Frame();
    // 15 ms into a 2 s fade-in: just above half volume.
    EXPECT_NEAR(zMusicSetup.Setups[size_t(i)].CurrentVolume, 0.50375f, 0.0005f);
    EXPECT_EQ(zDSound.Waves[size_t(w)]->GetVolume(), CLng((1.0 - zMusicSetup.Setups[size_t(i)].CurrentVolume) * -10000.0));

    zMusicSetup.Setups[size_t(i)].TargetSpeed = 2.0f;
    zMusicSetup.Setups[size_t(i)].SpeedStep = -0.25f;
    Frame();
    EXPECT_FLOAT_EQ(zMusicSetup.Setups[size_t(i)].CurrentSpeed, 1.25f);
    EXPECT_EQ(zDSound.Waves[size_t(w)]->GetFrequency(), 10000);
    zMusicSetup.Setups[size_t(i)].SpeedStep = 5.0f;
    Frame();
    EXPECT_FLOAT_EQ(zMusicSetup.Setups[size_t(i)].CurrentSpeed, 2.0f);  // never past the target
}

TEST_F(MusicSetups, EventCallsMayStartAndStopSetups) {
    Write("inner.zms", SetupStream("loop.wav", 1, {{0, "inner0", ""}}));
    Write("outer.zms", SetupStream("long.wav", 1, {{0, "start", ""}, {0, "again", ""}, {200, "stop", "loop.wav"}}));
    int32_t outer = 0;
    onCall = [&](const std::string& f) {
        if (f == "start" || f == "again") {
            // Grow the table well past its capacity while the update walks it.
            for (int k = 0; k < 8; ++k) StartMusicSetup("inner.zms", false, false);
        }
        if (f == "stop") StopMusicSetup(outer);
    };
    outer = StartMusicSetup("outer.zms", false, false);
    EXPECT_EQ(outer, 1);
    // The nested starts update the table too: the outer setup's second event,
    // due as well, fires inside the first one's call, once.
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "start"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "again"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "inner0"), 16);
    for (int k = 0; k < 30; ++k) Frame();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "start"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "again"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "stop"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "inner0"), 16);
    EXPECT_EQ(zMusicSetup.SetupCount, 17);
    EXPECT_FALSE(zMusicSetup.Setups[1].Running);
    EXPECT_EQ(zMusicSetup.Setups[1].NextEvent, 0);
}

TEST_F(MusicSetups, MusicFileTracksLoopThroughTheUpdate) {
    test::WriteHostFile(dir.HostPath("piece.wav"), test::ConstantWav(1, 8000, 16, 8000, 0.5));
    zDShow.Volume = 1.0f;
    Write("p.zms", SetupStream("piece.wav", 3, {{300, "mark", ""}}, 1.0f, 0, 100, 600));
    const int32_t i = StartMusicSetup("p.zms", true, false);
    for (int k = 0; k < 100; ++k) Frame();  // 1.5 s over a 0.1 .. 0.6 s loop
    EXPECT_LT(zMusicSetup.Setups[size_t(i)].Position, 600);
    EXPECT_GE(zMusicSetup.Setups[size_t(i)].Position, 100);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "mark"), 3);
    StopMusicSetup(i);
    EXPECT_EQ(GetMusicPosition(), 0);
    zDShow.Volume = 0.0f;
}

TEST_F(MusicSetups, WithSoundOffAWaveSetupRunsWithoutATrack) {
    DSound_Release();
    Write("a.zms", SetupStream("long.wav", 1, {{0, "e0", ""}, {10, "e1", ""}}));
    const int32_t i = StartMusicSetup("a.zms", true, false);
    EXPECT_EQ(zMusicSetup.Setups[size_t(i)].Wave, 0);
    for (int k = 0; k < 5; ++k) Frame();
    EXPECT_EQ(calls, std::vector<std::string>{"e0"});
    StopMusicSetup(i);
    EXPECT_EQ(RestartMusicSetup(i), i);
}

}  // namespace
}  // namespace zun
