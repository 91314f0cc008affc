// Level loading: the level file "data\<name>" replaces the current level. The
// old level's script objects are sent "onRelease" (most of them save their
// fixed values first), every layer and collection is dropped, the new file's
// chunks are bound to the level-layer slots of gCharTest by their "__Name",
// each loaded layer gets one update, and the level's script objects and
// characters are built: items, doors, the player, placed characters,
// decoration characters, areas and last the "level" object, each sent
// "onLoad" as it is made.
//
// Usage:
//   LoadLevel("Forest.lvl");   // from the script function "loadLevel"
//
// A file that is missing or cannot be read leaves an empty level (only the
// player) and logs one error; a chunk of an unknown class is skipped with a
// message. A script that loads another level from inside one of these
// events ends this load: the later request is the level that stays.
#pragma once

#include <cstddef>
#include <string>

namespace tarv {

// Title of the level loader's message boxes: the program's.
inline constexpr const char* kLevelBoxTitle = "Vorlund";

// Deeper nesting of loads from inside level events is refused (logged): a
// level whose "onLoad" loads itself would otherwise recurse without end.
inline constexpr int kMaxLevelLoadNesting = 8;

// What one level file may hold, counted over all its chunks. The largest
// level made by hand (the village: 60 x 40 cells, 23 items, a door, 3 lights,
// 2 people, a decoration, 2 areas, 2 emitters, 4 ground materials and 3 level
// values in 20 chunks, 62 KB unpacked) fits in each many times over; together
// the bounds keep what loading a level makes, and the game with it, well
// below 1 GB. A level past one is refused whole, as a file that cannot be
// read is: the game goes on in an empty level.
inline constexpr size_t kMaxLevelBytes = size_t(16) << 20;  // the file, as stored and unpacked
inline constexpr size_t kMaxLevelChunks = 200;
inline constexpr size_t kMaxLevelItems = 5000;
inline constexpr size_t kMaxLevelDoors = 1000;
inline constexpr size_t kMaxLevelLights = 1000;
inline constexpr size_t kMaxLevelChars = 500;
inline constexpr size_t kMaxLevelDeco = 1000;
inline constexpr size_t kMaxLevelAreas = 5000;
inline constexpr size_t kMaxLevelEmitters = 1000;
inline constexpr size_t kMaxLevelSprites = 5000;
inline constexpr size_t kMaxLevelValueSets = 1000;
inline constexpr size_t kMaxLevelValues = 1000;

// True when the level loaded here is the one that stands: False when the name
// was refused (the current level stays) or a load started from inside one of
// its events replaced it.
bool LoadLevel(const std::string& LevelName);

// A level name stays below the "data" folder, by the check every asset name
// passes (IsInnerFileName).
bool IsLevelName(const std::string& LevelName);

}  // namespace tarv
