#include "core/zMath.h"

#include <cmath>

#include "core/zCore.h"
#include "core/zRuntime.h"

namespace zun::zMath {

namespace {

// Past this many passes a step loop is replaced by its closed form; the loops
// exist only to keep the exact float results of ordinary small inputs.
constexpr double kMaxLoopSteps = 1e6;

Vector2 MakeSingles(double x, double y) { return Vector2{ToSingle(x), ToSingle(y)}; }

}  // namespace

float RandomRange(float Min, float Max, float Power, bool FromMax) {
    double p = std::pow(double(Rnd()), double(Power));
    // A draw of exactly 0 with a power of 0 or below has no finite value; it
    // stays at the starting end of the range.
    if (!std::isfinite(p)) p = 0.0;
    double range = double(Max) - double(Min);
    return ToSingle(FromMax ? double(Max) - p * range : double(Min) + p * range);
}

float NormalizeAngle(float Angle) {
    if (!std::isfinite(Angle)) Raise(errOverflow);
    float a = Angle;
    // Each pass removes one turn, and far out a turn is below the float
    // spacing, so the loop would never end: reduce large angles first.
    if (std::fabs(double(a)) > kMaxLoopSteps) a = float(std::fmod(double(a), double(PI2)));
    while (a >= PI2) a = float(double(a) - double(PI2));
    while (a < 0.0f) a = float(double(a) + double(PI2));
    return a;
}

float Clamp(float Value, float Min, float Max) {
    if (Value > Max) return Max;
    if (Value < Min) return Min;
    return Value;
}

float WrapValue(float Value, float Min, float Max, float Step) {
    // Script code reaches this with any numbers: a step that cannot move the
    // value would loop for ever.
    if (!(Step > 0.0f) || !std::isfinite(Step) || !std::isfinite(Value)) return Value;
    const double step = Step;
    if (Value >= Min) {
        if (!(Value > Max)) return Value;
        double n = std::ceil((double(Value) - double(Max)) / step);
        if (!std::isfinite(n)) return Value;  // no number of steps reaches Max
        float v = Value;
        if (n <= kMaxLoopSteps) {
            for (double i = 0; v > Max; ++i) {
                float next = float(double(v) - step);
                if (next == v || i > 2 * kMaxLoopSteps) break;  // below the float spacing of v
                v = next;
            }
            if (!(v > Max)) return v;
        }
        return float(double(Value) - n * step);
    }
    if (!(Value < Min)) return Value;
    double n = std::ceil((double(Min) - double(Value)) / step);
    if (!std::isfinite(n)) return Value;
    float v = Value;
    if (n <= kMaxLoopSteps) {
        for (double i = 0; v < Min; ++i) {
            float next = float(double(v) + step);
            if (next == v || i > 2 * kMaxLoopSteps) break;
            v = next;
        }
        if (!(v < Min)) return v;
    }
    return float(double(Value) + n * step);
}

float AngleDiff(float A, float B) {
    // The gesture recogniser calls it for every stroke segment: one note a run is enough.
    LogOnce("AngleDiff", "DEP", "AngleDiff", "AngleDist");
    return AngleDist(B, A);
}

float AngleDist(float A, float B) {
    float a = NormalizeAngle(ToSingle(double(B) - double(A) + double(PI)));
    return ToSingle(double(a) - double(PI));
}

float GetAngle(float X1, float Y1, float X2, float Y2) {
    double dx = double(X2) - double(X1);
    double dy = double(Y2) - double(Y1);
    if (dx != 0.0 && dy != 0.0) {
        double sign = dy > 0.0 ? 1.0 : -1.0;
        return ToSingle(double(PI_2) * sign - std::atan(dx / dy));
    }
    if (dx == 0.0 && dy > 0.0) return PI_2;
    if (dx == 0.0 && dy < 0.0) return PI3_2;
    return dx >= 0.0 ? 0.0f : PI;
}

float GetDistance(float X1, float Y1, float X2, float Y2) {
    double dx = double(X2) - double(X1);
    double dy = double(Y2) - double(Y1);
    return ToSingle(std::sqrt(dx * dx + dy * dy));
}

bool CircleHitCircle(const Vector2& Center1, float Radius1, const Vector2& Center2, float Radius2) {
    return double(Radius1) + double(Radius2) >= double(PointDistPoint(Center1, Center2));
}

float PointAnglePoint(const Vector2& P1, const Vector2& P2) { return GetAngle(P1.x, P1.y, P2.x, P2.y); }

bool LinesCrossing(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4) {
    double dx1 = double(X2) - X1, dy1 = double(Y2) - Y1;
    double dx2 = double(X4) - X3, dy2 = double(Y4) - Y3;
    double D = dx2 * dy1 - dy2 * dx1;
    if (D == 0.0) return false;
    double u = ((double(X1) - X3) * dy1 + (double(Y3) - Y1) * dx1) / D;
    double t = ((double(X3) - X1) * dy2 + (double(Y1) - Y3) * dx2) / (dy2 * dx1 - dx2 * dy1);
    return t >= 0.0 && t <= 1.0 && u >= 0.0 && u <= 1.0;
}

bool LineHitLine(const Vector2& A1, const Vector2& A2, const Vector2& B1, const Vector2& B2, Vector2& Hit) {
    Vector2 D1 = VecSub(A2, A1);
    Vector2 D2 = VecSub(B2, B1);
    float D = ToSingle(double(D2.x) * D1.y - double(D2.y) * D1.x);
    if (D == 0.0f) return false;
    double u = ((double(A1.x) - B1.x) * D1.y + (double(B1.y) - A1.y) * D1.x) / D;
    if (!(u >= 0.0 && u <= 1.0)) return false;
    double t = ((double(B1.x) - A1.x) * D2.y + (double(A1.y) - B1.y) * D2.x) / (double(D2.y) * D1.x - double(D2.x) * D1.y);
    if (!(t >= 0.0 && t <= 1.0)) return false;
    Hit = MakeSingles(A1.x + t * D1.x, A1.y + t * D1.y);
    return true;
}

int32_t LineHitCircle(const Vector2& A, const Vector2& B, const Vector2& Center, float Radius, Vector2& Hit1,
                      Vector2& Hit2) {
    const double R2 = ToSingle(double(Radius) * Radius);
    auto inside = [&](const Vector2& p) {
        double dx = double(p.x) - Center.x, dy = double(p.y) - Center.y;
        return dx * dx + dy * dy <= R2;
    };
    // P1 is always an outside end.
    Vector2 P1 = A, P2 = B;
    bool p2Inside = inside(B);
    if (inside(A)) {
        if (p2Inside) return -1;
        P1 = B;
        P2 = A;
        p2Inside = true;
    }
    double dx = double(P2.x) - P1.x, dy = double(P2.y) - P1.y;
    double ox = double(P1.x) - Center.x, oy = double(P1.y) - Center.y;
    double a = dx * dx + dy * dy;
    double b = dx * ox + dy * oy;
    double c = ox * ox + oy * oy - R2;
    double disc = b * b - a * c;
    if (disc < 0.0 || a == 0.0) return 0;
    if (disc >= 0.0001) {
        double root = std::sqrt(disc);
        double t1 = (-b - root) / a;
        if (t1 < 0.0 || t1 > 1.0) return 0;
        Hit1 = MakeSingles(P1.x + t1 * dx, P1.y + t1 * dy);
        if (!p2Inside) {
            double t2 = (-b + root) / a;
            Hit2 = MakeSingles(P1.x + t2 * dx, P1.y + t2 * dy);
            return 2;
        }
        Hit2 = P2;
        return 1;
    }
    // Touching: the line meets the circle in one point.
    double t = -b / a;
    if (t >= 0.0 && t <= 1.0) {
        Hit1 = MakeSingles(P1.x + t * dx, P1.y + t * dy);
        return 1;
    }
    return 0;
}

bool PointHitCircle(const Vector2& Point, const Vector2& Center, float Radius) {
    return double(VecLength(VecSub(Point, Center))) <= double(Radius);
}

bool PointInPolygon(const Vector2& Point, std::span<const Vector2> Vertices) {
    const size_t n = Vertices.size();
    bool result = false;
    for (size_t i = 0; i < n; ++i) {
        const Vector2& vi = Vertices[i];
        const Vector2& vj = Vertices[(i + 1) % n];
        double dy = double(vj.y) - vi.y;
        if (dy == 0.0) continue;  // a horizontal edge never crosses the ray
        double xc = (double(vj.x) - vi.x) * (double(Point.y) - vi.y) / dy + vi.x;
        if (xc > Point.x && ((vi.y <= Point.y && Point.y < vj.y) || (vj.y <= Point.y && Point.y < vi.y)))
            result = !result;
    }
    return result;
}

float PointDistLine(const Vector2& Point, const Vector2& L1, const Vector2& L2) {
    double ex = double(L2.x) - L1.x, ey = double(L2.y) - L1.y;
    double px = double(Point.x) - L1.x, py = double(Point.y) - L1.y;
    double len = double(VecLength(VecSub(L1, L2)));
    // Equal ends give no line; fail as the division would rather than return NaN.
    if (len == 0.0) Raise(errDivByZero);
    return ToSingle(std::fabs(ex * py - ey * px) / len);
}

float PointDistPoint(const Vector2& P1, const Vector2& P2) { return VecLength(VecSub(P2, P1)); }

float PointDistCircle(const Vector2& Point, const Vector2& Center, float Radius) {
    return ToSingle(double(VecLength(VecSub(Center, Point))) - Radius);
}

Vector2 PointRotate(float X, float Y, float CenterX, float CenterY, float Angle) {
    double dx = double(X) - CenterX, dy = double(Y) - CenterY;
    double s = std::sin(double(Angle)), c = std::cos(double(Angle));
    return MakeSingles(dx * c - dy * s + CenterX, dy * c + dx * s + CenterY);
}

Vector2 MakeVector(float X, float Y) { return Vector2{X, Y}; }

Vector2 ToLocalPoint(float X, float Y, float OriginX, float OriginY, float OffsetX, float OffsetY, float Angle,
                     float ScaleX, float ScaleY) {
    if (ScaleX == 0.0f || ScaleY == 0.0f) Raise(errDivByZero);
    double u = (double(X) - OriginX) / ScaleX;
    double v = (double(Y) - OriginY) / ScaleY;
    double s = std::sin(-double(Angle)), c = std::cos(-double(Angle));
    return MakeSingles(u * c - v * s + OffsetX, v * c + u * s + OffsetY);
}

float VecLength(const Vector2& V) { return ToSingle(std::sqrt(double(V.x) * V.x + double(V.y) * V.y)); }

float VecDot(const Vector2& V1, const Vector2& V2) { return ToSingle(double(V1.x) * V2.x + double(V1.y) * V2.y); }

Vector2 VecNormal(const Vector2& V) {
    double len = std::sqrt(double(V.x) * V.x + double(V.y) * V.y);
    if (len == 0.0) Raise(errDivByZero);
    return MakeSingles(V.x / len, V.y / len);
}

Vector2 VecAdd(const Vector2& V1, const Vector2& V2) { return MakeSingles(double(V1.x) + V2.x, double(V1.y) + V2.y); }

Vector2 VecSub(const Vector2& V1, const Vector2& V2) { return MakeSingles(double(V1.x) - V2.x, double(V1.y) - V2.y); }

Vector2 VecScale(const Vector2& V, float Factor) { return MakeSingles(double(V.x) * Factor, double(V.y) * Factor); }

void MoveTowards(float& Value, float Target, float Divisor, float MinStep, float MaxStep) {
    if (Value == Target || Divisor == 0.0f) return;
    double step = (double(Target) - Value) / Divisor;
    if (Value < Target) {
        if (step > MaxStep) step = MaxStep;
        if (step < MinStep) step = MinStep;
        Value = ToSingle(Value + step);
        if (Value > Target) Value = Target;
    } else if (Value > Target) {
        if (step < -double(MaxStep)) step = -double(MaxStep);
        if (step > -double(MinStep)) step = -double(MinStep);
        Value = ToSingle(Value + step);
        if (Value < Target) Value = Target;
    }
}

}  // namespace zun::zMath
