// The weather: ambient light and sun over the day, the lightning flash and its
// thunder, wind sounds, snow and rain around the view, the sound queue with
// its one-shot and looping records, and the overlay.
#include <algorithm>
#include <cmath>

#include "EffectsTestSupport.h"
#include "devices/test_sound_fixtures.h"
#include "devices/zDSound.h"
#include "platform/AudioDevice.h"

namespace tarv::test {
namespace {

using namespace zun;

class WeatherTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        zCore.FrameCounter = 0;
    }
    // The frame tick's part: the frame counter, one weather update, one particle update.
    void Frame(float t = 0.5f) {
        zCore.FrameCounter += 1;
        gWeather.UpdateWeather(t);
        main->UpdateParticles();
    }
    // The untextured full-screen rectangles drawn since the last call.
    std::vector<RecordedDraw> Overlays() {
        zDDraw.EndScene(false);
        std::vector<RecordedDraw> out;
        for (const auto& d : rec->Draws)
            if (!d.Textured && d.Prim == Primitive::TriangleStrip) out.push_back(d);
        rec->ClearLog();
        return out;
    }
    int32_t CountOf(const char* kind) const {
        int32_t n = 0;
        for (int32_t i = 1; i <= main->ParticleCount; ++i)
            if (main->Particle(i)->Manager->ClassName() == kind) n += 1;
        return n;
    }
};

TEST_F(WeatherTest, AmbientLightAndSunFollowTheTimeOfDay) {
    gWeather.UpdateWeather(0.0f);
    EXPECT_NEAR(gWeather.Ambient.R, 0.0f, 1e-6);
    EXPECT_NEAR(gWeather.Ambient.G, 0.2f, 1e-6);
    EXPECT_NEAR(gWeather.Ambient.B, 0.6f, 1e-6);
    EXPECT_FLOAT_EQ(gWeather.Sun.Alpha, 1.0f);
    EXPECT_NEAR(gWeather.Sun.Length, 100.0f, 1e-4);
    EXPECT_NEAR(gWeather.Sun.Angle, -3.141593 / 8, 1e-6);

    gWeather.UpdateWeather(0.5f);
    EXPECT_FLOAT_EQ(gWeather.Ambient.R, 1.0f);
    EXPECT_FLOAT_EQ(gWeather.Ambient.G, 1.0f);
    EXPECT_FLOAT_EQ(gWeather.Ambient.B, 1.0f);
    EXPECT_FLOAT_EQ(gWeather.Sun.Alpha, 1.0f);  // no sun shadows at noon
    EXPECT_NEAR(gWeather.Sun.Length, 0.0f, 1e-4);
    EXPECT_NEAR(gWeather.Sun.Angle, 3.141593 / 2 - 3.141593 / 8 + 3.141593, 1e-5);

    // Mid-morning: reddish light and the strongest morning shadows.
    gWeather.UpdateWeather(0.25f);
    EXPECT_NEAR(gWeather.Ambient.R, 0.8536, 1e-3);
    EXPECT_GT(gWeather.Ambient.R, gWeather.Ambient.G);
    EXPECT_GT(gWeather.Ambient.R, gWeather.Ambient.B);
    EXPECT_NEAR(gWeather.Sun.Alpha, 1 - std::cos(3.141593 / 4), 1e-5);
    EXPECT_NEAR(gWeather.Sun.Length, (1 - std::sin(0.25 * 3.141593)) * 100, 1e-3);
    // The evening sun stands on the other side.
    gWeather.UpdateWeather(0.75f);
    EXPECT_NEAR(gWeather.Sun.Angle, std::sin(0.75 * 3.141593) * 3.141593 / 2 - 3.141593 / 8 + 3.141593, 1e-5);
    EXPECT_NEAR(gWeather.Sun.Alpha, 1 - std::cos(3.141593 / 4), 1e-5);

    // Every component stays within 0..1 over the whole day; midnight closes the circle.
    for (int i = 0; i <= 1000; ++i) {
        gWeather.UpdateWeather(float(i) / 1000);
        for (float c : {gWeather.Ambient.R, gWeather.Ambient.G, gWeather.Ambient.B}) {
            ASSERT_GE(c, 0.0f);
            ASSERT_LE(c, 1.0f);
        }
        ASSERT_GE(gWeather.Sun.Alpha, 0.0f);
        ASSERT_LE(gWeather.Sun.Alpha, 1.0f);
    }
    EXPECT_NEAR(gWeather.Ambient.B, 0.6f, 1e-5);
}

TEST_F(WeatherTest, TheOverlayDarkensTheAmbientLightByItsStrength) {
    gWeather.UpdateWeather(0.5f);
    EXPECT_FLOAT_EQ(gWeather.OverlayColor.R, 0.7f);
    EXPECT_FLOAT_EQ(gWeather.OverlayColor.A, 0.0f);
    gWeather.RenderWeatherOverlay();
    // Fully transparent, the alpha test turns every pixel of it away: it reaches no device.
    auto o = Overlays();
    EXPECT_TRUE(o.empty());

    gWeather.OverlayColor.A = 0.5f;
    gWeather.UpdateWeather(0.5f);
    EXPECT_NEAR(gWeather.Ambient.R, 0.6f, 1e-6);
    EXPECT_NEAR(gWeather.Ambient.B, 0.6f, 1e-6);
    zDDraw.RenderZ = 0.7f;
    gWeather.RenderWeatherOverlay();
    o = Overlays();
    ASSERT_EQ(o.size(), 1u);
    EXPECT_TRUE(SameBlend(o[0].State, ModeState(2)));
    EXPECT_NEAR(double(o[0].Vertices[0].Color >> 24), 127.5, 1.0);
    const uint32_t c = o[0].Vertices[0].Color;
    EXPECT_EQ(c & 0xFF, (c >> 8) & 0xFF);  // a grey
    EXPECT_EQ(c & 0xFF, (c >> 16) & 0xFF);
    EXPECT_FLOAT_EQ(o[0].Vertices[0].Z, 0.0f);
    EXPECT_FLOAT_EQ(o[0].Vertices[3].X, 640 - 0.0f);
}

TEST_F(WeatherTest, AFlashLightsUpForEightFramesAndItsThunderPlaysOnceLater) {
    gWeather.Flash(100, 1.0f);
    ASSERT_EQ(gWeather.SoundCount, 1);
    const WeatherSound& thunder = gWeather.Sounds[1];
    EXPECT_EQ(thunder.FileName, "thunder1.wav");
    EXPECT_GE(thunder.Time, 130);
    EXPECT_LE(thunder.Time, 180);
    EXPECT_FLOAT_EQ(thunder.Volume, 1.0f);
    EXPECT_FALSE(thunder.Looping);

    std::vector<int32_t> lit;
    float peak = 0;
    int32_t peakAt = 0;
    float brightest = 0;
    for (int32_t f = 95; f <= 200; ++f) {
        zCore.FrameCounter = f;
        gWeather.RenderFlash();
        auto o = Overlays();
        if (!o.empty()) {
            lit.push_back(f);
            const float grey = float(o[0].Vertices[0].Color & 0xFF) / 255.0f;
            if (grey > peak) {
                peak = grey;
                peakAt = f;
            }
            EXPECT_TRUE(SameBlend(o[0].State, ModeState(10)));
        }
        gWeather.UpdateWeather(0.0f);  // midnight: blue 0.6, brightened by the flash
        brightest = std::max(brightest, gWeather.Ambient.B);
        const bool played = gWeather.Sounds[1].Played;
        EXPECT_EQ(played, f > thunder.Time) << f;
    }
    EXPECT_EQ(lit, (std::vector<int32_t>{101, 102, 103, 104, 105, 106, 107}));
    EXPECT_EQ(peakAt, 102);
    EXPECT_FLOAT_EQ(peak, 1.0f);
    EXPECT_NEAR(brightest, 0.8f, 1e-5);
    EXPECT_EQ(gWeather.SoundCount, 1);  // played records stay in the queue

    // A weak flash gets the other thunder; 0.75 is already a strong one.
    gWeather.Flash(300, 0.5f);
    gWeather.Flash(400, 0.75f);
    EXPECT_EQ(gWeather.Sounds[2].FileName, "thunder2.wav");
    EXPECT_EQ(gWeather.Sounds[3].FileName, "thunder1.wav");
    EXPECT_EQ(gWeather.QueueSound(0, "x.wav", 1, 1), 4);
}

TEST_F(WeatherTest, TheFlashBrightensTheAmbientEvenWhenItIsNotDrawn) {
    gWeather.Flash(100, 1.0f);
    std::vector<float> blue;
    for (int32_t f = 100; f <= 110; ++f) {
        zCore.FrameCounter = f;
        gWeather.UpdateWeather(0.0f);  // midnight: blue 0.6
        blue.push_back(gWeather.Ambient.B);
    }
    EXPECT_NEAR(blue[1], 0.7f, 1e-5);
    EXPECT_NEAR(blue[2], 0.8f, 1e-5) << "the peak two frames in";
    EXPECT_NEAR(blue[5], 0.7f, 1e-5);
    for (size_t i = 8; i < blue.size(); ++i) EXPECT_NEAR(blue[i], 0.6f, 1e-6) << "dark again at " << 100 + i;
}

TEST_F(WeatherTest, WindQueuesAlternatingWindSoundsSoonerTheStrongerItBlows) {
    gWeather.WindStrength = 1.0f;
    std::vector<int32_t> at;
    for (int i = 0; i < 60; ++i) {
        Frame();
        if (gWeather.SoundCount > int32_t(at.size())) at.push_back(zCore.FrameCounter);
    }
    EXPECT_EQ(at, (std::vector<int32_t>{1, 27, 53}));
    EXPECT_EQ(gWeather.Sounds[1].FileName, "wind2.wav");
    EXPECT_EQ(gWeather.Sounds[2].FileName, "wind1.wav");
    EXPECT_EQ(gWeather.Sounds[3].FileName, "wind2.wav");
    for (int i = 1; i <= 3; ++i) {
        const WeatherSound& s = gWeather.Sounds[size_t(i)];
        EXPECT_GE(s.Volume, 0.9f);
        EXPECT_LT(s.Volume, 1.0f);
        EXPECT_GE(s.Speed, 0.8f);
        EXPECT_LT(s.Speed, 1.2f);
        EXPECT_TRUE(s.Played);  // due at once
    }

    gWeather = gWeatherModule{};
    gWeather.Camera = cam;
    gWeather.WindStrength = 0.5f;
    zCore.FrameCounter = 1000;
    at.clear();
    for (int i = 0; i < 200; ++i) {
        Frame();
        if (gWeather.SoundCount > int32_t(at.size())) at.push_back(zCore.FrameCounter);
    }
    EXPECT_EQ(at, (std::vector<int32_t>{1001, 1077, 1153}));

    gWeather.WindStrength = 0;
    const int32_t before = gWeather.SoundCount;
    for (int i = 0; i < 300; ++i) Frame();
    EXPECT_EQ(gWeather.SoundCount, before);
}

TEST_F(WeatherTest, SnowFallsAroundTheViewOneFlakeAnUpdateAtMost) {
    cam->x = 1000;
    cam->y = 2000;
    gWeather.SnowDensity = 1.0f;
    for (int i = 0; i < 100; ++i) Frame();
    EXPECT_EQ(main->ParticleCount, 39);  // each lives 40 updates, the first in its own frame
    EXPECT_EQ(CountOf("pSnow"), 39);
    for (int32_t i = 1; i <= main->ParticleCount; ++i) {
        const auto p = main->Particle(i);
        EXPECT_GE(p->x, 1000 - 640);
        EXPECT_LT(p->x, 1000 + 640);
        EXPECT_GE(p->y + 0.0f, 2000 - 580 - 2.0f);
        EXPECT_LT(p->y, 2000 + 580 + 2.0f);
    }
    gWeather.SnowDensity = 0;
    main->Reset();
    for (int i = 0; i < 100; ++i) Frame();
    EXPECT_EQ(main->ParticleCount, 0);

    // Snow needs the camera it falls around.
    gWeather.SnowDensity = 1.0f;
    gWeather.Camera.reset();
    EXPECT_THROW(Frame(), RuntimeError);
}

TEST_F(WeatherTest, RainFallsLikeSnowWhenItsDensityAsksAndADrySkyDrawsNoNumber) {
    gWeather.RainDensity = 1.0f;
    gWeather.RainTexture = particleTex;
    gWeather.UpdateWeather(0.5f);
    ASSERT_EQ(CountOf("pRain"), 1);
    EXPECT_FLOAT_EQ(main->Particle(1)->Z, 50);
    EXPECT_EQ(main->Particle(1)->Texture, particleTex);
    for (int i = 0; i < 9; ++i) Frame();
    EXPECT_EQ(CountOf("pRain"), 10);

    // Without rain and wind an update takes exactly one random number (the snow's).
    gWeather.RainDensity = 0;
    SeedRandom(77);
    Frame();
    const float after = Rnd();
    SeedRandom(77);
    Rnd();
    EXPECT_EQ(Rnd(), after);
}

TEST_F(WeatherTest, ALoopingRainRecordFollowsTheRainDensityThroughItsVolumeCurve) {
    gWeather.Sounds.resize(2);
    gWeather.SoundCount = 1;
    WeatherSound& s = gWeather.Sounds[1];
    s.FileName = "rain.wav";
    s.Looping = true;
    s.Speed = 1;
    gWeather.RainSound = 1;
    // With sound off the start is tried on every update from frame 3 on and gives no wave.
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(s.Wave, 0);
    EXPECT_FALSE(s.Played);
    // Nothing plays the curve then: a long rain keeps only the keys ahead of it.
    gWeather.RainDensity = 0.5f;
    for (int i = 0; i < 500; ++i) Frame();
    EXPECT_LE(s.VolumeCurve.PointCount, 32);
    gWeather.RainDensity = 0;
    // A playing record takes volume and speed from its curves.
    s.Wave = 7;
    s.SpeedCurve.AddPoint(zCore.FrameCounter + 10, 2.0f);
    gWeather.RainDensity = 0.5f;
    for (int i = 0; i < 40; ++i) Frame();
    EXPECT_NEAR(s.Volume, 0.6f, 1e-5);
    EXPECT_NEAR(s.Speed, 2.0f, 1e-5);
    // The rain fades out and back in over the curve's 30 frames, never in a step.
    auto Fade = [&](float density) {
        gWeather.RainDensity = density;
        std::vector<float> levels;
        for (int i = 0; i < 40; ++i) {
            Frame();
            levels.push_back(s.Volume);
        }
        float widest = 0;
        int moving = 0;
        for (size_t i = 1; i < levels.size(); ++i) {
            widest = std::max(widest, std::fabs(levels[i] - levels[i - 1]));
            if (levels[i] != levels[i - 1]) moving += 1;
        }
        EXPECT_GE(moving, 25) << "density " << density;
        EXPECT_LT(widest, 0.6f / 20) << "density " << density;
        return levels.back();
    };
    EXPECT_NEAR(Fade(0.05f), 0.0f, 1e-5);
    EXPECT_NEAR(Fade(0.5f), 0.6f, 1e-5);
    EXPECT_EQ(gWeather.SoundCount, 1);
}

TEST_F(WeatherTest, InitializeKeepsTheCameraAndLoadsBothWeatherTextures) {
    auto other = std::make_shared<zCamera>();
    {
        // Missing pictures are logged and leave no texture.
        zun::test::LogCapture log;
        gWeather.Weather_Initialize(other);
        EXPECT_EQ(gWeather.RainTexture, 0);
        EXPECT_EQ(gWeather.SnowTexture, 0);
        EXPECT_TRUE(log.Contains("File not found"));
    }
    WriteTexture("Weather Rain.png", 8, 8);
    WriteTexture("Weather Snow.png", 8, 8);
    gWeather.FlashCurve->AddPoint(5, 1.0f);
    gWeather.Weather_Initialize(other);
    EXPECT_EQ(gWeather.Camera, other);
    EXPECT_GT(gWeather.RainTexture, 0);
    EXPECT_GT(gWeather.SnowTexture, 0);
    EXPECT_NE(gWeather.RainTexture, gWeather.SnowTexture);
    EXPECT_TRUE(zDDraw.Textures[size_t(gWeather.RainTexture)].Smooth);
    EXPECT_EQ(gWeather.FlashCurve->PointCount, 0);
}

class WeatherSoundTest : public WeatherTest {
protected:
    void SetUp() override {
        WeatherTest::SetUp();
        AudioDevice::UseOffline(44100);
        zun::test::WriteHostFile(dir.HostPath("thunder1.wav"),
                                 zun::test::ConstantWav(1, 22050, 16, 2205, 0.25));
        ASSERT_TRUE(DSound_Initialize(0));
        zDSound.SoundPath = dir.Path();
    }
    void TearDown() override {
        DSound_Release();
        AudioDevice::UseHardware();
        WeatherTest::TearDown();
    }
};

TEST_F(WeatherSoundTest, DueRecordsArePlayedOnceAndAMissingFileStillCountsAsPlayed) {
    gWeather.QueueSound(10, "thunder1.wav", 0.5f, 1.0f);
    gWeather.QueueSound(10, "thunder9.wav", 1.0f, 1.0f);
    zCore.FrameCounter = 9;
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(gWeather.Sounds[1].Wave, 1);
    EXPECT_TRUE(gWeather.Sounds[1].Played);
    EXPECT_EQ(gWeather.Sounds[2].Wave, 0);
    EXPECT_TRUE(gWeather.Sounds[2].Played);
    EXPECT_EQ(zDSound.WaveCount, 1);
    EXPECT_EQ(zDSound.DuplicateCount, 0);  // played once, not again on later updates
}

}  // namespace
}  // namespace tarv::test
