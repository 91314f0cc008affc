#include "core/zLerp.h"

#include <algorithm>
#include <cmath>

#include "core/zRuntime.h"
#include "core/zStream.h"

namespace zun {

namespace {

// The y component of the uniform Catmull-Rom spline through p0..p3 at s.
double CatmullRom(double p0, double p1, double p2, double p3, double s) {
    double s2 = s * s, s3 = s2 * s;
    return 0.5 * (2.0 * p1 + (p2 - p0) * s + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3) * s2 +
                  (-p0 + 3.0 * p1 - 3.0 * p2 + p3) * s3);
}

int64_t BytesLeft(const zStream& s) { return std::max<int64_t>(0, int64_t(s.GetLength()) - s.Cursor); }

// A count read from a stream, checked before anything of that size is allocated.
void CheckCount(const zStream& s, int32_t count, int64_t bytesEach) {
    if (count < 0) Raise(errSubscript);
    if (int64_t(count) * bytesEach > BytesLeft(s)) Raise(errInputPastEnd);
}

}  // namespace

int32_t zLerp::Count() const {
    return std::clamp<int32_t>(PointCount, 0, static_cast<int32_t>(points_.size()) - 1);
}

// Stable insertion: the same order as repeated neighbour exchanges on a strictly
// greater x, without their quadratic passes.
void zLerp::Sort() {
    const int32_t n = Count();
    for (int32_t k = 2; k <= n; ++k) {
        for (int32_t i = k; i > 1 && points_[i - 1].x > points_[i].x; --i) std::swap(points_[i - 1], points_[i]);
    }
}

int32_t zLerp::AddPoint(float iTime, float iValue) {
    const int32_t n = Count();
    points_.resize(size_t(n) + 1);
    points_.push_back(Vector2{iTime, iValue});
    PointCount = n + 1;
    Sort();
    return PointCount;
}

void zLerp::RemovePoint(int32_t Index) {
    const int32_t n = Count();
    if (Index < 1 || Index > n) Raise(errSubscript);
    points_[Index] = points_[n];
    points_.resize(size_t(n));
    PointCount = n - 1;
    Sort();
}

Vector2 zLerp::GetPoint(int32_t Index) const {
    if (Index < 1 || Index > Count()) Raise(errSubscript);
    return points_[Index];
}

bool zLerp::FindSegment(double x, int32_t& i, double& direct) const {
    const int32_t n = Count();
    if (n == 0) {
        direct = 0.0;
        return false;
    }
    // NaN reads as the start of the curve.
    if (!(x > points_[1].x)) {
        direct = points_[1].y;
        return false;
    }
    if (x >= points_[n].x) {
        direct = points_[n].y;
        return false;
    }
    for (i = 1; i <= n - 1; ++i) {
        if (x <= points_[i + 1].x) return true;
    }
    direct = points_[n].y;  // only NaN key points get here
    return false;
}

float zLerp::GetValueLinear(float iValue) const {
    int32_t i = 0;
    double direct = 0.0;
    if (!FindSegment(iValue, i, direct)) return ToSingle(direct);
    // x lies above x(i) and at most x(i + 1), so the segment has width.
    const Vector2& a = points_[i];
    const Vector2& b = points_[i + 1];
    double f = double(iValue) - a.x;
    if (f == 0.0) return a.y;
    return ToSingle(a.y + (double(b.y) - a.y) * f / (double(b.x) - a.x));
}

float zLerp::GetValueSmooth(float iValue) const {
    int32_t i = 0;
    double direct = 0.0;
    if (!FindSegment(iValue, i, direct)) return ToSingle(direct);
    const int32_t n = Count();
    double s = (double(iValue) - points_[i].x) / (double(points_[i + 1].x) - points_[i].x);
    return ToSingle(CatmullRom(points_[std::max(i - 1, 1)].y, points_[i].y, points_[i + 1].y,
                               points_[std::min(i + 2, n)].y, s));
}

void zLerp::CreateValues(int32_t iSteps, bool iInterpolate, bool iClip) {
    if (iSteps < 0) Raise(errSubscript);
    const int32_t n = Count();
    std::vector<float> table(size_t(iSteps) + 1, 0.0f);
    if (n >= 2) {
        // The table spans 0..1 whatever the curve's first and last x; the ends
        // repeat so that the spline has neighbours there.
        std::vector<Vector2> q(size_t(n) + 2);
        for (int32_t k = 1; k <= n; ++k) q[k] = points_[k];
        q[1].x = 0.0f;
        q[n].x = 1.0f;
        q[0] = q[1];
        q[n + 1] = q[n];
        for (int32_t j = 1; j <= n - 1; ++j) {
            double steps = RoundHalfEven(double(q[j + 1].x - q[j].x) * iSteps);
            double start = RoundHalfEven(double(q[j].x) * iSteps);
            if (!(steps > 0.0) || !std::isfinite(steps) || !std::isfinite(start)) continue;
            // Points outside 0..1 in the middle of the curve reach past the
            // table; only the positions inside it take a value.
            double lo = std::max(0.0, start);
            double hi = std::min(double(iSteps), start + steps);
            if (lo > hi) continue;
            for (int64_t pos = int64_t(lo); pos <= int64_t(hi); ++pos) {
                double s = (double(pos) - start) / steps;
                double v = iInterpolate ? CatmullRom(q[j - 1].y, q[j].y, q[j + 1].y, q[j + 2].y, s)
                                        : q[j].y + s * (double(q[j + 1].y) - q[j].y);
                if (iClip) {
                    if (v > 1.0) v = 1.0;
                    if (v < 0.0) v = 0.0;
                }
                table[size_t(pos)] = ToSingle(v);
            }
        }
    }
    values_.swap(table);
    ValueCount = iSteps;
}

float zLerp::GetValue(float iPos) const {
    if (values_.empty()) return 0.0f;
    const int32_t vc = std::clamp<int32_t>(ValueCount, 0, static_cast<int32_t>(values_.size()) - 1);
    // Rounded in double and clamped before it becomes an index, so that any
    // position, however far out, reads an end of the table.
    double pos = double(iPos) * vc;
    if (std::isnan(pos)) pos = 0.0;
    pos = std::clamp(pos, 0.0, double(vc));
    return values_[size_t(RoundHalfEven(pos))];
}

bool zLerp::Export(zStream& iData) {
    const int32_t n = Count();
    iData.WriteLong(n);
    for (int32_t k = 1; k <= n; ++k) iData.WriteVector2(points_[k]);
    const int32_t vc =
        values_.empty() ? 0 : std::clamp<int32_t>(ValueCount, 0, static_cast<int32_t>(values_.size()) - 1);
    iData.WriteLong(vc);
    for (int32_t k = 1; k <= vc; ++k) iData.WriteSingle(values_[k]);
    return true;
}

bool zLerp::Import(zStream& iData) {
    int32_t n = 0;
    iData.ReadLong(n);
    CheckCount(iData, n, 8);
    std::vector<Vector2> points(size_t(n) + 1);
    for (int32_t k = 1; k <= n; ++k) iData.ReadVector2(points[k]);
    int32_t vc = 0;
    iData.ReadLong(vc);
    CheckCount(iData, vc, 4);
    std::vector<float> table(size_t(vc) + 1, 0.0f);
    for (int32_t k = 1; k <= vc; ++k) iData.ReadSingle(table[k]);
    points_ = std::move(points);
    values_ = std::move(table);
    PointCount = n;
    ValueCount = vc;
    return true;
}

}  // namespace zun
