// The wave table: loading, playing with volume, speed and start position,
// duplicates, stops, and the paths taken with sound off.
#include <gtest/gtest.h>

#include <cmath>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "devices/zDSound.h"
#include "platform/MediaDecode.h"
#include "test_sound_fixtures.h"

namespace zun {
namespace {

class Waves : public ::testing::Test {
protected:
    test::TempDir dir;
    void SetUp() override {
        AudioDevice::UseOffline(44100);
        test::WriteHostFile(dir.HostPath("beep.wav"), test::ConstantWav(1, 22050, 16, 22050, 0.25));
        test::WriteHostFile(dir.HostPath("music.wav"), test::ConstantWav(2, 44100, 16, 88200, 0.25));
        test::WriteHostFile(dir.HostPath("broken.wav"), {'R', 'I', 'F', 'F', 1, 2, 3});
        ASSERT_TRUE(DSound_Initialize(0));
        zDSound.SoundPath = dir.Path();
    }
    void TearDown() override {
        DSound_Release();
        AudioDevice::UseHardware();
    }
    AudioBuffer& Buffer(int32_t w) { return *zDSound.Waves[size_t(w)]; }
};

TEST_F(Waves, SecondPlayWhilePlayingOverlapsOnADuplicate) {
    int32_t a = PlayWaveFile("beep.wav", false, 1.0f, 1.0f, false, 0);
    int32_t b = PlayWaveFile("BEEP.WAV", false, 1.0f, 1.0f, false, 0);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, a);
    EXPECT_EQ(zDSound.WaveCount, 1);
    EXPECT_EQ(zDSound.DuplicateCount, 1);
    auto out = test::RenderMixer(16);
    EXPECT_NEAR(out[0], 0.5, 1e-3);  // both heard

    // Once the duplicate has stopped, its slot is reused rather than added.
    test::RenderSeconds(1.1);
    PlayWaveFile("beep.wav", false, 1.0f, 1.0f, false, 0);
    PlayWaveFile("beep.wav", false, 1.0f, 1.0f, false, 0);
    EXPECT_EQ(zDSound.DuplicateCount, 1);

    EXPECT_EQ(PlayWaveFile("beep.wav", false, 1.0f, 1.0f, true, 0), 2);  // ForceNew
    EXPECT_EQ(zDSound.WaveFiles[2], "beep.wav");
}

TEST_F(Waves, VolumeAndSpeedAreClampedScaledAndWrittenBack) {
    zDSound.Volume = 0.5f;
    float vol = 2.0f, speed = 100.0f;
    int32_t w = PlayWaveFile("beep.wav", false, vol, speed, false, 0);
    EXPECT_EQ(vol, 0.5f);
    EXPECT_EQ(Buffer(w).GetVolume(), -5000);
    EXPECT_FLOAT_EQ(speed, 100000.0f / 22050.0f);
    EXPECT_EQ(Buffer(w).GetFrequency(), 100000);
    EXPECT_EQ(zDSound.DuplicateCount, 0);

    StopAllWaves();
    vol = -1.0f;
    speed = 0.0f;
    PlayWave(w, false, vol, speed, 0);
    EXPECT_EQ(Buffer(w).GetVolume(), -5000);  // -1 leaves it
    EXPECT_EQ(vol, -1.0f);
    EXPECT_FLOAT_EQ(speed, 100.0f / 22050.0f);
    EXPECT_EQ(Buffer(w).GetFrequency(), 100);

    SetupWave(w, 1.0f, 1.0f);
    EXPECT_EQ(Buffer(w).GetVolume(), -5000);  // master 0.5 applies
    EXPECT_EQ(Buffer(w).GetFrequency(), 22050);
    SetupWave(w, -1.0f, -1.0f);
    EXPECT_EQ(Buffer(w).GetFrequency(), 22050);
    zDSound.Volume = 1.0f;
    SetupWave(w, 0.0f, 2.0f);
    EXPECT_EQ(Buffer(w).GetVolume(), -10000);
    EXPECT_EQ(Buffer(w).GetFrequency(), 44100);
}

TEST_F(Waves, StartPositionIsInBytesOfWholeFrames) {
    int32_t w = PlayWaveFile("music.wav", false, 1.0f, 1.0f, false, 500);
    EXPECT_EQ(Buffer(w).GetCurrentPosition(), 88200);
    EXPECT_EQ(GetWavePosition(w), 500);
    StopWave(w);
    // 3 ms of 44.1 kHz 16-bit stereo is 529.2 bytes: down to the frame at 528.
    PlayWave(w, false, 1.0f, 1.0f, 3);
    EXPECT_EQ(Buffer(w).GetCurrentPosition(), 528);
    test::RenderSeconds(0.25);
    EXPECT_NEAR(GetWavePosition(w), 253, 1);
}

TEST_F(Waves, StopsReachOwnBufferAndLoopingDuplicates) {
    int32_t w = PlayWaveFile("beep.wav", true, 1.0f, 1.0f, false, 0);
    PlayWaveFile("beep.wav", true, 1.0f, 1.0f, false, 0);    // looping duplicate
    PlayWaveFile("beep.wav", false, 1.0f, 1.0f, false, 0);   // one-shot duplicate
    ASSERT_EQ(zDSound.DuplicateCount, 2);
    test::RenderSeconds(0.1);
    StopWave(w);
    EXPECT_EQ(Buffer(w).GetStatus(), 0u);
    EXPECT_EQ(zDSound.Duplicates[1]->GetStatus(), 0u);
    EXPECT_EQ(zDSound.Duplicates[2]->GetStatus(), AudioBuffer::StatusPlaying);  // plays on

    StopWave(0);
    StopWave(99);
    const int32_t kept = Buffer(w).GetCurrentPosition();
    EXPECT_GT(kept, 0);  // StopWave keeps the position
    StopAllWaves();
    EXPECT_EQ(Buffer(w).GetCurrentPosition(), 0);
    EXPECT_EQ(zDSound.Duplicates[2]->GetStatus(), 0u);

    // A one-shot wave that ends reads position 0 again.
    PlayWave(w, false, 1.0f, 1.0f, 900);
    test::RenderSeconds(0.2);
    EXPECT_EQ(Buffer(w).GetStatus(), 0u);
    EXPECT_EQ(GetWavePosition(w), 0);
}

TEST_F(Waves, FailedLoadsLeaveNoSlotBehind) {
    test::LogCapture log;
    EXPECT_EQ(LoadWave("broken.wav", false), 0);
    EXPECT_EQ(LoadWave("broken.wav", false), 0);
    EXPECT_EQ(zDSound.WaveCount, 0);
    EXPECT_EQ(zDSound.Waves.size(), 1u);
    ASSERT_GE(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[0].rfind("ERR\tLoadWave\tbroken.wav", 0), 0u);

    log.Clear();
    EXPECT_EQ(PlayWaveFile("missing.wav", false, 1.0f, 1.0f, false, 0), 0);
    EXPECT_TRUE(log.Lines().empty());  // a missing file is not an error
    EXPECT_EQ(LoadWave("beep.wav", false), 1);  // the table goes on from 1
}

// A level's sound emitters load their waves anew at every visit and give
// them back when the level goes: the table must not grow by a slot a visit.
TEST_F(Waves, ReleasedSlotsAreTakenAgainByNewLoads) {
    const int32_t first = LoadWave("beep.wav", true);
    const int32_t kept = LoadWave("music.wav", false);
    ReleaseWave(first);
    EXPECT_EQ(LoadWave("beep.wav", false), first);  // loaded anew into the free slot
    for (int i = 0; i < 5; ++i) ReleaseWave(LoadWave("beep.wav", true));
    EXPECT_EQ(zDSound.WaveCount, 3);
    EXPECT_EQ(LoadWave("music.wav", false), kept);
    EXPECT_EQ(PlayWaveFile("beep.wav", false, 1.0f, 1.0f, true, 0), 3);
    EXPECT_NEAR(test::RenderMixer(16)[0], 0.25, 1e-3);

    // A failed load into a free slot leaves it free.
    ReleaseWave(3);
    test::LogCapture log;
    EXPECT_EQ(LoadWave("broken.wav", true), 0);
    EXPECT_EQ(zDSound.WaveCount, 3);
    EXPECT_EQ(LoadWave("beep.wav", true), 3);
}

// A wave loaded anew is its loader's alone (an emitter's, given back with
// its level); whoever plays the file by its name (the weather, a music
// setup's event, a script, a footstep) gets a wave that is never given back.
TEST_F(Waves, AWaveLoadedAnewIsNeverHandedOutByNameNorIsASharedOneReleased) {
    const int32_t own = LoadWave("beep.wav", true);
    const int32_t shared = PlayWaveFile("beep.wav", true, 1.0f, 1.0f, false, 0);
    EXPECT_NE(shared, own);
    EXPECT_EQ(PlayWaveFile("BEEP.wav", false, 1.0f, 1.0f, false, 0), shared);
    ReleaseWave(own);
    ReleaseWave(shared);
    ASSERT_TRUE(zDSound.Waves[size_t(shared)]);
    EXPECT_TRUE(Buffer(shared).GetStatus() & AudioBuffer::StatusPlaying);
    SetupWave(shared, 0.5f, 1.0f);
    EXPECT_EQ(LoadWave("beep.wav", false), shared);
}

// Overlapping plays are bounded: past the bound a play is refused, with one
// line for a run of refusals, and a stop frees the slots for later plays.
TEST_F(Waves, OverlappingPlaysStopAtABoundAndTheRestAreRefusedWithOneLine) {
    test::LogCapture log;
    // At speed 0 (100 Hz) the beep plays for 220 s: none ends here.
    for (int i = 0; i < kMaxDuplicates + 100; ++i) PlayWaveFile("beep.wav", false, 1.0f, 0.0f, false, 0);
    EXPECT_EQ(zDSound.DuplicateCount, kMaxDuplicates);
    EXPECT_EQ(AudioDevice::Mixer()->VoiceCount(), 1 + kMaxDuplicates);
    size_t refusals = 0;
    for (const std::string& l : log.Lines()) refusals += l.find("Too many sounds at once") != std::string::npos;
    EXPECT_EQ(refusals, 1u);

    StopAllWaves();
    for (int i = 0; i < 3; ++i) PlayWaveFile("beep.wav", false, 1.0f, 1.0f, false, 0);
    EXPECT_EQ(zDSound.DuplicateCount, kMaxDuplicates);
    EXPECT_NEAR(test::RenderMixer(16)[0], 0.75, 1e-3);
}

// Waves of any layout and rate are heard as their source: more than two
// channels mixed down as music files are; a rate beyond the device's limit at
// its own pitch, with a speed asked of it kept to the limit; a low rate
// without the images of straight lines between samples.
TEST_F(Waves, LayoutsAndRatesAreHeardAsTheSource) {
    // 5.1 without a mask: front left, right, centre, low frequency, rear left, rear right.
    const double level[6] = {0.1, 0.2, 0.3, 0.4, 0.05, 0.15};
    test::WriteHostFile(dir.HostPath("six.wav"),
                        test::MakeWav(6, 44100, 16, 4410, [&](int64_t, int c) { return level[c]; }));
    PlayWaveFile("six.wav", false, 1.0f, 1.0f, false, 0);
    const auto six = test::RenderMixer(64);
    EXPECT_NEAR(six[0], 0.1 + (0.3 + 0.05) * std::sqrt(0.5), 1e-3);
    EXPECT_NEAR(six[1], 0.2 + (0.3 + 0.15) * std::sqrt(0.5), 1e-3);
    AudioData music;
    std::string error;
    ASSERT_TRUE(DecodeMediaFile(dir.HostPath("six.wav"), music, error)) << error;
    EXPECT_NEAR(music.Samples[0], six[0], 1e-3);
    EXPECT_NEAR(music.Samples[1], six[1], 1e-3);
    StopAllWaves();

    // The largest distance of the left channel from a tone of `hz` at half
    // scale, away from the sound's start.
    auto distance = [](double hz, int64_t frames) {
        const auto out = test::RenderMixer(frames);
        double most = 0;
        for (int64_t n = 1000; n < frames; ++n)
            most = std::max(most, std::fabs(out[size_t(n) * 2] - 0.5 * std::sin(2 * M_PI * hz * double(n) / 44100)));
        StopAllWaves();
        return most;
    };
    auto tone = [&](const char* name, int rate) {
        test::WriteHostFile(dir.HostPath(name), test::MakeWav(1, rate, 16, rate / 2, [rate](int64_t i, int) {
                                return 0.5 * std::sin(2 * M_PI * 1000.0 * double(i) / rate);
                            }));
    };
    tone("high.wav", 192000);
    tone("96k.wav", 96000);
    tone("low.wav", 8000);
    const int32_t high = PlayWaveFile("high.wav", false, 1.0f, 1.0f, false, 0);
    EXPECT_LT(distance(1000, 11025), 1e-3);
    float volume = 1.0f, speed = 2.0f;
    PlayWaveFile("96k.wav", false, volume, speed, false, 0);
    EXPECT_EQ(speed, 2.0f);
    EXPECT_LT(distance(2000, 8000), 1e-3);
    PlayWaveFile("low.wav", false, 1.0f, 1.0f, false, 0);
    EXPECT_LT(distance(1000, 11025), 0.5e-3);  // 60 dB under the tone

    // What is seen of the wave stays in its own time.
    PlayWaveFile("high.wav", false, 1.0f, 1.0f, false, 100);
    test::RenderMixer(11025);
    EXPECT_NEAR(GetWavePosition(high), 350, 1);
}

TEST_F(Waves, WaveZeroAndUnknownWavesReadPositionZero) {
    EXPECT_EQ(GetWavePosition(0), 0);
    EXPECT_EQ(GetWavePosition(5), 0);
    EXPECT_THROW(PlayWave(5, false, 1.0f, 1.0f, 0), RuntimeError);
    SetupWave(0, 1.0f, 1.0f);  // nothing below 1
}

TEST(WavesOff, EverythingIsANoOpWithoutADevice) {
    AudioDevice::UseOffline(0);  // a machine without audio output
    EXPECT_FALSE(DSound_Initialize(0));
    EXPECT_FALSE(zDSound.Enabled);
    test::TempDir dir;
    test::WriteHostFile(dir.HostPath("beep.wav"), test::ConstantWav(1, 22050, 16, 100));
    zDSound.SoundPath = dir.Path();
    EXPECT_EQ(PlayWaveFile("beep.wav", true, 1.0f, 1.0f, false, 0), 0);
    EXPECT_EQ(LoadWave("beep.wav", false), 0);
    EXPECT_EQ(GetWavePosition(1), 0);
    StopAllWaves();
    StopWave(1);
    SetupWave(1, 1.0f, 1.0f);
    EXPECT_EQ(zDSound.WaveCount, 0);
    DSound_Release();
    DSound_Release();
    AudioDevice::UseHardware();
}

}  // namespace
}  // namespace zun
