// Every picture of the demo, painted by code: the interface pictures the game
// loads by name (cursors, shadow, particles, light, weather, frames, face
// pictures, editor symbols), the character sheets, the tile sheets and the
// item sheets of the levels, and the pictures of the picture layers. The
// catalogue also names the tiles and sprites inside the sheets, so that the
// level descriptions can refer to them by name.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/democontent/DemoCanvas.h"

namespace tarv::demo {

// One picture file of "img" and how the levels refer to it.
struct ArtSheet {
    std::string File;        // file name in "img", e.g. "Tiles Village.png"
    DemoCanvas Picture;
    int32_t ColorKey = 0;    // ARGB colour key a level stores with the reference (0: none)
    bool Smooth = false;     // smoothing flag a level stores with the reference
};

// A tile of a tile sheet: the index of its tile record, the sheet cell its
// picture lies in (16 cells to a row of a 256-pixel sheet of 16-pixel
// tiles; a plain tile's record has its own cell's index), its height in
// cells and its animation (frames side by side to the right of the cell).
struct TileDef {
    uint8_t Index = 0;
    uint8_t CellX = 0, CellY = 0;
    uint8_t Z = 0;
    uint8_t FramesX = 0;  // highest frame offset; 0 = still
    int32_t AniSpeed = 0;
};

// A sprite: a rectangle of a sheet, its anchor (the ground point) and the
// number of animation frames that follow it to the right.
struct SpriteDef {
    std::string Sheet;
    int32_t X = 0, Y = 0, W = 0, H = 0;
    float OriginX = 0, OriginY = 0;
    int32_t Frames = 1;
};

inline constexpr int32_t kTileSize = 16;

struct ArtCatalogue {
    std::vector<ArtSheet> Sheets;
    std::map<std::string, std::map<std::string, TileDef>> Tiles;  // sheet file -> tile name -> tile
    std::map<std::string, SpriteDef> Sprites;                      // sprite name -> sprite

    const ArtSheet* FindSheet(const std::string& file) const;
    const TileDef* FindTile(const std::string& sheet, const std::string& name) const;
    const SpriteDef* FindSprite(const std::string& name) const;
};

// Paints everything. The same build always paints the same pixels.
ArtCatalogue MakeArt();

// The painters of the separate groups (each adds its sheets and names).
void AddInterfaceArt(ArtCatalogue& art);
void AddTileArt(ArtCatalogue& art);
void AddItemArt(ArtCatalogue& art);
void AddPeopleArt(ArtCatalogue& art);

// The names of the speakers whose face sheets the demo paints ("Face <name>.png").
inline const char* const kHeroName = "Hero";

}  // namespace tarv::demo
