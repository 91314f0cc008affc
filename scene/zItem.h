// One object placed on an item map: a door, a thing to look at or pick up, a
// light, decoration, or the placement record of a character. A sprite with
// display flags, named values, a key name and a class name, an optional script
// object that gets "onUpdate" every frame, a frame animation along the sprite's
// texture row, and a collision polygon built on load when it collides.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/zInterfaces.h"

namespace zun {

class zSprite;
class zValues;
class zDataShape;
class zScriptObject;

class zItem : public iClass, public iStream {
public:
    std::shared_ptr<zSprite> Sprite;  // its x, y, Z are the item's position
    bool Visible = false;
    uint8_t Collides = 0;  // not 0: a collision polygon is built on Import
    bool Colored = false;  // drawn in the colour of the value "_color"
    bool Shadow = false;
    bool Mirrored = false;
    // The item's class name, interpreted by the game. (The name ClassName is
    // taken by the storable-class interface, hence the underscore.)
    std::string ClassName_;
    std::string KeyName;
    std::shared_ptr<zValues> Values;
    std::shared_ptr<zScriptObject> ScriptObject;

    // Animation: frames side by side in one texture row, each Sprite.W wide.
    int32_t AniSpriteX = 0;   // left of frame 0
    int32_t AniSpriteY = 0;   // top of the row
    uint8_t AniMode = 0;      // 0 none, 1 loop, 2 run to AniDestFrame and stop
    int32_t AniFrame = 0;
    int32_t AniPhase = 0;     // the game's; the item never touches it
    uint8_t AniDestFrame = 0;
    int32_t AniWait = 0;      // frames between two steps
    int32_t AniEndWait = 0;   // extra rest when a loop starts over
    int32_t AniNext = 0;      // frame-counter value after which the next step is due

    std::shared_ptr<zDataShape> Shape;  // collision polygon; none unless Collides at Import

    // A new item has an empty sprite and an empty value store, so that it can
    // be stored at once.
    zItem();

    std::string ClassName() const override { return "zItem"; }
    uint8_t ClassVersion() const override { return 1; }
    bool Export(zStream& iData) override;
    bool Import(zStream& iData) override;

    // The script object's "onUpdate" (every call), then one animation step when due.
    void Update();
};

}  // namespace zun
