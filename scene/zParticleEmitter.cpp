#include "scene/zParticleEmitter.h"

#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zDataShape.h"
#include "scene/zSceneHooks.h"

namespace zun {

namespace {

// The marker picture is editor-only. A missing "editor.png" would log an error
// on every frame for every emitter; after one failed load on a device the
// marker is left out until another device or texture folder is in use.
const RenderBackend* gMarkerMissingOn = nullptr;
std::string gMarkerMissingIn;
bool gMarkerMissing = false;

}  // namespace

zParticleEmitter::zParticleEmitter() : ParticleData(NewValues()) { Meta = std::make_shared<zValues>(); }

bool zParticleEmitter::Export(zStream& iData) {
    if (!ParticleData) ParticleData = NewValues();
    iData.WriteSingle(x);
    iData.WriteSingle(y);
    iData.WriteSingle(Z);
    iData.WriteSingle(R);
    iData.WriteString(ManagerName);
    ParticleData->Export(iData);
    return true;
}

bool zParticleEmitter::Import(zStream& iData) {
    iData.ReadSingle(x);
    iData.ReadSingle(y);
    iData.ReadSingle(Z);
    iData.ReadSingle(R);
    iData.ReadString(ManagerName);
    ParticleData = NewValues();
    ParticleData->Import(iData);
    return true;
}

void zParticleEmitter::Update(float iDist) {
    (void)iDist;
    if (gSceneHooks.UpdateCustomEmitter) gSceneHooks.UpdateCustomEmitter(*this);
}

void zParticleEmitter::Render(const zCamera& iCam) {
    if (gMarkerMissing && gMarkerMissingOn == zDDraw.Device.get() && gMarkerMissingIn == zDDraw.TexturePath) return;
    const int32_t tex = zDDraw.LoadTexture("editor.png", false, -1, 1, 0);
    if (tex == 0) {
        gMarkerMissing = true;
        gMarkerMissingOn = zDDraw.Device.get();
        gMarkerMissingIn = zDDraw.TexturePath;
        return;
    }
    gMarkerMissing = false;
    const float X = ToSingle(double(x) - Int(iCam.x) - 16.0);
    const float Y = ToSingle(double(y) - Int(iCam.y) - 16.0);
    zDDraw.Blt(tex, X, Y, 32.0f, 32.0f, 32, 16, 32, 32, -1, 1.0f);
}

void zParticleEmitter::RenderSelected(const zCamera& iCam) {
    const int32_t white = zDDrawModule::GetColorRGB(1, 1, 1);
    const int32_t black = zDDrawModule::GetColorRGB(0, 0, 0);
    zDDraw.BltCircle(ToSingle(double(x) - iCam.x), ToSingle(double(y) - iCam.y), R, white, 0, 0.2f);
    const float gx = ToSingle(double(x) - Int(iCam.x)), gy = ToSingle(double(y) - Int(iCam.y));
    const float top = ToSingle(double(gy) - Z);
    zDDraw.BltLine(gx, gy, gx, top, black, white);
    zDDraw.BltCircle(gx, top, 5.0f, white, 0, 4.0f);
}

}  // namespace zun
