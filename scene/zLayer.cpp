#include "scene/zLayer.h"

#include <algorithm>
#include <cmath>

#include "core/zRuntime.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "scene/zCamera.h"

namespace zun {

double LayerDiv(double a, double b) {
    if (b == 0.0) Raise(errDivByZero);
    return a / b;
}

void CheckGridSize(int32_t W, int32_t H) {
    if (W < 0 || H < 0) Raise(errSubscript);
    if (W >= kMaxGridSide || H >= kMaxGridSide) Raise(errOutOfMemory);
}

void SizeLayerGrid(Grid<uint8_t>& oGrid, int32_t W, int32_t H) {
    CheckGridSize(W, H);
    oGrid.Resize(W + 1, H + 1, 0);
}

void ReadLayerGrid(zStream& iData, Grid<uint8_t>& oGrid, int32_t W, int32_t H) {
    CheckGridSize(W, H);
    int32_t pos = iData.Cursor;
    const int32_t d1 = iData.GetLong(pos);
    const int32_t d2 = iData.GetLong(pos);
    if (d1 != W + 1 || d2 != H + 1) Raise(errSubscript, "Grid size does not match the layer size");
    Grid<uint8_t> g;
    iData.ReadArrayByte2D(g);
    oGrid = std::move(g);
}

void CopyOverlap(const Grid<uint8_t>& oldGrid, Grid<uint8_t>& newGrid) {
    const int32_t w = std::min(oldGrid.d1, newGrid.d1), h = std::min(oldGrid.d2, newGrid.d2);
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i) newGrid(i, j) = oldGrid(i, j);
}

float LayerDepth(float zTop, float zBottom, double k, int32_t camH) {
    return ToSingle(double(zTop) - LayerDiv((double(zTop) - double(zBottom)) * k, double(camH)));
}

void ExportTextureRef(zStream& iData, int32_t iTexture) {
    if (iTexture >= 0 && iTexture <= zDDraw.TextureCount && size_t(iTexture) < zDDraw.Textures.size()) {
        zDDraw.Texture_Export(iData, iTexture);
        return;
    }
    iData.WriteString("");
    iData.WriteLong(0);
    iData.WriteBool(false);
}

void ImportTextureRef(zStream& iData, int32_t& oTexture) { zDDraw.Texture_Import(iData, oTexture); }

bool TextureDimensions(int32_t iTexture, int32_t& oW, int32_t& oH) {
    oW = oH = 0;
    if (iTexture < 0 || iTexture > zDDraw.TextureCount || size_t(iTexture) >= zDDraw.Textures.size()) return false;
    oW = zDDraw.Textures[size_t(iTexture)].W;
    oH = zDDraw.Textures[size_t(iTexture)].H;
    return true;
}

zTiledLayer::zTiledLayer() { Meta = std::make_shared<zValues>(); }

void zTiledLayer::SetTileSize(int32_t iTileW) {
    TileW = iTileW;
    TileW2 = CLng(double(iTileW) / 2.0);
}

bool zTiledLayer::ClipPosition(int32_t& iX, int32_t& iY) const {
    bool clipped = false;
    if (iX < 0) { iX = 0; clipped = true; }
    if (iY < 0) { iY = 0; clipped = true; }
    if (iX > W) { iX = W; clipped = true; }
    if (iY > H) { iY = H; clipped = true; }
    return clipped;
}

namespace {

// Int(((Int(cam - origin) / Parallax + pixel / zoom) / cell) / Zoom), where
// cell is TileW for cells and 1 for pixels.
int32_t WindowToLayer(float cam, float origin, float parallax, float pixel, double cell, float zoom) {
    const double offset = LayerDiv(Int(double(cam) - double(origin)), parallax);
    const double p = offset + LayerDiv(pixel, zDDraw.RenderZoom);
    return CLng(Int(LayerDiv(LayerDiv(p, cell), zoom)));
}

}  // namespace

void zTiledLayer::GetMapPosition(const zCamera& iCam, float iX, float iY, int32_t& oX, int32_t& oY) const {
    if (TileW <= 0) return;
    const int32_t cx = WindowToLayer(iCam.x, x, Parallax, iX, TileW, Zoom);
    const int32_t cy = WindowToLayer(iCam.y, y, Parallax, iY, TileW, Zoom);
    oX = cx;
    oY = cy;
}

void zTiledLayer::GetPixelPosition(const zCamera& iCam, float iX, float iY, int32_t& oX, int32_t& oY) const {
    if (TileW <= 0) return;
    const int32_t px = WindowToLayer(iCam.x, x, Parallax, iX, 1.0, Zoom);
    const int32_t py = WindowToLayer(iCam.y, y, Parallax, iY, 1.0, Zoom);
    oX = px;
    oY = py;
}

void zTiledLayer::ExportHeader(zStream& iData) const {
    iData.WriteSingle(x);
    iData.WriteSingle(y);
    iData.WriteLong(TileW);
    iData.WriteLong(TileW2);
    iData.WriteLong(W);
    iData.WriteLong(H);
    iData.WriteSingle(Parallax);
    iData.WriteSingle(Zoom);
}

void zTiledLayer::ImportHeader(zStream& iData) {
    iData.ReadSingle(x);
    iData.ReadSingle(y);
    iData.ReadLong(TileW);
    iData.ReadLong(TileW2);
    iData.ReadLong(W);
    iData.ReadLong(H);
    iData.ReadSingle(Parallax);
    iData.ReadSingle(Zoom);
}

float zTiledLayer::MetaSingle(const std::string& iName, float iDefault) const {
    return Meta ? Meta->GetSingle(iName, iDefault) : iDefault;
}
int32_t zTiledLayer::MetaLong(const std::string& iName, int32_t iDefault) const {
    return Meta ? Meta->GetLong(iName, iDefault) : iDefault;
}
uint8_t zTiledLayer::MetaByte(const std::string& iName, uint8_t iDefault) const {
    return Meta ? Meta->GetByte(iName, iDefault) : iDefault;
}

}  // namespace zun
