// A 1-D curve through key points (x, y) kept sorted by x. It is read either
// directly, by linear or Catmull-Rom interpolation at any x, or through a value
// table over the normalised range 0..1 that per-frame code samples with one
// multiply and one array read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/zInterfaces.h"
#include "core/zVector.h"

namespace zun {

class zStream;

class zLerp : public iClass, public iStream {
public:
    // Read-only for callers: the curve keeps these in step with its points and table.
    int32_t PointCount = 0;
    int32_t ValueCount = 0;  // the table has entries 0..ValueCount

    std::string ClassName() const override { return "zLerp"; }
    uint8_t ClassVersion() const override { return 1; }

    // Appends the point, re-sorts (equal x keep their order) and returns PointCount.
    int32_t AddPoint(float iTime, float iValue);
    // PointCount, the points, ValueCount, table entries 1..ValueCount. Entry 0 is
    // not part of the stored form; it reads back as 0.
    bool Export(zStream& iData) override;
    // The point at Index (1..PointCount) in sorted order; "Subscript out of range" otherwise.
    Vector2 GetPoint(int32_t Index) const;
    // The table entry nearest iPos * ValueCount, clamped to the table; NaN reads
    // as position 0 and a curve without a table gives 0.
    float GetValue(float iPos) const;
    float GetValueLinear(float iValue) const;
    float GetValueSmooth(float iValue) const;
    // Reads the form Export writes. Counts are checked against the bytes left;
    // on a failure the curve is unchanged.
    bool Import(zStream& iData) override;
    // The last point takes the removed one's place, then the points are re-sorted.
    void RemovePoint(int32_t Index);
    // Builds the table with iSteps steps; the first point counts as x = 0 and
    // the last as x = 1. iClip limits every entry to 0..1.
    void CreateValues(int32_t iSteps, bool iInterpolate, bool iClip);

private:
    // Index 0 is unused so that point k sits at index k.
    std::vector<Vector2> points_{Vector2{}};
    std::vector<float> values_;  // empty until CreateValues or Import

    int32_t Count() const;
    void Sort();
    // The segment (i, i + 1) holding x, or false with the end value in `direct`.
    bool FindSegment(double x, int32_t& i, double& direct) const;
};

}  // namespace zun
