// A named region of a level: a shape with a script class name, a key name, its
// own named values and, at run time, a script object. A level's area layer is
// an objects map of these; the game tests the cursor and the player against
// their shapes and sends script events to their script objects.
#pragma once

#include <memory>
#include <string>

#include "core/zInterfaces.h"
#include "scene/iMapItem.h"

namespace zun {

class zShape;
class zValues;
class zScriptObject;

// A value store made directly (not through the factory), with its own meta
// record as the factory would give it.
std::shared_ptr<zValues> NewValues();

class zDataShape : public iChunk, public iMapItem {
public:
    bool Enabled = false;  // kept and stored; nothing here consults it
    std::shared_ptr<zShape> Shape;
    // The script class of the region's script object. (The name ClassName is
    // taken by the storable-class interface, hence the underscore.)
    std::string ClassName_;
    std::string KeyName;
    std::shared_ptr<zValues> Values;
    std::shared_ptr<zScriptObject> ScriptObject;  // set by the game after loading; not stored

    zDataShape();

    std::string ClassName() const override { return "zDataShape"; }
    uint8_t ClassVersion() const override { return 1; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<zDataShape>(); }
    bool Export(zStream& iData) override;
    // Replaces the shape and the values with new ones before reading them.
    bool Import(zStream& iData) override;

    // iMapItem
    void Render(const zCamera& iCam) override;
    float GetX() const override;
    float GetY() const override;
    iClass* Class() override { return this; }
    // Moves the shape's position only: polygon and chain points stay.
    void SetPosition(float iX, float iY) override;
};

}  // namespace zun
