// Which movers each cell of a level blocks, and which part of the cell is
// solid: a code grid (bit mask of mover classes) and a shape grid (52
// sub-cell shapes). Pixel and cell tests for movement and path finding, and a
// coloured overlay for the debug view and the water mask.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zGrid.h"
#include "scene/zLayer.h"

namespace zun {

// Whether the pixel at offset (u, v) inside a cell of edge T (half edge h)
// is solid for the given shape number; numbers above 51 are never solid.
bool CollisionShapeSolid(uint8_t iShape, int32_t u, int32_t v, int32_t T, int32_t h);

class zCollisionMap : public zTiledLayer {
public:
    zCollisionMap();

    std::string ClassName() const override { return "zCollisionMap"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zCollisionMap>(); }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    // Outside the grid the outputs keep their values.
    void GetTile(int32_t iX, int32_t iY, uint8_t& oCol, uint8_t& oMask) const;
    // Outside the grid nothing happens.
    void SetTile(int32_t iX, int32_t iY, uint8_t iCol, uint8_t iMask);
    // True when the pixel (map space, no origin or zoom) is solid for a mover
    // of class mask iFlags; everything outside the map is solid.
    bool CheckCollision(int32_t iX, int32_t iY, uint8_t iFlags) const;
    // True when the whole cell is passable for the mover: its code lacks a bit
    // of iFlags. A cell outside the grid is not passable.
    // Inline: the path search asks it once for every cell it floods.
    bool CheckTileCollision(int32_t mX, int32_t mY, uint8_t iFlags) const {
        if (!codeGrid_.InBounds(mX, mY)) return false;
        return (codeGrid_(mX, mY) & iFlags) != iFlags;
    }
    // The codes row by row, W + 1 to a row, for a search that reads many
    // cells; nullptr when the grid is not (W + 1) x (H + 1) cells (a layer
    // whose import failed half-way).
    const uint8_t* CodeCells() const {
        const bool whole = codeGrid_.d1 == int64_t(W) + 1 && codeGrid_.d2 == int64_t(H) + 1;
        return whole ? codeGrid_.data.data() : nullptr;
    }
    void SetSize(int32_t iW, int32_t iH);
    void Resize(int32_t iW, int32_t iH);

    void Update() override {}
    void Render(const zCamera& iCam) override { Render(iCam, 0, -1, -1); }
    // The overlay: flags 0 take meta "_ShowMode"; colour -1 takes the default
    // green (free) or red (block) with alpha 1 - "_Alpha". Colour 0 draws nothing.
    void Render(const zCamera& iCam, uint8_t iFlags, int32_t iColorFree = -1, int32_t iColorBlock = -1);
    // The view rectangle (x0, y0)-(x1, y1) holding every visible cell that
    // blocks iFlags (flags 0: as Render takes them): outside it that overlay
    // is the free colour throughout. Empty (x1 < x0) when no such cell shows.
    // False when the cells drawn do not cover the view (iViewW x iViewH) or
    // the cells carry debug text.
    bool BlockedBounds(const zCamera& iCam, uint8_t iFlags, float iViewW, float iViewH, float& oX0, float& oY0,
                       float& oX1, float& oY1) const;
    // The same cells one by one, as view rectangles that do not overlap: the
    // runs of each row, a run the rows below repeat grown down over them.
    struct ViewRect {
        float x0, y0, x1, y1;
    };
    bool BlockedRects(const zCamera& iCam, uint8_t iFlags, float iViewW, float iViewH,
                      std::vector<ViewRect>& oRects) const;

private:
    Grid<uint8_t> codeGrid_, shapeGrid_;
};

}  // namespace zun
