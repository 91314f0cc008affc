// The game's module state that the world code reads and the shell owns: the
// controller stack, the level layers the characters move on, the characters,
// the player with its planned path, and the hit tests of scripted items and
// areas under a point. The shell fills the layer slots when a level loads;
// tests fill them themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/world/iController.h"
#include "script/zScriptValue.h"

namespace zun {
class zCollisionMap;
class zItemMap;
class zItem;
class zObjectsMap;
class zDataShape;
}  // namespace zun

namespace tarv {

class gChar;
class gPath;
class gTextArea;
class gTextSelect;

struct gCharTestModule {
    // ---- controller stack -------------------------------------------------
    // The last entry is the top; Controller is always that entry after a push
    // or a removal (null only once the stack has been emptied).
    std::vector<std::shared_ptr<iController>> Controllers;
    std::shared_ptr<iController> Controller;

    // Clears the key states, appends the controller, calls its Assign (the
    // previous controller is still the active one then) and makes it active.
    void PushController(const std::shared_ptr<iController>& iController);
    // Removes the uppermost entry that is this very object (calling its Remove),
    // makes the top entry active and clears the key states. An object that is
    // not on the stack changes nothing but the key states.
    void RemoveController(const iController* iController);
    void RemoveController(const std::shared_ptr<iController>& iController) { RemoveController(iController.get()); }

    // ---- level and characters ---------------------------------------------
    std::shared_ptr<zun::zCollisionMap> mapCollision;
    std::shared_ptr<zun::zItemMap> mapDoors;
    // The level's characters, the player first.
    std::vector<std::shared_ptr<gChar>> Chars;
    std::shared_ptr<gChar> Player;
    // The path scripts plan for the player; the player's MovePath is the same object.
    std::shared_ptr<gPath> PlayerPath;
    // Texture handle of the round contact shadow.
    int32_t ShadowTexture = 0;
    // Updates the player's footprints; called by the player mover every frame.
    // An empty slot does nothing.
    std::function<void()> CreatePlayerSteps;

    // ---- hit tests (game pixels; the layer origin is not subtracted) -------
    // The front-most (greatest sprite y) scripted item drawn under the point
    // gets iEvent; its result, or null when nothing was hit.
    zun::ValueRef ExecuteItemAt(const zun::zItemMap* iItemMap, float iX, float iY, const std::string& iEvent);
    // The first scripted item under the point in scan order, or null.
    std::shared_ptr<zun::zItem> GetItemAt(const zun::zItemMap* iItemMap, float iX, float iY,
                                          const std::string& iEvent);
    // The scripted area with the greatest shape y containing the point gets iEvent.
    zun::ValueRef ExecuteAreaAt(const zun::zObjectsMap* iObjectsMap, float iX, float iY, const std::string& iEvent);
    // The first scripted area containing the point in scan order, or null.
    std::shared_ptr<zun::zDataShape> GetAreaAt(const zun::zObjectsMap* iObjectsMap, float iX, float iY,
                                               const std::string& iEvent);

    // ---- messages and text boxes ------------------------------------------
    // Font of the option rows.
    int32_t FontGeorgia = 0;
    // The box the messages type out in; the option list finishes its typing.
    std::shared_ptr<gTextArea> MessageArea;
    // The message or question on screen; cleared when it is answered.
    std::shared_ptr<gTextSelect> Message;
    // The mouse position divided by the drawing zoom.
    float MouseViewX = 0, MouseViewY = 0;
};
extern gCharTestModule gCharTest;

// Whether a point lies on an item as it is drawn: lifted by Z, turned and
// scaled about its origin. An item drawn with a zero zoom covers nothing.
bool ItemHit(const zun::zItem& iItem, float iX, float iY);

}  // namespace tarv
