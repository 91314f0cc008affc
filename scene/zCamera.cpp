#include "scene/zCamera.h"

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "scene/zLayer.h"

namespace zun {

CameraViewport gCameraViewport;

zCamera::zCamera() { Meta = std::make_shared<zValues>(); }

std::shared_ptr<iChunk> zCamera::Create() const {
    zDDraw.RenderZoom = 1.0f;
    return std::make_shared<zCamera>();
}

bool zCamera::Export(zStream& iData) {
    iData.WriteSingle(x);
    iData.WriteSingle(y);
    iData.WriteSingle(Z);
    iData.WriteSingle(R);
    iData.WriteLong(W);
    iData.WriteLong(H);
    iData.WriteLong(ScreenW);
    iData.WriteLong(ScreenH);
    iData.WriteSingle(dX);
    iData.WriteSingle(dY);
    iData.WriteSingle(MoveSpeed);
    return true;
}

bool zCamera::Import(zStream& iData) {
    iData.ReadSingle(x);
    iData.ReadSingle(y);
    iData.ReadSingle(Z);
    iData.ReadSingle(R);
    iData.ReadLong(W);
    iData.ReadLong(H);
    iData.ReadLong(ScreenW);
    iData.ReadLong(ScreenH);
    iData.ReadSingle(dX);
    iData.ReadSingle(dY);
    iData.ReadSingle(MoveSpeed);
    return true;
}

void zCamera::Configure(int32_t iScreenW, int32_t iScreenH, bool iCenterTarget) {
    CenterTarget = iCenterTarget;
    SetSize(iScreenW, iScreenH);
    BackupPosition();
}

void zCamera::SetSize(int32_t iScreenW, int32_t iScreenH) {
    ScreenW = iScreenW;
    ScreenH = iScreenH;
    zDDraw.ViewW = ScreenW;
    zDDraw.ViewH = ScreenH;
    W = CLng(LayerDiv(ScreenW, zDDraw.RenderZoom));
    H = CLng(LayerDiv(ScreenH, zDDraw.RenderZoom));
    // Without a device there is no viewport to set; the camera works all the same.
    if (zDDraw.Device) {
        gCameraViewport.X = 0;
        gCameraViewport.Y = 0;
        gCameraViewport.Width = iScreenW;
        gCameraViewport.Height = iScreenH;
        gCameraViewport.MinZ = 0.0f;
        gCameraViewport.MaxZ = 1.0f;
        gCameraViewport.Requests += 1;
    }
    SetPosition(dX, dY);
}

void zCamera::SetPosition(float iX, float iY) {
    dX = iX;
    dY = iY;
    if (CenterTarget) {
        x = ToSingle(double(dX) - double(W) / 2.0);
        y = ToSingle(double(dY) - double(H) / 2.0);
    } else {
        x = dX;
        y = dY;
    }
}

void zCamera::SetTarget(float iX, float iY) {
    dX = iX;
    dY = iY;
}

void zCamera::Update() {
    float tx = dX, ty = dY;
    if (CenterTarget) {
        tx = ToSingle(double(dX) - double(W) / 2.0);
        ty = ToSingle(double(dY) - double(H) / 2.0);
    }
    zMath::MoveTowards(x, tx, MoveSpeed, 1.0f, 16.0f);
    zMath::MoveTowards(y, ty, MoveSpeed, 1.0f, 16.0f);
}

namespace {

// One axis of ClipToMap: the view [pos, pos + parallax * size) against the
// map's extent [origin, far).
void ClipAxis(float& pos, double origin, double extent, int32_t size, double parallax) {
    const double far = CLng(origin + extent);
    const double view = parallax * double(size);
    if (view <= far) {
        if (pos > far - view) pos = ToSingle(far - view);
        if (pos < origin) pos = ToSingle(origin);
    } else {
        pos = ToSingle((far - view) / 2.0);
    }
}

}  // namespace

void zCamera::ClipToMap(float MapX, float MapY, float MapW, float MapH, int32_t TileW, float iParallax,
                        float iZoom) {
    if (MapW == 0 || MapH == 0 || iParallax == 0 || iZoom == 0) return;
    const double scale = double(TileW) * double(iZoom) * double(iParallax);
    ClipAxis(x, MapX, (double(MapW) + 1.0) * scale, W, iParallax);
    ClipAxis(y, MapY, (double(MapH) + 1.0) * scale, H, iParallax);
}

void zCamera::BackupPosition() {
    if (!Meta) Meta = std::make_shared<zValues>();
    Meta->SetSingle("lX", x);
    Meta->SetSingle("lY", y);
    Meta->SetSingle("lR", R);
    Meta->SetSingle("lZ", Z);
}

}  // namespace zun
