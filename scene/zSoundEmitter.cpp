#include "scene/zSoundEmitter.h"

#include <cmath>

#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zSceneHooks.h"
#include "scene/zWaveService.h"

namespace zun {

zSoundEmitter::zSoundEmitter() { Meta = std::make_shared<zValues>(); }

bool zSoundEmitter::Export(zStream& iData) {
    iData.WriteSingle(x);
    iData.WriteSingle(y);
    iData.WriteSingle(Z);
    iData.WriteSingle(R);
    iData.WriteString(SoundFile);
    iData.WriteSingle(FadeR);
    iData.WriteByte(FadeMode);
    iData.WriteSingle(Volume);
    iData.WriteSingle(Frequency);
    return true;
}

bool zSoundEmitter::Import(zStream& iData) {
    iData.ReadSingle(x);
    iData.ReadSingle(y);
    iData.ReadSingle(Z);
    iData.ReadSingle(R);
    iData.ReadString(SoundFile);
    iData.ReadSingle(FadeR);
    iData.ReadByte(FadeMode);
    iData.ReadSingle(Volume);
    iData.ReadSingle(Frequency);
    return true;
}

void zSoundEmitter::Update(float iDist) {
    if (iDist < R) {
        CheckRange(iDist);
    } else if (ActSound > 0 && Playing) {
        if (auto waves = WaveService()) waves->StopWave(ActSound);
        Playing = false;
    }
}

void zSoundEmitter::LoadData() {
    auto waves = WaveService();
    if (!waves) {
        ActSound = 0;
        return;
    }
    iWaveService::LoadResult result = iWaveService::LoadResult::Off;
    ActSound = waves->LoadWave(SoundFile, true, result);
    if (ActSound < 0) ActSound = 0;
    loadFailed_ = ActSound == 0 && result == iWaveService::LoadResult::Failed;
    failedFile_ = loadFailed_ ? SoundFile : std::string();
}

double zSoundEmitter::VolumeFactor(float iDist) const {
    if (iDist <= FadeR) return 1.0;
    // Only reached with FadeR < iDist < R, so the span is above 0.
    const double t = (double(iDist) - FadeR) / (double(R) - FadeR);
    switch (FadeMode) {
    case FadeLinear: return 1.0 - 0.5 * t;
    case FadeSqrt: return 1.0 - 0.5 * std::sqrt(t);
    case FadeSquare: return 1.0 - 0.5 * t * t;
    default: return 0.0;
    }
}

void zSoundEmitter::CheckRange(float iDist) {
    if (ActSound == 0) {
        if (loadFailed_ && failedFile_ == SoundFile) return;
        LoadData();
        if (ActSound == 0) return;
    }
    auto waves = WaveService();
    if (!waves) return;
    const float volume = float(VolumeFactor(iDist) * Volume);
    if (waves->IsWavePlaying(ActSound)) {
        waves->SetupWave(ActSound, volume, Frequency);
    } else {
        waves->PlayWave(ActSound, true, volume, Frequency, 0);
    }
    Playing = true;
}

void zSoundEmitter::Unload() {
    if (ActSound > 0) {
        if (auto waves = WaveService()) {
            waves->StopWave(ActSound);
            // The emitter's buffer is its own (loaded as a new one), and a
            // level that is dropped never plays it again.
            waves->ReleaseWave(ActSound);
        }
        ActSound = 0;
    }
    Playing = false;
}

void zSoundEmitter::Render(const zCamera& iCam) {
    const float X = ToSingle(double(x) - Int(iCam.x) - 16.0);
    const float Y = ToSingle(double(y) - Int(iCam.y) - 16.0);
    zDDraw.Blt(gSceneHooks.SymbolTexture, X, Y, 32.0f, 32.0f, 0, 16, 32, 32, -1, 1.0f);
}

void zSoundEmitter::RenderSelected(const zCamera& iCam) {
    const int32_t white = zDDrawModule::GetColorRGB(1, 1, 1);
    const int32_t black = zDDrawModule::GetColorRGB(0, 0, 0);
    const int32_t blue = zDDrawModule::GetColorRGB(0, 0, 1);
    const float cx = ToSingle(double(x) - iCam.x), cy = ToSingle(double(y) - iCam.y);
    zDDraw.BltCircle(cx, cy, R, white, 0, 0.2f);
    if (0 < FadeR && FadeR < R) zDDraw.BltCircle(cx, cy, FadeR, blue, 0, 0.2f);
    const float gx = ToSingle(double(x) - Int(iCam.x)), gy = ToSingle(double(y) - Int(iCam.y));
    const float top = ToSingle(double(gy) - Z);
    zDDraw.BltLine(gx, gy, gx, top, black, white);
    zDDraw.BltCircle(gx, top, 5.0f, white, 0, 4.0f);
}

}  // namespace zun
