// The mixer rendered offline: gain curve, silence, pitch, loop, positions,
// duplicates and streams.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/AudioBuffer.h"
#include "platform/AudioDevice.h"
#include "platform/AudioMixer.h"
#include "platform/AudioStream.h"
#include "test_sound_fixtures.h"

namespace zun {
namespace {

std::shared_ptr<AudioData> Ramp(int64_t frames, int channels = 1, int rate = 1000) {
    auto d = std::make_shared<AudioData>();
    d->Channels = channels;
    d->StoredChannels = channels;
    d->SampleRate = rate;
    d->BitsPerSample = 16;
    d->Frames = frames;
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) d->Samples.push_back(float(i) / float(frames) * (c == 0 ? 1.f : -1.f));
    return d;
}

std::shared_ptr<AudioData> Constant(int64_t frames, float v, int channels = 1, int rate = 1000) {
    auto d = Ramp(frames, channels, rate);
    std::fill(d->Samples.begin(), d->Samples.end(), v);
    return d;
}

std::vector<float> Render(AudioMixer& m, int32_t frames) {
    std::vector<float> out(size_t(frames) * 2);
    m.Render(out.data(), frames);
    return out;
}

TEST(SoundMixer, AttenuationFollowsTheDecibelCurve) {
    EXPECT_EQ(AttenuationToGain(0), 1.0f);
    EXPECT_EQ(AttenuationToGain(-10000), 0.0f);
    EXPECT_EQ(AttenuationToGain(-20000), 0.0f);
    EXPECT_NEAR(AttenuationToGain(-2000), 0.1f, 1e-6);
    EXPECT_NEAR(AttenuationToGain(-6000), 0.001f, 1e-8);
    // Half the attenuation range is far below half the level: not linear.
    EXPECT_NEAR(AttenuationToGain(-5000), std::pow(10.0, -2.5), 1e-7);
    EXPECT_EQ(AttenuationToGain(500), 1.0f);
}

TEST(SoundMixer, GainScalesAndFullAttenuationIsExactSilence) {
    AudioMixer m(1000);
    auto v = m.AddVoice(Constant(1000, 0.5f));
    v->Playing = true;
    v->Attenuation = -2000;
    auto out = Render(m, 100);
    for (float s : out) EXPECT_NEAR(s, 0.05f, 1e-6);

    v->Attenuation = -10000;
    out = Render(m, 100);
    for (float s : out) EXPECT_EQ(s, 0.0f);
    // Silent, yet still playing and moving on.
    EXPECT_TRUE(v->Playing);
    EXPECT_EQ(v->Frame(), 200);
}

TEST(SoundMixer, MonoPlaysOnBothChannelsAndStereoKeepsItsSides) {
    AudioMixer m(1000);
    auto mono = m.AddVoice(Constant(100, 0.25f));
    mono->Playing = true;
    auto out = Render(m, 10);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[1], 0.25f);
    m.RemoveVoice(mono);

    auto st = m.AddVoice(Ramp(100, 2));
    st->Playing = true;
    out = Render(m, 11);
    EXPECT_FLOAT_EQ(out[20], 0.10f);
    EXPECT_FLOAT_EQ(out[21], -0.10f);
}

TEST(SoundMixer, FrequencyResamplesAndSetsTheDuration) {
    AudioMixer m(1000);
    auto v = m.AddVoice(Constant(1000, 0.5f));
    v->Frequency = 2000;  // twice the device rate: the sound lasts half as long
    v->Playing = true;
    auto out = Render(m, 499);
    EXPECT_TRUE(v->Playing);
    out = Render(m, 10);
    EXPECT_FALSE(v->Playing);
    EXPECT_EQ(out[2 * 0], 0.5f);   // frame 499 still plays the last source frame
    EXPECT_EQ(out[2 * 1], 0.0f);   // then silence
    EXPECT_EQ(v->Position, 0u);    // a one-shot buffer goes back to 0

    // Half the rate: linear interpolation between neighbouring frames.
    auto r = m.AddVoice(Ramp(100));
    r->Frequency = 500;
    r->Playing = true;
    out = Render(m, 4);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[2], 0.005f);
    EXPECT_FLOAT_EQ(out[4], 0.01f);
    EXPECT_FLOAT_EQ(out[6], 0.015f);
}

TEST(SoundMixer, LoopingWrapsAndStreamsHoldAtTheirEnd) {
    AudioMixer m(1000);
    auto v = m.AddVoice(Ramp(100));
    v->Playing = true;
    v->Looping = true;
    Render(m, 150);
    EXPECT_TRUE(v->Playing);
    EXPECT_EQ(v->Frame(), 50);

    // Loop points inside the data.
    v->LoopStart = 20;
    v->LoopEnd = 40;
    v->SetFrame(35);
    Render(m, 10);
    EXPECT_EQ(v->Frame(), 25);

    auto s = m.AddVoice(Ramp(100));
    s->End = AudioVoice::EndMode::Hold;
    s->Playing = true;
    Render(m, 120);
    EXPECT_FALSE(s->Playing);
    EXPECT_EQ(s->Frame(), 100);
}

TEST(SoundMixer, SourcesAddIntoTheMixAndTheSumIsLimited) {
    struct Dc : AudioSource {
        void RenderAdd(float* out, int32_t frames, int32_t) override {
            for (int32_t i = 0; i < frames * 2; ++i) out[i] += 0.7f;
        }
    };
    AudioMixer m(1000);
    auto src = std::make_shared<Dc>();
    m.AddSource(src);
    auto v = m.AddVoice(Constant(100, 0.6f));
    v->Playing = true;
    auto out = Render(m, 5);
    EXPECT_EQ(out[0], 1.0f);
    m.RemoveSource(src);
    out = Render(m, 5);
    EXPECT_FLOAT_EQ(out[0], 0.6f);
}

TEST(SoundBuffer, PositionsAreBytesOfTheOriginalFormat) {
    auto m = std::make_shared<AudioMixer>(1000);
    auto d = Ramp(1000, 2, 1000);  // 16-bit stereo: 4 bytes a frame
    AudioBuffer b(m, d);
    b.SetCurrentPosition(1001);
    EXPECT_EQ(b.GetCurrentPosition(), 1000);  // a whole frame
    b.Play(false);
    std::vector<float> out(200);
    m->Render(out.data(), 100);
    EXPECT_EQ(b.GetCurrentPosition(), 1400);
    EXPECT_EQ(b.GetStatus(), AudioBuffer::StatusPlaying);
    b.Stop();
    EXPECT_EQ(b.GetStatus(), 0u);
    EXPECT_EQ(b.GetCurrentPosition(), 1400);  // stopping keeps the position
    b.Play(true);
    EXPECT_EQ(b.GetStatus(), AudioBuffer::StatusPlaying | AudioBuffer::StatusLooping);

    b.SetFrequency(5);
    EXPECT_EQ(b.GetFrequency(), 100);
    b.SetFrequency(2000000);
    EXPECT_EQ(b.GetFrequency(), 100000);
    b.SetVolume(100);
    EXPECT_EQ(b.GetVolume(), 0);
    b.SetVolume(-20000);
    EXPECT_EQ(b.GetVolume(), -10000);
}

TEST(SoundBuffer, DuplicatesShareSamplesAndPlayTogether) {
    auto m = std::make_shared<AudioMixer>(1000);
    auto a = std::make_shared<AudioBuffer>(m, Constant(1000, 0.25f));
    a->SetVolume(-2000);
    a->SetFrequency(500);
    auto dup = a->Duplicate();
    EXPECT_EQ(dup->Data().get(), a->Data().get());
    EXPECT_EQ(dup->GetVolume(), -2000);
    EXPECT_EQ(dup->GetFrequency(), 500);
    EXPECT_EQ(dup->GetCurrentPosition(), 0);
    a->SetVolume(0);
    dup->SetVolume(0);
    a->Play(false);
    dup->Play(false);
    std::vector<float> out(20);
    m->Render(out.data(), 10);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    dup.reset();  // a released buffer leaves the mix
    m->Render(out.data(), 10);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_EQ(m->VoiceCount(), 1);
}

TEST(SoundStream, SecondsRateAndLoopPoints) {
    auto m = std::make_shared<AudioMixer>(1000);
    AudioStream s(m, Ramp(2000, 1, 1000));  // two seconds
    EXPECT_DOUBLE_EQ(s.GetStopTime(), 2.0);
    s.SetRate(0);
    EXPECT_DOUBLE_EQ(s.GetRate(), 0.01);
    s.SetRate(100);
    EXPECT_DOUBLE_EQ(s.GetRate(), 64.0);
    s.SetRate(0.5);
    s.Run();
    std::vector<float> out(2000);
    m->Render(out.data(), 1000);
    EXPECT_NEAR(s.GetPosition(), 0.5, 1e-9);

    s.SetRate(1.0);
    s.SetLoop(true, 0.25, 1.0);
    m->Render(out.data(), 1000);  // 0.5 -> 1.0 -> wraps to 0.25 -> 0.75
    EXPECT_NEAR(s.GetPosition(), 0.75, 1e-9);
    EXPECT_TRUE(s.IsRunning());

    s.SetLoop(false, 0, 0);
    s.SetPosition(1.9);
    m->Render(out.data(), 1000);
    EXPECT_FALSE(s.IsRunning());
    EXPECT_DOUBLE_EQ(s.GetPosition(), 2.0);
    s.Run();  // nothing left to play
    EXPECT_FALSE(s.IsRunning());
}

}  // namespace
}  // namespace zun

namespace zun {
namespace {

TEST(SoundDevice, TheSdlDeviceOpensOnceForAllUsersAndCloses) {
    AudioDevice::UseHardware();
    if (!AudioDevice::Acquire()) GTEST_SKIP() << "no audio driver: " << AudioDevice::LastError();
    auto mixer = AudioDevice::Mixer();
    ASSERT_TRUE(mixer);
    EXPECT_GT(mixer->Rate(), 0);
    EXPECT_TRUE(AudioDevice::Acquire());
    EXPECT_EQ(AudioDevice::Mixer(), mixer);  // shared, not reopened
    {
        // Voices change while the device thread renders.
        AudioBuffer b(mixer, std::make_shared<AudioData>(*Constant(4000, 0.1f)));
        b.Play(true);
        for (int i = 0; i < 1000; ++i) b.SetVolume(-(i % 100));
        b.Stop();
    }
    AudioDevice::Release();
    EXPECT_TRUE(AudioDevice::IsOpen());
    AudioDevice::Release();
    EXPECT_FALSE(AudioDevice::IsOpen());
    EXPECT_FALSE(AudioDevice::Mixer());
    AudioDevice::Release();  // one too many does nothing
}

}  // namespace
}  // namespace zun
