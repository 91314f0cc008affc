// A plain 2-D area in world pixels: a point, an ellipse, a rectangle, a closed
// polygon or an open line chain. It answers whether a world point lies on it,
// draws its outline for editing and debugging, and stores itself inside its
// owner's data (it is not a chunk of its own).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/zInterfaces.h"
#include "core/zVector.h"

namespace zun {

class zCamera;
class zStream;

class zShape : public iClass, public iStream {
public:
    enum : uint8_t { ModePoint = 0, ModeEllipse = 1, ModeRectangle = 2, ModePolygon = 3, ModeChain = 4 };

    uint8_t Mode = ModePoint;  // other values: nothing hits it and nothing draws it
    int32_t Color = 0;         // ARGB of the outline and fill
    float x = 0, y = 0;        // point / centre / top left (bounding box for polygons and chains)
    float W = 0, H = 0;        // radii / size / bounding-box size
    int32_t PointCount = -1;   // highest index of the point list; -1 when empty

    zShape();

    std::string ClassName() const override { return "zShape"; }
    uint8_t ClassVersion() const override { return 1; }
    bool Export(zStream& iData) override;
    // A stored point count below -1, or more points than the bytes left, fails
    // with the list unchanged (the fixed fields read before it keep their values).
    bool Import(zStream& iData) override;

    void AddPoint(float iX, float iY);
    // Indexes inside the storage only: "Subscript out of range" otherwise.
    Vector2 GetPoint(int32_t Index) const;
    void SetPoint(int32_t Index, const Vector2& iPoint);
    void RemovePoint(int32_t Index);
    // Polygons and chains: the bounding box of the points into x, y, W, H.
    void UpdateSize();

    // An ellipse of height 0 has no ratio to test with: "Division by zero".
    bool CheckCollision(float iX, float iY) const;

    // Draws through the game's shape-view camera when it has set one, else iCam.
    // Leaves blend mode 2 and the transparency it set in force.
    void Render(const zCamera& iCam) const;

    // Storage size (at least one element), for tests of the growth rule.
    size_t Capacity() const { return Points.size(); }

private:
    std::vector<Vector2> Points;  // 0..PointCount used; always at least element 0
};

}  // namespace zun
