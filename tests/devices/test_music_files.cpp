// Music files: loading, volume and rate, looping by the per-frame check and by
// the stream itself, and the end of a piece that does not loop.
#include <gtest/gtest.h>

#include <algorithm>

#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "test_sound_fixtures.h"

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
    EXPECT_EQ(AudioDevice::Mixer()->VoiceCount(), 2);  // `first` is still held here
    first.reset();
    EXPECT_EQ(AudioDevice::Mixer()->VoiceCount(), 1);
    DShow_Release();
    EXPECT_FALSE(AudioDevice::IsOpen());

    AudioDevice::UseOffline(0);
    test::LogCapture log;
    EXPECT_FALSE(LoadMusic("short.wav"));
    EXPECT_TRUE(log.Contains("ERR\tLoadMusic\tshort.wav"));
}

}  // namespace
}  // namespace zun
