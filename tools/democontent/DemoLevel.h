// Level descriptions: a small text format of our own, read into a
// description and built into a level file through the scene layers' own
// classes and their Export.
//
// The format, one statement a line ('#' at the start of a word starts a comment):
//   level NAME                      the level file's name below "data"
//   size COLS ROWS                  the level in cells of 16 pixels (1..256 each)
//   tileset "FILE"                  the tile sheet of every tile layer
//   values KEY=VALUE ...            the level values ("class", "type", ...)
//   material NAME KEY=VALUE ...     a ground material ("Effect", "StepSound", ...)
//   legend ... end                  lines "C TILE [solid] [water] [material=NAME] [rot=0..3]":
//                                   grid character C stands for TILE ("-" for none);
//                                   any character but '#' and the blank can be C
//   ground|groundmask|walls|wallmask|roof ... end
//                                   a grid of legend characters, one line a row from
//                                   column 1 ("" or a blank cell: no tile)
//   collide X Y W H [CODE]          cells made solid (CODE 255, the default) or free (0)
//   item|door|light|char|deco PROPS placed objects: name= class= sprite= frame= x= y=
//                                   (or cell=CX,CY, foot=CX,CY) z= r= zoom= zoomx= zoomy=
//                                   alpha= size= color=#RRGGBB visible= shadow=
//                                   mirrored= collides= $VALUE=...
//   area PROPS                      name= class= rect=X,Y,W,H | ellipse=X,Y,RX,RY |
//                                   cells=X,Y,W,H, $VALUE=...
//   particle PROPS                  manager= x= y= (or cell=) z= r= $VALUE=...
//   sound PROPS                     file= x= y= (or cell=) z= r= fade= mode= volume= speed=
//   picture fog|clouds|water PROPS  texture= stretch= z= movex= movey= parallax= zoom= x= y=
// A value written in quotes is a text; otherwise a whole number is a Long,
// a number with a point a Single and anything else a text.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/democontent/DemoArt.h"
#include "tools/democontent/DemoText.h"

namespace tarv::demo {

// Largest level side in cells, and the largest description read.
inline constexpr int32_t kMaxLevelCells = 256;
inline constexpr size_t kMaxLevelText = size_t(4) << 20;

struct Prop {
    std::string Key, Value;
    bool Quoted = false;    // the value was written in quotes: always a text
    bool Assigned = false;  // written as KEY=VALUE (a bare word is a switch)
};

// Splits a statement line into words; KEY=VALUE stays one word, a quoted
// part keeps its blanks (\" and \\ inside quotes stand for " and \), and
// '#' at the start of a word ends the line. False, with the reason, on an
// unclosed quote or a word too long to be stored.
bool SplitStatement(const std::string& text, std::vector<Prop>& out, std::string& error);

struct PropList {
    std::vector<Prop> List;
    const Prop* Find(const std::string& key) const;
    bool Has(const std::string& key) const { return Find(key) != nullptr; }
};

struct LegendEntry {
    std::string Tile;  // "-" or empty: no tile
    bool Solid = false, Water = false;
    std::string Material;
    uint8_t Rot = 0;
    int Line = 0;  // the legend line, for messages
};

enum GridLayer { kGround, kGroundMask, kWalls, kWallMask, kRoof, kGridCount };

struct CollideRect {
    int32_t X = 0, Y = 0, W = 0, H = 0;
    uint8_t Code = 255;
};

struct LevelStatement {
    std::string Kind;  // item, door, light, char, deco, area, particle, sound, picture
    std::string Sub;   // the picture layer for "picture"
    PropList Props;
    int Line = 0;
};

struct LevelDesc {
    std::string File;  // where it was read from, for messages
    std::string Name;
    int NameLine = 0;  // the line of the level statement, for messages about the level as a whole
    int32_t Cols = 0, Rows = 0;
    std::string TileSheet;
    int TileSheetLine = 0;  // the lines of the tile sheet and of the level's class, for messages
    PropList Values;
    int ClassLine = 0;
    std::vector<std::pair<std::string, PropList>> Materials;
    std::map<char, LegendEntry> Legend;
    std::array<std::vector<std::string>, kGridCount> Grids;
    std::vector<CollideRect> Collide;
    std::vector<LevelStatement> Objects;
};

// Reads a description. Every fault is reported as "file:line: message"; the
// result is false when there was any.
bool ParseLevel(const std::string& text, const std::string& file, LevelDesc& out, std::vector<std::string>& errors);

// The texture handle of a sheet of the catalogue, loaded (or found) in the
// device's texture table with the sheet's colour key and smoothing.
using TextureLookup = std::function<int32_t(const std::string& file)>;

// Builds the level file (a packed data file holding the chunk file). Faults
// of the description (unknown tiles, sprites, values out of range, a level
// past the bounds the game loads a level within, and with `classes` given, a
// class the compiled scripts do not have) are reported as for ParseLevel and
// give false.
bool BuildLevel(const LevelDesc& desc, const ArtCatalogue& art, const TextureLookup& textures,
                std::vector<uint8_t>& fileBytes, std::vector<std::string>& errors,
                const ScriptClasses* classes = nullptr);

// The chunk names of a level, in the order the game binds them.
extern const char* const kLevelChunkNames[19];

}  // namespace tarv::demo
