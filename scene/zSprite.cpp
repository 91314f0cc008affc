#include "scene/zSprite.h"

#include "core/zRuntime.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"
#include "scene/zLayer.h"

namespace zun {

bool zSprite::Export(zStream& iData, bool iTexture) {
    iData.WriteSingle(x);
    iData.WriteSingle(y);
    iData.WriteSingle(Z);
    iData.WriteSingle(R);
    if (iTexture) ExportTextureRef(iData, Texture);
    iData.WriteSingle(Alpha);
    iData.WriteSingle(ZoomX);
    iData.WriteSingle(ZoomY);
    iData.WriteLong(SrcX);
    iData.WriteLong(SrcY);
    iData.WriteLong(W);
    iData.WriteLong(H);
    iData.WriteSingle(OriginX);
    iData.WriteSingle(OriginY);
    return true;
}

bool zSprite::Import(zStream& iData, bool iTexture) {
    iData.ReadSingle(x);
    iData.ReadSingle(y);
    iData.ReadSingle(Z);
    iData.ReadSingle(R);
    if (iTexture) ImportTextureRef(iData, Texture);
    iData.ReadSingle(Alpha);
    iData.ReadSingle(ZoomX);
    iData.ReadSingle(ZoomY);
    iData.ReadLong(SrcX);
    iData.ReadLong(SrcY);
    iData.ReadLong(W);
    iData.ReadLong(H);
    iData.ReadSingle(OriginX);
    iData.ReadSingle(OriginY);
    return true;
}

void zSprite::LoadTexture(const std::string& iDataName, bool iSmooth, int32_t iColorKey) {
    Texture = zDDraw.LoadTexture(iDataName, iSmooth, iColorKey, 1, 0);
    TextureDimensions(Texture, W, H);
    OriginX = float(W) / 2.0f;
    OriginY = float(H) / 2.0f;
}

void zSprite::Render(const zCamera& iCam, float iZoom) {
    if (Texture == 0) return;
    // The device clamps the value it is given and hands it back.
    if (Alpha > 0) zDDraw.SetAlphaValue(Alpha, 100);
    const double zx = double(ZoomX) * iZoom, zy = double(ZoomY) * iZoom;
    float width = ToSingle(Int(zx * W));
    float height = ToSingle(Int(zy * H));
    const float X = ToSingle(double(x) - Int(iCam.x) - double(OriginX) * zx);
    const float Y = ToSingle(double(y) - Int(iCam.y) - double(OriginY) * zy - Z);
    const float cx = ToSingle(double(OriginX) * ZoomX), cy = ToSingle(double(OriginY) * ZoomY);
    zDDraw.BltRotate(Texture, X, Y, width, height, SrcX, SrcY, W, H, zDDraw.DiffuseColor, R, cx, cy, 1.0f, Flipped);
}

void zSprite::RenderDepth(const zCamera& iCam, float iTopZ, float iBottomZ) {
    if (Texture == 0) return;
    zDDraw.RenderZ = LayerDepth(iTopZ, iBottomZ, double(y) - iCam.y, iCam.H);
    Render(iCam, 1.0f);
}

}  // namespace zun
