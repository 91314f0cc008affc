// Math helpers for a 2-D game: angles, distances, clamping and wrapping, a
// biased random range, point / segment / circle / polygon tests, vector
// arithmetic and a smoothing step.
//
// Angles are radians; y points down, so pi/2 is "down" and 3 pi/2 is "up".
// Everything is computed in double and rounded to float where a value is
// returned or stored. No function traps: a division by zero or a result out of
// float range raises a RuntimeError for the caller to handle.
#pragma once

#include <cstdint>
#include <span>

#include "core/zVector.h"

namespace zun::zMath {

// The angle constants are the rounded single-precision values everything has
// always used; results such as NormalizeAngle's range follow them exactly.
inline constexpr float PI = 3.141593f;
inline constexpr float PI2 = 6.283186f;
inline constexpr float PI_2 = 1.570796f;
inline constexpr float PI3_2 = 4.712389f;

// Min + r^Power * (Max - Min) with r the next value of the program-wide random
// source; FromMax measures down from Max instead.
float RandomRange(float Min, float Max, float Power, bool FromMax);

// Into [0, 2 pi). A value that is not finite raises "Overflow".
float NormalizeAngle(float Angle);

// Max is tested first, so Min > Max gives Max.
float Clamp(float Value, float Min, float Max);

// Steps Value by Step until it lies within Min..Max (from above: subtracting
// while above Max; from below: adding while below Min). A Step that is not a
// positive finite number leaves Value unchanged.
float WrapValue(float Value, float Min, float Max, float Step);

// Kept for old callers: logs a deprecation entry, then AngleDist(B, A).
float AngleDiff(float A, float B);
// Signed shortest turn from A to B, in [-pi, pi).
float AngleDist(float A, float B);

// Direction from (X1, Y1) to (X2, Y2); straight up is 3 pi/2, not -pi/2.
float GetAngle(float X1, float Y1, float X2, float Y2);
float GetDistance(float X1, float Y1, float X2, float Y2);

bool CircleHitCircle(const Vector2& Center1, float Radius1, const Vector2& Center2, float Radius2);
float PointAnglePoint(const Vector2& P1, const Vector2& P2);

// Segment (X1,Y1)-(X2,Y2) against segment (X3,Y3)-(X4,Y4), ends included;
// parallel segments never cross.
bool LinesCrossing(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4);
// Segment A1-A2 against segment B1-B2; Hit is written only when they cross.
bool LineHitLine(const Vector2& A1, const Vector2& A2, const Vector2& B1, const Vector2& B2, Vector2& Hit);
// Segment A-B against a circle: -1 both ends inside (hits untouched), 0 no
// crossing, 1 one crossing (Hit1; Hit2 = the inside end when there is one),
// 2 two crossings (Hit1 nearer the outside end).
int32_t LineHitCircle(const Vector2& A, const Vector2& B, const Vector2& Center, float Radius, Vector2& Hit1,
                      Vector2& Hit2);
bool PointHitCircle(const Vector2& Point, const Vector2& Center, float Radius);
// Crossing-number test, half-open: left edges are inside, right edges outside.
bool PointInPolygon(const Vector2& Point, std::span<const Vector2> Vertices);

// Distance from the infinite line through L1 and L2; L1 = L2 raises
// "Division by zero".
float PointDistLine(const Vector2& Point, const Vector2& L1, const Vector2& L2);
float PointDistPoint(const Vector2& P1, const Vector2& P2);
// Negative inside the circle.
float PointDistCircle(const Vector2& Point, const Vector2& Center, float Radius);
Vector2 PointRotate(float X, float Y, float CenterX, float CenterY, float Angle);
Vector2 MakeVector(float X, float Y);
// The point in a frame turned by Angle and scaled; a scale of 0 raises
// "Division by zero".
Vector2 ToLocalPoint(float X, float Y, float OriginX, float OriginY, float OffsetX, float OffsetY, float Angle,
                     float ScaleX, float ScaleY);

float VecLength(const Vector2& V);
float VecDot(const Vector2& V1, const Vector2& V2);
// The zero vector has no direction: "Division by zero".
Vector2 VecNormal(const Vector2& V);
Vector2 VecAdd(const Vector2& V1, const Vector2& V2);
Vector2 VecSub(const Vector2& V1, const Vector2& V2);
Vector2 VecScale(const Vector2& V, float Factor);

// Moves Value towards Target by (Target - Value) / Divisor, the step limited to
// MaxStep and then raised to MinStep, never passing Target. Divisor 0 does nothing.
void MoveTowards(float& Value, float Target, float Divisor, float MinStep, float MaxStep);

}  // namespace zun::zMath
