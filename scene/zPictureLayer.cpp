#include "scene/zPictureLayer.h"

#include <cmath>

#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"

namespace zun {

zPictureLayer::zPictureLayer() { Meta = std::make_shared<zValues>(); }

bool zPictureLayer::Export(zStream& iData) {
    iData.WriteSingle(x);
    iData.WriteSingle(y);
    iData.WriteSingle(Parallax);
    iData.WriteSingle(Zoom);
    ExportTextureRef(iData, Texture);
    return true;
}

bool zPictureLayer::Import(zStream& iData) {
    iData.ReadSingle(x);
    iData.ReadSingle(y);
    iData.ReadSingle(Parallax);
    iData.ReadSingle(Zoom);
    ImportTextureRef(iData, Texture);
    return true;
}

void zPictureLayer::Update() {
    if (!Meta) return;
    x = ToSingle(double(x) + Meta->GetSingle("_MoveX"));
    y = ToSingle(double(y) + Meta->GetSingle("_MoveY"));
}

void zPictureLayer::SetStretchMode(int32_t iMode) {
    if (!Meta) Meta = std::make_shared<zValues>();
    Meta->SetLong("_StretchMode", iMode);
}

namespace {

void Piece(int32_t tex, double X, double Y, double w, double h) {
    zDDraw.Blt(tex, ToSingle(X), ToSingle(Y), ToSingle(w), ToSingle(h), 0, 0, 0, 0, zDDraw.DiffuseColor, 1.0f);
}

// Phase of a scroll position within a piece: (s / d - Int(s / d)) * d.
double Phase(double s, double d) {
    const double q = LayerDiv(s, d);
    return (q - Int(q)) * d;
}

// Last index of the pieces along one axis: CLng(Int(view / piece) + 1).
int32_t LastPiece(double view, double piece) { return CLng(Int(LayerDiv(view, piece)) + 1.0); }

}  // namespace

void zPictureLayer::Render(const zCamera& iCam) {
    if (Texture < 1) return;
    const float z = Meta ? Meta->GetSingle("_z") : 0.0f;
    zDDraw.RenderZ = z;
    const int32_t mode = Meta ? Meta->GetLong("_StretchMode") : 0;
    int32_t texW = 0, texH = 0;
    if (!TextureDimensions(Texture, texW, texH)) Raise(errSubscript);
    const double camW = iCam.W, camH = iCam.H;

    switch (mode) {
    case 0:
        Piece(Texture, LayerDiv(x, Parallax), LayerDiv(y, Parallax), double(Zoom) * texW, double(Zoom) * texH);
        return;
    case 1:
        Piece(Texture, 0, 0, camW, camH);
        return;
    case 5: {
        const double dw = double(Zoom) * texW, dh = double(Zoom) * texH;
        Piece(Texture, (camW - dw) / 2 + LayerDiv(x, Parallax), (camH - dh) / 2 + LayerDiv(y, Parallax), dw, dh);
        return;
    }
    default:
        break;
    }

    const double dw = std::fabs(double(Zoom) * texW), dh = std::fabs(double(Zoom) * texH);
    double sx = LayerDiv(double(iCam.x) - x + camW / 2, Parallax) - camW / 2;
    double sy = LayerDiv(double(iCam.y) - y + camH / 2, Parallax) - camH / 2;
    sx = Phase(sx, dw);
    sy = Phase(sy, dh);
    switch (mode) {
    case 2: {
        const int32_t n = LastPiece(camW, dw);
        if (n > MaxPieces) return;
        for (int32_t i = 0; i <= n; ++i) Piece(Texture, i * dw - sx, 0, dw, camH);
        return;
    }
    case 3: {
        const int32_t n = LastPiece(camH, dh);
        if (n > MaxPieces) return;
        for (int32_t j = 0; j <= n; ++j) Piece(Texture, 0, j * dh - sy, camW, dh);
        return;
    }
    case 4: {
        const int32_t nx = LastPiece(camW, dw), ny = LastPiece(camH, dh);
        if (nx > MaxPieces || ny > MaxPieces || int64_t(nx + 1) * (ny + 1) > int64_t(MaxPieces) * 16) return;
        for (int32_t j = 0; j <= ny; ++j)
            for (int32_t i = 0; i <= nx; ++i) Piece(Texture, i * dw - sx, j * dh - sy, dw, dh);
        return;
    }
    default:
        return;
    }
}

}  // namespace zun
