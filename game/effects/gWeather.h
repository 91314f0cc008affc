// Light and weather from the time of day: the ambient colour and the sun
// (direction, shadow length, shadow strength) follow the day fraction t
// (0 midnight, 0.5 noon); a lightning flash brightens the ambient light and
// the screen and brings its thunder 30 to 80 frames later; wind, while it
// blows, queues wind sounds; snow and rain fall around the view as
// particles; queued weather sounds play when due; a full-screen overlay can
// tint the view.
//
// Usage (the shell):
//   gWeather.Weather_Initialize(camera);          // once at start-up
//   gWeather.UpdateWeather(gameTime / 1000);      // every frame
//   ... ambient colour from gWeather.Ambient, sun shadows from gWeather.Sun ...
//   gWeather.RenderWeatherOverlay(); gWeather.RenderFlash();
// Flash and sound times are frame numbers of zCore.FrameCounter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zLerpStream.h"

namespace zun {
class zCamera;
}

namespace tarv {

struct WeatherSound {
    int32_t Time = 0;      // frame after which a one-shot plays
    std::string FileName;  // wave file in the sound folder
    int32_t Wave = 0;      // handle it was played on; 0 = not yet (or not playable)
    float Volume = 0;
    zun::zLerpStream VolumeCurve;  // looping records: volume over frames
    float Speed = 0;
    zun::zLerpStream SpeedCurve;  // looping records: speed over frames
    bool Played = false;          // a one-shot has been played
    bool Looping = false;
};

struct AmbientColor {
    float R = 0, G = 0, B = 0;
};

struct SunValues {
    float Angle = 0;   // towards the sun
    float Length = 0;  // sun-shadow length in pixels
    float Alpha = 0;   // sun-shadow transparency: 0 opaque, 1 invisible
};

struct OverlayValues {
    float R = 0, G = 0, B = 0;
    float A = 0;  // the overlay's strength; nothing in the game raises it
};

struct gWeatherModule {
    std::shared_ptr<zun::zCamera> Camera;  // the view camera; snow and rain fall around it
    AmbientColor Ambient;
    SunValues Sun;
    std::shared_ptr<zun::zLerpStream> FlashCurve =
        std::make_shared<zun::zLerpStream>();  // lightning over frames
    OverlayValues OverlayColor;
    float WindStrength = 0, WindAngle = 0;
    int32_t RainTexture = 0, SnowTexture = 0;
    float RainDensity = 0, SnowDensity = 0;  // chance per update of one particle
    int32_t RainSound = 0;                   // index of a looping record that follows the rain; 0 = none
    float RainSoundTarget = 0;               // the rain sound's level its curve was last sent towards
    int32_t SoundCount = 0;
    std::vector<WeatherSound> Sounds{1};  // 1..SoundCount; records are never removed
    int32_t NextWindSound = 0;
    bool WindToggle = false;

    // Keeps the camera, starts an empty flash curve and loads "Weather
    // Rain.png" and "Weather Snow.png".
    void Weather_Initialize(const std::shared_ptr<zun::zCamera>& iCamera);
    // One weather step at day fraction t: ambient and sun, overlay colour,
    // darkening by the overlay, brightening by the flash, clamping, wind
    // sounds, rain, snow, due sounds.
    void UpdateWeather(float t);
    void UpdateAmbient(float t);
    void UpdateSun(float t);
    // A flash rising from frame iTime to iStrength in 2 frames and gone after
    // 8, and its thunder 30 to 80 frames later ("thunder2.wav" below strength
    // 0.75, else "thunder1.wav"). Nothing is queued when FlashRefusal says why.
    void Flash(int32_t iTime, float iStrength);
    // Why no more flash can wait now ("no more than 64 flashes waiting"), or
    // null. Flashes and sounds waiting are bounded, so a script that asks
    // for thousands a frame cannot make every frame walk thousands.
    const char* FlashRefusal();
    static constexpr int32_t kMaxFlashesWaiting = 64;
    // Records the sound queue keeps: past it the one-shots already played
    // leave it, and a sound is refused while those waiting fill it.
    static constexpr int32_t kMaxSoundRecords = 256;
    // Samples the flash curve at the current frame and adds its brightness
    // over the whole screen.
    void RenderFlash();
    // The overlay colour over the whole screen at opacity A.
    void RenderWeatherOverlay();
    // Appends a one-shot record; returns the new SoundCount, 0 when the queue
    // holds kMaxSoundRecords waiting.
    int32_t QueueSound(int32_t Time, const std::string& FileName, float Volume, float Speed);
    // Room for one more record: played one-shots leave a full queue.
    bool RoomForSound();
};
extern gWeatherModule gWeather;

}  // namespace tarv
