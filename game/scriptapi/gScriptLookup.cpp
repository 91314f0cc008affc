// Finding the level's characters, items, doors and lights by key name. Before
// a level is loaded a missing layer counts as empty.
#include "core/zCore.h"
#include "game/scriptapi/gScript.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"

using namespace zun;

namespace tarv {

namespace {

std::shared_ptr<gChar> CharByName(const std::string& iName) {
    for (const auto& ch : gCharTest.Chars) {
        if (ch && ch->Item && ch->Item->KeyName == iName) return ch;
    }
    return nullptr;
}

std::shared_ptr<zItem> ItemByName(const zItemMap* iMap, const std::string& iName) {
    if (!iMap) return nullptr;
    for (const auto& item : iMap->Items()) {
        if (item && item->KeyName == iName) return item;
    }
    return nullptr;
}

// The object itself, or (for the "find" functions) its script object, which
// may be missing: then the script gets an object value holding nothing.
void Answer(GameCall& c, const std::shared_ptr<iClass>& iFound, const std::shared_ptr<zItem>& iItem, bool iScript,
            const char* iNotFound, const std::string& iName) {
    if (!iFound) {
        Log("ERR", iNotFound, iName);
        return;
    }
    if (!iScript) {
        c.Result->SetObject(iFound);
        return;
    }
    if (!iItem->ScriptObject) Log("ERR", "No class loaded", iName);
    c.Result->SetObject(iItem->ScriptObject);
}

void CharLookup(GameCall& c, bool iScript) {
    const std::string name = c.Str(1);
    std::shared_ptr<gChar> ch = CharByName(name);
    Answer(c, ch, ch ? ch->Item : nullptr, iScript, "Char not found", name);
}

void ItemLookup(GameCall& c, const zItemMap* iMap, bool iScript, const char* iNotFound) {
    const std::string name = c.Str(1);
    std::shared_ptr<zItem> item = ItemByName(iMap, name);
    Answer(c, item, item, iScript, iNotFound, name);
}

void CharByPos(GameCall& c) {
    const float x = c.Single(1), y = c.Single(2), tolerance = c.Single(3);
    for (const auto& ch : gCharTest.Chars) {
        if (ch && ch->CheckHit(x, y, tolerance)) {
            c.Result->SetObject(ch);
            return;
        }
    }
}

void CharByNameFn(GameCall& c) { CharLookup(c, false); }
void FindChar(GameCall& c) { CharLookup(c, true); }
void ItemByNameFn(GameCall& c) { ItemLookup(c, gCharTest.mapItems.get(), false, "Item not found"); }
void FindItem(GameCall& c) { ItemLookup(c, gCharTest.mapItems.get(), true, "Item not found"); }
void DoorByName(GameCall& c) { ItemLookup(c, gCharTest.mapDoors.get(), false, "Door not found"); }
void FindDoor(GameCall& c) { ItemLookup(c, gCharTest.mapDoors.get(), true, "Door not found"); }
void LightByName(GameCall& c) { ItemLookup(c, gCharTest.mapLights.get(), false, "Light not found"); }
void FindLight(GameCall& c) { ItemLookup(c, gCharTest.mapLights.get(), true, "Light not found"); }

}  // namespace

void AddLookupFunctions() {
    static const GameFunctionEntry kEntries[] = {
        {"charByName", CharByNameFn}, {"charByPos", CharByPos},     {"findChar", FindChar},
        {"itemByName", ItemByNameFn}, {"findItem", FindItem},       {"doorByName", DoorByName},
        {"findDoor", FindDoor},       {"lightByName", LightByName}, {"findLight", FindLight},
    };
    AddGameFunctions(kEntries);
}

}  // namespace tarv
