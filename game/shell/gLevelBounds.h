// What one level file may hold, counted over all its chunks. The game refuses
// a level past one of these bounds, and the content builder refuses to make
// one, from this one set, so that no level builds that the game then will not
// load. The largest level made by hand (the village: 60 x 40 cells, 23 items,
// a door, 3 lights, 2 people, a decoration, 2 areas, 2 emitters, 4 ground
// materials and 3 level values in 20 chunks, 62 KB unpacked) fits in each many
// times over; together the bounds keep what loading a level makes, and the
// game with it, well below 1 GB.
//
// Header only: the builder reads it without the game around it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/zFile.h"
#include "core/zValues.h"
#include "scene/zEmitterMap.h"
#include "scene/zItemMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zSpriteMap.h"
#include "scene/zValueSetMap.h"

namespace tarv {

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

// How much of each kind a level file holds, over all its chunks: a chunk that
// no slot takes stays loaded with the file all the same.
struct LevelTally {
    size_t Items = 0, Doors = 0, Lights = 0, Chars = 0, Deco = 0, Areas = 0, Emitters = 0, Sprites = 0,
           ValueSets = 0, Values = 0;
};

inline size_t LevelValueCount(const zun::zValues& v) {
    std::vector<std::string> names;
    return size_t(v.GetStringList(names) + 1) + size_t(v.GetByteList(names) + 1) +
           size_t(v.GetLongList(names) + 1) + size_t(v.GetSingleList(names) + 1);
}

// The tally of a file whose chunks have their objects.
inline LevelTally TallyLevel(const zun::zFile& file) {
    LevelTally t;
    for (int32_t i = 1; i <= file.ChunkCount(); ++i) {
        const std::shared_ptr<zun::iChunk> c = file.GetChunk(i)->Instance;
        if (!c) continue;
        const std::string name = c->Meta ? c->Meta->GetString("__Name", "") : std::string();
        if (const auto* m = dynamic_cast<const zun::zItemMap*>(c.get())) {
            const size_t n = m->Items().size();
            (name == "mapDoors"    ? t.Doors
             : name == "mapLights" ? t.Lights
             : name == "mapChars"  ? t.Chars
             : name == "mapDeco"   ? t.Deco
                                   : t.Items) += n;
        } else if (const auto* o = dynamic_cast<const zun::zObjectsMap*>(c.get())) {
            t.Areas += o->Objects().size();
        } else if (const auto* e = dynamic_cast<const zun::zEmitterMap*>(c.get())) {
            t.Emitters += e->Emitters().size();
        } else if (const auto* s = dynamic_cast<const zun::zSpriteMap*>(c.get())) {
            t.Sprites += s->Sprites().size();
        } else if (const auto* v = dynamic_cast<const zun::zValueSetMap*>(c.get())) {
            t.ValueSets += size_t(v->ValueSetCount) + 1;
        } else if (const auto* values = dynamic_cast<const zun::zValues*>(c.get())) {
            t.Values += LevelValueCount(*values);
        }
    }
    return t;
}

// A kind a level holds more of than a level may: its name as the messages
// give it ("items"), how many it holds, and the bound.
struct LevelExcess {
    const char* Kind = "";
    size_t Count = 0, Most = 0;
};

// The first kind of the tally past its bound, in a fixed order; none when the
// level keeps to them all.
inline std::optional<LevelExcess> LevelPastBounds(const LevelTally& t) {
    const LevelExcess kinds[] = {{"items", t.Items, kMaxLevelItems},
                                 {"doors", t.Doors, kMaxLevelDoors},
                                 {"lights", t.Lights, kMaxLevelLights},
                                 {"characters", t.Chars, kMaxLevelChars},
                                 {"decorations", t.Deco, kMaxLevelDeco},
                                 {"areas", t.Areas, kMaxLevelAreas},
                                 {"emitters", t.Emitters, kMaxLevelEmitters},
                                 {"sprites", t.Sprites, kMaxLevelSprites},
                                 {"value sets", t.ValueSets, kMaxLevelValueSets},
                                 {"values", t.Values, kMaxLevelValues}};
    for (const LevelExcess& k : kinds)
        if (k.Count > k.Most) return k;
    return std::nullopt;
}

}  // namespace tarv
