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

#include "game/shell/gLevelBounds.h"

namespace tarv {

// Title of the level loader's message boxes: the program's.
inline constexpr const char* kLevelBoxTitle = "Vorlund";

// Deeper nesting of loads from inside level events is refused (logged): a
// level whose "onLoad" loads itself would otherwise recurse without end.
inline constexpr int kMaxLevelLoadNesting = 8;

// True when the level loaded here is the one that stands: False when the name
// was refused (the current level stays) or a load started from inside one of
// its events replaced it. A level past the bounds of gLevelBounds.h is refused
// whole, as a file that cannot be read is: the game goes on in an empty level.
bool LoadLevel(const std::string& LevelName);

// A level name stays below the "data" folder, by the check every asset name
// passes (IsInnerFileName).
bool IsLevelName(const std::string& LevelName);

}  // namespace tarv
