// Tile sheets: a 256 x 256 texture cut into square cells of TileW pixels, one
// zTile per cell telling where its picture lies on the sheet, how tall it
// stands and how it animates. Tiles animate by the frame counter, not by time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/zInterfaces.h"

namespace zun {

class zTile : public iClass, public iStream {
public:
    uint8_t x = 0, y = 0;          // sheet cell of the first frame
    uint8_t Z = 0;                 // height in cells (lowers the depth reference)
    uint8_t FramesX = 0;           // highest frame offset along a row; 0 = still
    uint8_t FramesY = 0;           // highest frame row offset
    int32_t AniSpeed = 0;          // counter frames per step
    int32_t AniWaitX = 0;          // extra pause after a row
    int32_t AniWaitY = 0;          // extra pause after the last row
    uint8_t AniFrameX = 0, AniFrameY = 0;  // current frame offsets
    int32_t AniNext = 0;           // counter value at which the next step is due

    std::string ClassName() const override { return "zTile"; }
    uint8_t ClassVersion() const override { return 1; }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    // One check against zCore.FrameCounter; steps when due.
    void Animate();
};

class zTileSet : public iChunk {
public:
    int32_t TileW = 0;      // cell edge in sheet pixels; 0 = not sized
    int32_t TileW2 = 0;     // CLng(TileW / 2)
    int32_t Texture = 0;    // sheet texture handle; 0 = none
    uint8_t TileCount = 0;  // highest tile index

    zTileSet();

    std::string ClassName() const override { return "zTileSet"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zTileSet>(); }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    // Sets the cell size; the first sizing (TileW was 0) makes the default tiles.
    void SetTileSize(int32_t iTileW);
    // One plain tile per sheet cell, when the sheet holds at most 256 of them.
    void CreateDefaultTiles();
    // Animates tiles 0..TileCount; a set with TileCount 0 animates nothing.
    void Update();
    // The live tile record; null above TileCount.
    zTile* GetTile(uint8_t Index);

private:
    std::vector<zTile> tiles_;  // 0..TileCount
};

}  // namespace zun
