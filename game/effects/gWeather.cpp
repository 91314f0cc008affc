#include "game/effects/gWeather.h"

#include <algorithm>
#include <cmath>

#include "core/zCore.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "devices/zDSound.h"
#include "game/effects/gEffects.h"
#include "game/effects/gParticleSystem.h"
#include "scene/zCamera.h"

namespace tarv {

using namespace zun;

gWeatherModule gWeather;

namespace {

constexpr double kPi = 3.141593;

// Sine-squared ramps: 0 to 1 (and 1 to 0) as u goes from 0 to 1.
double Up(double u) {
    const double s = std::sin(u * kPi / 2.0);
    return s * s;
}
double Down(double u) {
    return 1.0 - Up(u);
}

// One ambient component: 0, rising over [r0, r1), full over [r1, f0), falling over [f0, f1), 0 after.
double Ramp(double t, double r0, double r1, double f0, double f1) {
    if (t >= r0 && t < r1) return Up((t - r0) / (r1 - r0));
    if (t >= r1 && t < f0) return 1.0;
    if (t >= f0 && t < f1) return Down((t - f0) / (f1 - f0));
    return 0.0;
}

// The sun's strength over a morning or evening window of 0.3 starting at t0.
float SunAlpha(double t, double t0) {
    const double u = (t - t0) / 0.3;
    return ToSingle(1.0 - std::sin(u * kPi) * std::cos(u * kPi / 2.0));
}

zCamera& WeatherCamera() {
    if (!gWeather.Camera) Raise(errObjectNotSet);
    return *gWeather.Camera;
}

// One particle of the kind somewhere around the view: up to a screen width
// to either side and a screen height and 100 pixels above or below.
void FallAroundView(const char* iKind) {
    zCamera& cam = WeatherCamera();
    const double cx = cam.x;
    const double r1 = Rnd();
    const double cy = cam.y;
    const double r2 = Rnd();
    MainParticles().CreateParticle(iKind, ToSingle(cx + (2.0 * r1 - 1.0) * cam.ScreenW),
                                   ToSingle(cy + (2.0 * r2 - 1.0) * (double(cam.ScreenH) + 100.0)), 50.0f,
                                   0.0f, 0);
}

// Looping sounds are heard through a tenth power, so that quiet curve values
// still carry; a volume below 0 is silence.
float LoopVolume(float v) {
    return v > 0 ? ToSingle(std::pow(double(v), 0.1)) : 0.0f;
}

}  // namespace

void gWeatherModule::Weather_Initialize(const std::shared_ptr<zCamera>& iCamera) {
    Camera = iCamera;
    FlashCurve = std::make_shared<zLerpStream>();
    RainTexture = zDDraw.LoadTexture("Weather Rain.png", true, -1, 1, 0);
    SnowTexture = zDDraw.LoadTexture("Weather Snow.png", true, -1, 1, 0);
}

void gWeatherModule::UpdateAmbient(float t) {
    const double d = t;
    double r = Ramp(d, 0.1, 0.3, 0.7, 0.95);
    double g = Ramp(d, 0.1, 0.5, 0.6, 0.85);
    double b = Ramp(d, 0.2, 0.5, 0.6, 0.8);
    // Night is blue.
    if (d < 0.4) {
        g += 0.2 * Down(d / 0.4);
        b += 0.6 * Down(d / 0.4);
    }
    if (d > 0.6) {
        g += 0.2 * Up((d - 0.6) / 0.4);
        b += 0.6 * Up((d - 0.6) / 0.4);
    }
    Ambient.R = ToSingle(r);
    Ambient.G = ToSingle(g);
    Ambient.B = ToSingle(b);
}

void gWeatherModule::UpdateSun(float t) {
    const double d = t;
    double a = std::sin(d * kPi) * kPi / 2.0 - kPi / 8.0;
    if (d >= 0.5) a += kPi;
    Sun.Angle = ToSingle(a);
    if (d >= 0.1 && d < 0.4)
        Sun.Alpha = SunAlpha(d, 0.1);
    else if (d >= 0.6 && d < 0.9)
        Sun.Alpha = SunAlpha(d, 0.6);
    else
        Sun.Alpha = 1.0f;  // night, and no sun shadows around noon
    Sun.Length = ToSingle((1.0 - std::sin(d * kPi)) * 100.0);
}

void gWeatherModule::UpdateWeather(float t) {
    UpdateAmbient(t);
    UpdateSun(t);
    OverlayColor.R = OverlayColor.G = OverlayColor.B = 0.7f;

    const double dim = 1.0 - 0.8 * OverlayColor.A;
    double flash = 0.0;
    if (FlashCurve) {
        // Moved on here as well as where the flash is drawn: with weather
        // drawing off nothing else would, and the ambient would keep the
        // brightness of whatever frame of the flash was sampled last.
        FlashCurve->SetTime(zCore.FrameCounter);
        if (FlashCurve->Value > 0) flash = 0.2 * FlashCurve->Value;
    }
    for (float* c : {&Ambient.R, &Ambient.G, &Ambient.B})
        *c = zMath::Clamp(ToSingle(double(*c) * dim + flash), 0.0f, 1.0f);

    const int32_t frame = zCore.FrameCounter;
    if (WindStrength > 0 && frame > NextWindSound) {
        NextWindSound = CLng(double(frame) + 25.0 + (1.0 - WindStrength) * 100.0);
        const std::string file = WindToggle ? "wind1.wav" : "wind2.wav";
        const double r = Rnd();
        const float speed = zMath::RandomRange(0.8f, 1.2f, 2.0f, false);
        QueueSound(0, file, ToSingle(0.7 + 0.2 * WindStrength + 0.1 * r), speed);
        WindToggle = !WindToggle;
    }

    // Rain falls like snow whenever its density asks for it; no draw is made
    // without rain, so a dry sky leaves the random sequence alone.
    if (RainDensity > 0 && Rnd() < RainDensity) FallAroundView("pRain");
    // The first rain brings its sound: one looping record for good, silent
    // until its curve rises, so that a shower later on fades in and out on the
    // same wave.
    if (RainDensity > 0 && RainSound == 0) {
        WeatherSound s;
        s.FileName = "rain.wav";
        s.Looping = true;
        s.SpeedCurve.Value = 1.0f;
        s.Speed = 1.0f;
        Sounds.resize(size_t(SoundCount) + 1);
        Sounds.push_back(std::move(s));
        SoundCount += 1;
        RainSound = SoundCount;
    }
    if (RainSound > 0 && RainSound <= SoundCount && Sounds[size_t(RainSound)].Looping) {
        const float target = RainDensity < 0.1f ? 0.0f : ToSingle(double(RainDensity) + 0.1);
        WeatherSound& rain = Sounds[size_t(RainSound)];
        // One key per change of target: a key queued on every update would
        // keep the old level on all of the 30 frames ahead, so the level would
        // hold and then jump in the last frame instead of moving over them.
        if (target != RainSoundTarget) {
            rain.VolumeCurve.AddPoint(AddLong(frame, 30), target);
            RainSoundTarget = target;
        }
        // Only a playing wave moves along its curve; without one (sound off,
        // no file) the keys behind the frame would pile up for good.
        if (rain.Wave == 0) rain.VolumeCurve.SetTime(frame);
    }

    if (Rnd() < SnowDensity) FallAroundView("pSnow");

    for (int32_t i = 1; i <= SoundCount; ++i) {
        WeatherSound& s = Sounds[size_t(i)];
        if (!s.Looping) {
            if (s.Time < frame && !s.Played) {
                s.Wave = PlayWaveFile(s.FileName, false, float(s.Volume), float(s.Speed), false, 0);
                s.Played = true;
            }
        } else if (s.Wave == 0) {
            if (frame > 2)
                s.Wave = PlayWaveFile(s.FileName, true, LoopVolume(s.Volume), float(s.Speed), false, 0);
        } else {
            s.VolumeCurve.SetTime(frame);
            s.SpeedCurve.SetTime(frame);
            s.Volume = s.VolumeCurve.Value;
            s.Speed = s.SpeedCurve.Value;
            SetupWave(s.Wave, LoopVolume(s.Volume), s.Speed);
        }
    }
}

const char* gWeatherModule::FlashRefusal() {
    // Three keys a flash, dropped as the flash passes.
    if (FlashCurve && FlashCurve->PointCount >= 3 * kMaxFlashesWaiting) return "no more than 64 flashes waiting";
    if (!RoomForSound()) return "no more than 256 weather sounds waiting";
    return nullptr;
}

bool gWeatherModule::RoomForSound() {
    if (SoundCount < kMaxSoundRecords) return true;
    // The one-shots played go; what waits, and the looping records, stay in
    // their order.
    std::vector<WeatherSound> kept(1);
    int32_t rain = 0;
    for (int32_t i = 1; i <= SoundCount && size_t(i) < Sounds.size(); ++i) {
        WeatherSound& s = Sounds[size_t(i)];
        if (!s.Looping && s.Played) continue;
        if (i == RainSound) rain = int32_t(kept.size());
        kept.push_back(std::move(s));
    }
    Sounds = std::move(kept);
    SoundCount = int32_t(Sounds.size()) - 1;
    RainSound = rain;
    return SoundCount < kMaxSoundRecords;
}

void gWeatherModule::Flash(int32_t iTime, float iStrength) {
    if (FlashRefusal()) return;
    if (!FlashCurve) FlashCurve = std::make_shared<zLerpStream>();
    FlashCurve->AddPoint(iTime, 0.0f, 0);
    FlashCurve->AddPoint(AddLong(iTime, 2), iStrength, 0);
    FlashCurve->AddPoint(AddLong(iTime, 8), 0.0f, 0);
    const double r = Rnd();
    QueueSound(CLng(double(iTime) + 30.0 + 50.0 * r), iStrength < 0.75f ? "thunder2.wav" : "thunder1.wav",
               1.0f, 1.0f);
}

void gWeatherModule::RenderFlash() {
    if (!FlashCurve) return;
    FlashCurve->SetTime(zCore.FrameCounter);
    const float v = FlashCurve->Value;
    if (!(v > 0)) return;
    zDDraw.RenderZ = 0;
    zDDraw.SetAlphaMode(10);
    zDDraw.ApplyGamma(float(v));
}

void gWeatherModule::RenderWeatherOverlay() {
    zDDraw.RenderZ = 0;
    zDDraw.SetAlphaMode(2);
    zDDraw.SetAlphaValue(ToSingle(1.0 - OverlayColor.A), 100);
    const int32_t color = zDDrawModule::GetColorRGBA(float(OverlayColor.R), float(OverlayColor.G),
                                                     float(OverlayColor.B), float(OverlayColor.A));
    zDDraw.BltSurface(0, 0, float(zDDraw.ScreenW), float(zDDraw.ScreenH), color);
}

int32_t gWeatherModule::QueueSound(int32_t Time, const std::string& FileName, float Volume, float Speed) {
    if (!RoomForSound()) return 0;
    WeatherSound s;
    s.Time = Time;
    s.FileName = FileName;
    s.Volume = Volume;
    s.Speed = Speed;
    s.Played = false;
    Sounds.resize(size_t(SoundCount) + 1);
    Sounds.push_back(std::move(s));
    SoundCount += 1;
    return SoundCount;
}

}  // namespace tarv
