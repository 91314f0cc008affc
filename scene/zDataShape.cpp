#include "scene/zDataShape.h"

#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zShape.h"

namespace zun {

std::shared_ptr<zValues> NewValues() {
    auto v = std::make_shared<zValues>();
    v->Meta = std::make_shared<zValues>();
    return v;
}

zDataShape::zDataShape() : Shape(std::make_shared<zShape>()), Values(NewValues()) {}

bool zDataShape::Export(zStream& iData) {
    // A shape or store the game dropped is written as an empty one.
    if (!Shape) Shape = std::make_shared<zShape>();
    if (!Values) Values = NewValues();
    iData.WriteBool(Enabled);
    Shape->Export(iData);
    iData.WriteString(ClassName_);
    iData.WriteString(KeyName);
    Values->Export(iData);
    return true;
}

bool zDataShape::Import(zStream& iData) {
    iData.ReadBool(Enabled);
    Shape = std::make_shared<zShape>();
    Shape->Import(iData);
    iData.ReadString(ClassName_);
    iData.ReadString(KeyName);
    Values = NewValues();
    Values->Import(iData);
    return true;
}

void zDataShape::Render(const zCamera& iCam) {
    if (Shape) Shape->Render(iCam);
}

float zDataShape::GetX() const { return Shape ? Shape->x : 0.0f; }
float zDataShape::GetY() const { return Shape ? Shape->y : 0.0f; }

void zDataShape::SetPosition(float iX, float iY) {
    if (!Shape) Shape = std::make_shared<zShape>();
    Shape->x = iX;
    Shape->y = iY;
}

}  // namespace zun
