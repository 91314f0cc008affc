#include "scene/zItem.h"

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zDataShape.h"
#include "scene/zScriptHook.h"
#include "scene/zShape.h"
#include "scene/zSprite.h"

namespace zun {

zItem::zItem() : Sprite(std::make_shared<zSprite>()), Values(NewValues()) {}

bool zItem::Export(zStream& iData) {
    // A sprite or store the game dropped is written as an empty one.
    if (!Sprite) Sprite = std::make_shared<zSprite>();
    if (!Values) Values = NewValues();
    Sprite->Export(iData, true);
    iData.WriteBool(Visible);
    iData.WriteByte(Collides);
    iData.WriteBool(Colored);
    iData.WriteBool(Shadow);
    iData.WriteBool(Mirrored);
    iData.WriteString(KeyName);
    iData.WriteString(ClassName_);
    Values->Export(iData);
    return true;
}

bool zItem::Import(zStream& iData) {
    Sprite = std::make_shared<zSprite>();
    Sprite->Import(iData, true);
    iData.ReadBool(Visible);
    iData.ReadByte(Collides);
    iData.ReadBool(Colored);
    iData.ReadBool(Shadow);
    iData.ReadBool(Mirrored);
    iData.ReadString(KeyName);
    iData.ReadString(ClassName_);
    Values = NewValues();
    Values->Import(iData);
    // The stored source rectangle is animation frame 0.
    AniSpriteX = Sprite->SrcX;
    AniSpriteY = Sprite->SrcY;
    if (Collides != 0) {
        // The unscaled source rectangle placed at the anchor; zoom, rotation and
        // height play no part, and the polygon does not follow later moves.
        Shape = std::make_shared<zDataShape>();
        Shape->Shape->Mode = zShape::ModePolygon;
        const float x0 = ToSingle(double(Sprite->x) - Sprite->OriginX);
        const float y0 = ToSingle(double(Sprite->y) - Sprite->OriginY);
        const float x1 = ToSingle(double(x0) + Sprite->W), y1 = ToSingle(double(y0) + Sprite->H);
        Shape->Shape->AddPoint(x0, y0);
        Shape->Shape->AddPoint(x1, y0);
        Shape->Shape->AddPoint(x1, y1);
        Shape->Shape->AddPoint(x0, y1);
    }
    return true;
}

void zItem::Update() {
    if (ScriptObject && gSceneScript.Execute) {
        // The script may drop this item's script object (or the item itself);
        // the local reference keeps the object alive until the call returns.
        std::shared_ptr<zScriptObject> so = ScriptObject;
        gSceneScript.Execute(*so, "onUpdate");
    }
    const int32_t frame = zCore.FrameCounter;
    if (AniMode == 0 || AniNext >= frame) return;
    AniNext = AddLong(frame, AniWait);
    const int32_t frameW = Sprite ? Sprite->W : 0;
    if (AniMode == 1) {
        AniFrame = AddLong(AniFrame, 1);
        if (AniFrame > AniDestFrame) {
            AniFrame = 0;
            AniNext = AddLong(AddLong(frame, AniWait), AniEndWait);
        }
        if (Sprite) Sprite->SrcX = AddLong(AniSpriteX, MulLong(AniFrame, frameW));
    } else if (AniMode == 2) {
        if (AniDestFrame > AniFrame) {
            AniFrame = AddLong(AniFrame, 1);
        } else if (AniDestFrame < AniFrame) {
            AniFrame = AddLong(AniFrame, -1);
        }
        if (Sprite) Sprite->SrcX = AddLong(AniSpriteX, MulLong(AniFrame, frameW));
        if (AniFrame == AniDestFrame) AniMode = 0;
    }
}

}  // namespace zun
