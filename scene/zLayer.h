// What every map layer shares: the drawable-layer interface iRender and the
// layer header of the tiled layers (origin, cell size, highest cell indexes,
// parallax and zoom) with its position conversions and its 32-byte stored
// prologue.
//
// Usage (a tiled layer):
//   class zMyMap : public zTiledLayer {
//       std::string ClassName() const override { return "zMyMap"; }
//       std::shared_ptr<iChunk> Create() const override { return std::make_shared<zMyMap>(); }
//       bool Export(zStream& s) override { ExportHeader(s); ...own data...; return true; }
//       bool Import(zStream& s) override { ImportHeader(s); ...own data...; return true; }
//       void Update() override {}
//       void Render(const zCamera& cam) override { zCore.CurrentProc = "MyMap_Render"; ... }
//   };
// Grids sized from outside go through CheckGridSize / ReadLayerGrid, so a
// hostile file can neither allocate without bound nor leave a grid that
// disagrees with W and H.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/zGrid.h"
#include "core/zInterfaces.h"
#include "core/zValues.h"

namespace zun {

class zCamera;
class zStream;

class iRender {
public:
    virtual ~iRender() = default;
    // Once per frame, before drawing.
    virtual void Update() = 0;
    // Draws the layer through the camera; optional parameters of a layer's own
    // Render take their defaults.
    virtual void Render(const zCamera& iCam) = 0;
};

// The most cells a layer grid may have along one axis.
inline constexpr int32_t kMaxGridSide = 4096;

// "Division by zero" for a zero divisor (whatever the dividend), else a / b.
double LayerDiv(double a, double b);

// Raises unless 0 <= W, H and W + 1, H + 1 <= kMaxGridSide ("Subscript out of
// range" for negative bounds, "Out of memory" above the cap).
void CheckGridSize(int32_t W, int32_t H);

// Reads a 2-D byte grid that must have exactly (W + 1) x (H + 1) cells. The
// sizes are checked before the grid is read; a mismatch raises and leaves oGrid
// unchanged.
void ReadLayerGrid(zStream& iData, Grid<uint8_t>& oGrid, int32_t W, int32_t H);

// A byte grid of (W + 1) x (H + 1) zero cells (after CheckGridSize).
void SizeLayerGrid(Grid<uint8_t>& oGrid, int32_t W, int32_t H);

// Copies the cells (x <= min(W, oldW), y <= min(H, oldH)) of an old grid into
// a new one, as the layers' Resize does when the old W and H were both above 0.
void CopyOverlap(const Grid<uint8_t>& oldGrid, Grid<uint8_t>& newGrid);

// Depth of an element whose key lies k view pixels below the top of the view:
// zTop at the top edge, zBottom at the bottom edge, linear in between and
// beyond. A view height of 0 raises "Division by zero".
float LayerDepth(float zTop, float zBottom, double k, int32_t camH);

// A texture reference (file name, colour key, smooth flag) as the texture
// cache writes it. A handle the cache does not hold (no device, a stale
// handle) is written as the empty reference instead of failing the save.
void ExportTextureRef(zStream& iData, int32_t iTexture);
// Reads a texture reference and loads (or reuses) the texture; oTexture gets
// the handle, 0 when the file could not be had (the cache logs why).
void ImportTextureRef(zStream& iData, int32_t& oTexture);
// Width and height of a texture handle as the cache records them; false (and
// 0 x 0) for a handle outside the table.
bool TextureDimensions(int32_t iTexture, int32_t& oW, int32_t& oH);

class zTiledLayer : public iChunk, public iRender {
public:
    float x = 0, y = 0;       // layer origin in world pixels
    int32_t TileW = 0;        // cell edge in layer pixels; 0 = not sized
    int32_t TileW2 = 0;       // CLng(TileW / 2)
    int32_t W = 0, H = 0;     // highest column and row index
    float Parallax = 1.0f;    // scroll divisor
    float Zoom = 1.0f;        // layer scale

    zTiledLayer();

    void SetTileSize(int32_t iTileW);
    // Clamps a cell into 0..W, 0..H; True when any clamp applied.
    bool ClipPosition(int32_t& iX, int32_t& iY) const;
    // Window pixel to cell; with TileW <= 0 the outputs keep their values.
    void GetMapPosition(const zCamera& iCam, float iX, float iY, int32_t& oX, int32_t& oY) const;
    // Window pixel to layer pixel; with TileW <= 0 the outputs keep their values.
    void GetPixelPosition(const zCamera& iCam, float iX, float iY, int32_t& oX, int32_t& oY) const;

    // The 32-byte header: x, y, TileW, TileW2, W, H, Parallax, Zoom.
    void ExportHeader(zStream& iData) const;
    void ImportHeader(zStream& iData);

    // Meta values with their defaults; a layer without a meta record reads defaults.
    float MetaSingle(const std::string& iName, float iDefault = 0.0f) const;
    int32_t MetaLong(const std::string& iName, int32_t iDefault = 0) const;
    uint8_t MetaByte(const std::string& iName, uint8_t iDefault = 0) const;
};

}  // namespace zun
