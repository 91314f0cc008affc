// Geometry for scripts: points, lines, circles and 2-D vectors. Each function
// hands its arguments to the framework's math routines unchanged; vectors come
// in and go out as two-element arrays, and anything else reads as (0, 0), so a
// wrong argument type computes with the origin instead of failing.
#include "core/zMath.h"
#include "game/scriptapi/gScript.h"

using namespace zun;

namespace tarv {

namespace {

void pointRotate(GameCall& c) {
    const float x = c.Single(1), y = c.Single(2), cx = c.Single(3), cy = c.Single(4), angle = c.Single(5);
    c.Result = VectorToScriptValue(zMath::PointRotate(x, y, cx, cy, angle));
}

void pointAnglePoint(GameCall& c) {
    const Vector2 p1 = c.Vector(1), p2 = c.Vector(2);
    c.Result->SetSingle(zMath::PointAnglePoint(p1, p2));
}

void linesCrossing(GameCall& c) {
    float v[8];
    for (int32_t i = 0; i < 8; ++i) v[i] = c.Single(i + 1);
    c.Result->SetBool(zMath::LinesCrossing(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]));
}

void lineHitLine(GameCall& c) {
    const Vector2 a1 = c.Vector(1), a2 = c.Vector(2), b1 = c.Vector(3), b2 = c.Vector(4);
    Vector2 hit{};
    if (zMath::LineHitLine(a1, a2, b1, b2, hit)) {
        c.Result = VectorToScriptValue(hit);
    } else {
        // No crossing answers like a name the game does not know: no value.
        c.Result = ValueRef();
    }
}

void pointDistCircle(GameCall& c) {
    const Vector2 p = c.Vector(1), centre = c.Vector(2);
    const float r = c.Single(3);
    c.Result->SetSingle(zMath::PointDistCircle(p, centre, r));
}

void pointDistLine(GameCall& c) {
    const Vector2 p = c.Vector(1), l1 = c.Vector(2), l2 = c.Vector(3);
    c.Result->SetSingle(zMath::PointDistLine(p, l1, l2));
}

void pointDistPoint(GameCall& c) {
    const Vector2 p1 = c.Vector(1), p2 = c.Vector(2);
    c.Result->SetSingle(zMath::PointDistPoint(p1, p2));
}

void pointHitCircle(GameCall& c) {
    const Vector2 p = c.Vector(1), centre = c.Vector(2);
    const float r = c.Single(3);
    c.Result->SetBool(zMath::PointHitCircle(p, centre, r));
}

void circleHitCircle(GameCall& c) {
    const Vector2 c1 = c.Vector(1);
    const float r1 = c.Single(2);
    const Vector2 c2 = c.Vector(3);
    const float r2 = c.Single(4);
    c.Result->SetBool(zMath::CircleHitCircle(c1, r1, c2, r2));
}

void vecAdd(GameCall& c) {
    const Vector2 a = c.Vector(1), b = c.Vector(2);
    c.Result = VectorToScriptValue(zMath::VecAdd(a, b));
}

void vecSub(GameCall& c) {
    const Vector2 a = c.Vector(1), b = c.Vector(2);
    c.Result = VectorToScriptValue(zMath::VecSub(a, b));
}

void vecDot(GameCall& c) {
    const Vector2 a = c.Vector(1), b = c.Vector(2);
    c.Result->SetSingle(zMath::VecDot(a, b));
}

void vecLength(GameCall& c) {
    c.Result->SetSingle(zMath::VecLength(c.Vector(1)));
}

void vecNormal(GameCall& c) {
    c.Result = VectorToScriptValue(zMath::VecNormal(c.Vector(1)));
}

void vecScale(GameCall& c) {
    const Vector2 a = c.Vector(1);
    const float factor = c.Single(2);
    c.Result = VectorToScriptValue(zMath::VecScale(a, factor));
}

const GameFunctionEntry kEntries[] = {
    {"pointRotate", pointRotate},         {"pointAnglePoint", pointAnglePoint}, {"linesCrossing", linesCrossing},
    {"lineHitLine", lineHitLine},         {"pointDistCircle", pointDistCircle}, {"pointDistLine", pointDistLine},
    {"pointDistPoint", pointDistPoint},   {"pointHitCircle", pointHitCircle},   {"circleHitCircle", circleHitCircle},
    {"vecAdd", vecAdd},                   {"vecSub", vecSub},                   {"vecDot", vecDot},
    {"vecLength", vecLength},             {"vecNormal", vecNormal},             {"vecScale", vecScale},
};

}  // namespace

void AddGeometryFunctions() {
    AddGameFunctions(kEntries);
}

}  // namespace tarv
