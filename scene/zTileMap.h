// The layer of a level's ground, walls and roofs: a grid of cells, each naming
// a tile of one of the map's tile sets and the direction to draw it in. Tile
// sets are shared chunks of the same file, referred to by GUID.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zGrid.h"
#include "scene/zLayer.h"

namespace zun {

class zTileSet;
struct zVisibleCells;

class zTileMap : public zTiledLayer {
public:
    zTileMap();

    std::string ClassName() const override { return "zTileMap"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zTileMap>(); }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;
    void ExportInstances(zFile& iFile) override;
    void ImportInstances(zFile& iFile) override;

    uint8_t TileSetCount() const { return tileSetCount_; }

    // The new set number, or 0 for a set of another cell size or one already held.
    int32_t AddTileSet(const std::shared_ptr<zTileSet>& iTileSet);
    // Null for 0, an empty slot or a number past the list.
    std::shared_ptr<zTileSet> GetTileSet(uint8_t Index) const;
    // iList = slots 0..TileSetCount (slot 0 empty); returns TileSetCount.
    uint8_t GetTileSets(std::vector<std::shared_ptr<zTileSet>>& iList) const;
    // Drops a set; cells of it become empty, cells of later sets are renumbered.
    void RemoveTileSet(uint8_t iSet);
    uint8_t GetTileIndex(int32_t iX, int32_t iY) const;

    void SetTile(int32_t iX, int32_t iY, uint8_t iSet, uint8_t iTile, uint8_t iRot);
    void GetTile(int32_t iX, int32_t iY, uint8_t& oSet, uint8_t& oTile, uint8_t& oRot) const;
    void SetSize(int32_t iW, int32_t iH);
    void Resize(int32_t iW, int32_t iH);

    void Update() override {}
    void Render(const zCamera& iCam) override;
    // Only the cells whose tile animates (iAni true) or only the still ones.
    void RenderAni(const zCamera& iCam, bool iAni);
    // The cells of a range drawn as Render draws them, cell (0, 0) at the
    // range's view position: a copy of the layer at another place. iCamH is
    // the view height the depth runs over when "_z" and "_z2" differ.
    void RenderCells(const zVisibleCells& iCells, int32_t iCamH);

private:
    enum class Cells { All, Animated, Still };
    void Draw(const zCamera& iCam, Cells which);
    void DrawCells(const zVisibleCells& v, int32_t camH, Cells which);

    uint8_t tileSetCount_ = 0;
    std::vector<std::shared_ptr<zTileSet>> tileSets_{1};  // slot 0 stays empty
    std::vector<std::string> tileSetGUIDs_{1};            // GUIDs as stored, same slots
    Grid<uint8_t> setGrid_, tileGrid_, rotGrid_;
};

}  // namespace zun
