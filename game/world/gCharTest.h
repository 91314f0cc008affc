// The game's module state that the world code reads and the shell owns: the
// controller stack, the level layers the characters move on, the characters,
// the player with its planned path, and the hit tests of scripted items and
// areas under a point. The shell fills the layer slots when a level loads;
// tests fill them themselves.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "game/world/iController.h"
#include "script/zScriptValue.h"

namespace zun {
class zCollisionMap;
class zItemMap;
class zItem;
class zObjectsMap;
class zDataShape;
class zEmitterMap;
class zPictureLayer;
class zScriptObject;
class zSprite;
class zTileMap;
class zValueSetMap;
class zValues;
class LogValue;
}  // namespace zun

namespace tarv {

class gBorder;
class gForm;
class gFormControl;
class gChar;
class gGestures;
class gParticleSystem;
class gPath;
class gTextArea;
class gTextSelect;

// Every box the game opens unasked, for an error or for a script, is modal
// and waits for the player: past this many in a minute, whoever asks and
// whatever their texts, they are only logged, so that a flood of them leaves
// the game playable. A few boxes in a row, each closed by the player, are
// all shown.
inline constexpr size_t kBoxesPerMinute = 5;

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

    // ---- the shell's program-wide state (filled at start-up and by level loading)
    std::shared_ptr<zun::zValues> Settings;
    // The "HighQualityBuffers" value the pass targets were last made for.
    uint8_t BufferQuality = 0;
    // While False the frame tick only draws.
    bool GameUpdates = false;
    bool FullScreen = false;
    int32_t FontArial = 0, FontRunes = 0;
    // Targets of the light, shadow and mirror passes, and the two lens targets.
    int32_t LightTarget = 0, ShadowTarget = 0, MirrorTarget = 0;
    int32_t RenderBuffers[2] = {0, 0};
    int32_t RenderBuffer = 0;
    std::shared_ptr<zun::zSprite> Cursor;
    // Distances of the cursor actions from the player.
    float UseRange = 0, LookRange = 0;
    // Script event of the current cursor action ("onLook", "onUse", "onTalk" or "").
    std::string CursorEvent;
    bool MouseInReach = false;
    int32_t ParticleTexture = 0, LightTexture = 0;
    bool TorchEnabled = false;
    // The message box: frame, name plate, face.
    std::shared_ptr<gBorder> Border;
    std::shared_ptr<gTextArea> EventArea;
    std::shared_ptr<zun::zSprite> Face, FaceBack;
    int32_t FaceFrameTexture = 0;
    // Queued messages and questions; the script object that queued the one on screen.
    std::vector<std::shared_ptr<gTextSelect>> Messages;
    std::shared_ptr<zun::zScriptObject> MessageOwner;
    // The main and the light particle system.
    std::shared_ptr<gParticleSystem> Particles, LightParticles;
    std::shared_ptr<gGestures> Gestures;
    // Script objects "game", the current "level", and the lens.
    std::shared_ptr<zun::zScriptObject> GameObject, LevelObject, Lens;
    // How many items, characters (the player among them), areas and emitters
    // the level file placed: the budgets of what scripts make count only what
    // goes beyond these, so a large level leaves its scripts their full room.
    struct PlacedCounts {
        size_t Items = 0, Chars = 0, Areas = 0, Emitters = 0;
    } Placed;
    // Level script objects that get "onUpdate" every tick.
    std::vector<std::shared_ptr<zun::zScriptObject>> UpdateObjects;
    std::vector<std::shared_ptr<gChar>> Deco;
    // The level's layers, by chunk name.
    std::shared_ptr<zun::zTileMap> solidGround, maskGround, solidWalls, maskWalls, maskRoof;
    std::shared_ptr<zun::zItemMap> mapItems, mapLights, mapChars, mapDeco;
    std::shared_ptr<zun::zPictureLayer> picFog, picClouds, picWater;
    std::shared_ptr<zun::zCollisionMap> mapWater;
    std::shared_ptr<zun::zObjectsMap> mapAreas;
    std::shared_ptr<zun::zValueSetMap> mapMaterials;
    std::shared_ptr<zun::zEmitterMap> mapEmitters;
    std::shared_ptr<zun::zValues> mapValues;
    // Game time of day; the weather gets GameTime / 1000.
    float GameTime = 0;
    int32_t MusicSetup = 0;

    // Arrows become W, A, S, D and Enter becomes Space; other codes pass.
    int16_t MapKeyCode(int16_t KeyCode) const;
    // Places the message box, the face and the two text boxes for the
    // current drawing zoom.
    void LayoutInterface();

    // ---- settings, their binding to dialog controls, the log hook (game/shell)
    // Writes every settings default into Settings (made when missing).
    void SetDefaultSettings();
    // Sets the master volumes and remakes the pass targets when the buffer
    // quality changed since they were made.
    void ApplySettings();
    // Copies between a value store and every tagged control of a form.
    void ValuesToForm(zun::zValues& iValues, gForm& iForm);
    void FormToValues(zun::zValues& iValues, gForm& iForm);
    // Selects the first entry whose item data equals iValue, else entry 0.
    void SelectListItem(gFormControl& iList, int32_t iValue);
    // The selected entry's item data; iDefault when nothing is selected.
    int32_t GetListValue(const gFormControl& iList, int32_t iDefault);
    // The framework's log hook: "ERR" entries pop up while the console is
    // hidden. Always False.
    bool OnLogEntry(const std::string& iText, const std::vector<zun::LogValue>& iEntry);
    // The one door of the boxes that errors and scripts open: True when the
    // box may be shown, which counts it; False when the boxes of the last
    // minute are used up (kBoxesPerMinute), and one line in the log then
    // says that boxes are held back.
    bool TakeBox();
    // Shows a box that tells of an error, unless TakeBox refuses: the error
    // is then in the log only. True when the box was shown.
    bool ShowErrorBox(const std::string& iText, int32_t iStyle, const std::string& iTitle = "");
    // The message and input boxes of the scripts. A box TakeBox refuses goes
    // to the log ("INF", "Box not shown", title, text) and answers as the box
    // closed without a choice: Cancel, No or OK; the empty text.
    int32_t ShowScriptMessageBox(const std::string& iText, const std::string& iTitle, int32_t iStyle);
    std::string ShowScriptInputBox(const std::string& iPrompt, const std::string& iTitle);
    // The error texts lately boxed (with when each came last), when the
    // latest boxes were shown, and whether boxes are being held back.
    struct BoxState {
        std::deque<std::pair<std::string, int32_t>> Texts;
        std::deque<int32_t> Shown;
        bool Holding = false;
    } Boxes;
};
extern gCharTestModule gCharTest;

// Whether a point lies on an item as it is drawn: lifted by Z, turned and
// scaled about its origin. An item drawn with a zero zoom covers nothing.
bool ItemHit(const zun::zItem& iItem, float iX, float iY);

}  // namespace tarv
