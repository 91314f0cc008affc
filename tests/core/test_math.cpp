#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/zMath.h"
#include "core/zRuntime.h"
#include "tests/support/TestSupport.h"

using namespace zun;
namespace M = zun::zMath;

namespace {
constexpr float kTol = 1e-5f;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr uint32_t kSeedHalf = 0x4DF641;  // the next draw is exactly 0.5
constexpr uint32_t kSeedZero = 0xCDF641;  // the next draw is exactly 0

std::string FailureOf(auto&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.Description;
    }
    return "";
}
#define EXPECT_VEC(v, ex, ey) \
    { Vector2 v_ = (v); EXPECT_NEAR(v_.x, (ex), kTol); EXPECT_NEAR(v_.y, (ey), kTol); }
}  // namespace

TEST(Math, NormalizeAngle) {
    EXPECT_NEAR(M::NormalizeAngle(-0.5f), 5.783186f, kTol);
    EXPECT_EQ(M::NormalizeAngle(6.283186f), 0.0f);
    EXPECT_NEAR(M::NormalizeAngle(-13.0f), -13.0f + 3 * 6.283186f, kTol);
    // Far out one turn is below the float spacing; these must still return.
    for (float a : {1e30f, -1e30f, 3.4e38f, -123456789.0f}) {
        float r = M::NormalizeAngle(a);
        EXPECT_TRUE(r >= 0.0f && r < M::PI2) << a;
    }
    for (float a : {kInf, -kInf, kNaN}) EXPECT_EQ(FailureOf([&] { M::NormalizeAngle(a); }), "Overflow");
}

TEST(Math, AnglesAndClamp) {
    EXPECT_NEAR(M::AngleDist(0.1f, 6.2f), -0.183186f, kTol);
    EXPECT_NEAR(M::AngleDist(6.2f, 0.1f), 0.183186f, kTol);
    EXPECT_NEAR(M::AngleDist(0.0f, M::PI), -M::PI, kTol);  // half a turn: the closed end
    {
        test::LogCapture log;
        zCore.LoggedOnce.clear();
        EXPECT_FLOAT_EQ(M::AngleDiff(6.2f, 0.1f), M::AngleDist(0.1f, 6.2f));
        M::AngleDiff(1.0f, 2.0f);
        // Noted once a run, however often it is called.
        EXPECT_EQ(log.Lines(), (std::vector<std::string>{"DEP\tAngleDiff\tAngleDist"}));
    }
    EXPECT_EQ(M::GetAngle(5, 5, 9, 5), 0.0f);
    EXPECT_EQ(M::GetAngle(5, 5, 1, 5), M::PI);
    EXPECT_EQ(M::GetAngle(5, 5, 5, 9), M::PI_2);
    EXPECT_EQ(M::GetAngle(5, 5, 5, 1), M::PI3_2);  // up is 3 pi/2 ...
    EXPECT_NEAR(M::GetAngle(5, 5, 5.001f, 1), -1.570796f, 1e-3f);  // ... but just beside it near -pi/2
    EXPECT_EQ(M::GetAngle(5, 5, 5, 5), 0.0f);
    EXPECT_NEAR(M::GetAngle(0, 0, -1, 2), std::atan2(2.0f, -1.0f), kTol);
    EXPECT_NEAR(M::PointAnglePoint({0, 0}, {-1, -1}), std::atan2(-1.0f, -1.0f), kTol);
    EXPECT_NEAR(M::GetDistance(1, 1, 4, 5), 5.0f, kTol);
    EXPECT_EQ(M::Clamp(5, 10, 0), 0.0f);  // Max is tested first
    EXPECT_EQ(M::Clamp(-1, 0, 1), 0.0f);
    EXPECT_EQ(M::Clamp(0.5f, 0, 1), 0.5f);
}

TEST(Math, WrapValueStepsAndNeverHangs) {
    EXPECT_NEAR(M::WrapValue(25.5f, 0, 10, 10), 5.5f, kTol);
    EXPECT_NEAR(M::WrapValue(-23, 0, 10, 10), 7.0f, kTol);
    EXPECT_EQ(M::WrapValue(10, 0, 10, 10), 10.0f);
    // Steps that cannot move the value, and bounds no step reaches.
    EXPECT_EQ(M::WrapValue(15, 0, 10, 0), 15.0f);
    EXPECT_EQ(M::WrapValue(-5, 0, 10, 0), -5.0f);
    EXPECT_EQ(M::WrapValue(15, 0, 10, -1), 15.0f);
    EXPECT_EQ(M::WrapValue(15, 0, 10, kNaN), 15.0f);
    EXPECT_EQ(M::WrapValue(15, 0, 10, kInf), 15.0f);
    EXPECT_EQ(M::WrapValue(15, 0, -kInf, 1), 15.0f);
    EXPECT_EQ(M::WrapValue(-15, kInf, 10, 1), -15.0f);
    // Too many steps for a loop, or steps below the float spacing: closed form.
    for (float v : {1e9f, -1e9f, 1e30f}) {
        float r = M::WrapValue(v, 0, 10, 1);
        EXPECT_TRUE(r >= 0.0f && r <= 10.0f) << v;
    }
    EXPECT_LE(M::WrapValue(1e10f, 0, 1e10f - 2000, 0.01f), 1e10f - 2000);
}

TEST(Math, MoveTowardsNeverPassesTheTarget) {
    auto move = [](float v, float target, float div, float minStep, float maxStep) {
        M::MoveTowards(v, target, div, minStep, maxStep);
        return v;
    };
    EXPECT_NEAR(move(0, 100, 10, 1, 16), 10.0f, kTol);
    EXPECT_EQ(move(99.5f, 100, 10, 1, 16), 100.0f);
    EXPECT_NEAR(move(0, 1000, 10, 1, 16), 16.0f, kTol);
    EXPECT_NEAR(move(100, 0, 10, 1, 16), 90.0f, kTol);
    EXPECT_EQ(move(0.5f, 0, 10, 1, 16), 0.0f);
    EXPECT_NEAR(move(0, 100, 10, 20, 16), 20.0f, kTol);  // MinStep beats MaxStep
    EXPECT_EQ(move(3, 100, 0, 1, 16), 3.0f);
}

TEST(Math, SegmentCrossings) {
    EXPECT_TRUE(M::LinesCrossing(0, 0, 2, 2, 0, 2, 2, 0));
    EXPECT_TRUE(M::LinesCrossing(0, 0, 1, 0, 1, 0, 1, 1));   // shared end point
    EXPECT_FALSE(M::LinesCrossing(0, 0, 1, 1, 3, 0, 2, 1));
    EXPECT_FALSE(M::LinesCrossing(0, 0, 2, 0, 1, 0, 3, 0));  // collinear counts as parallel
    EXPECT_FALSE(M::LinesCrossing(0, 0, 0, 0, 0, 0, 0, 0));
    Vector2 hit{-7, -7};
    EXPECT_TRUE(M::LineHitLine({0, 0}, {4, 0}, {1, -1}, {1, 3}, hit));
    EXPECT_VEC(hit, 1, 0);
    hit = {-7, -7};
    EXPECT_FALSE(M::LineHitLine({0, 0}, {2, 0}, {0, 1}, {2, 1}, hit));   // parallel
    EXPECT_FALSE(M::LineHitLine({0, 0}, {2, 0}, {5, -1}, {5, 1}, hit));  // beyond the first segment
    EXPECT_FALSE(M::LineHitLine({0, 0}, {1, 1}, {3, 0}, {2, 1}, hit));   // beyond the second
    EXPECT_EQ(hit, (Vector2{-7, -7}));
}

TEST(Math, LineHitCircle) {
    const Vector2 c{0, 0};
    const Vector2 unset{-9, -9};
    Vector2 h1 = unset, h2 = unset;
    EXPECT_EQ(M::LineHitCircle({-0.5f, 0}, {0.5f, 0}, c, 1, h1, h2), -1);
    EXPECT_EQ(h1, unset);
    EXPECT_EQ(h2, unset);
    EXPECT_EQ(M::LineHitCircle({-2, 0}, {2, 0}, c, 1, h1, h2), 2);
    EXPECT_VEC(h1, -1, 0);
    EXPECT_VEC(h2, 1, 0);
    // One end inside (either one): Hit1 the crossing, Hit2 the inside end.
    EXPECT_EQ(M::LineHitCircle({0, 0}, {0, -3}, c, 1, h1, h2), 1);
    EXPECT_VEC(h1, 0, -1);
    EXPECT_EQ(h2, (Vector2{0, 0}));
    EXPECT_EQ(M::LineHitCircle({0, 3}, {0.5f, 0}, c, 1, h1, h2), 1);
    EXPECT_NEAR(h1.x * h1.x + h1.y * h1.y, 1.0f, 1e-4f);
    EXPECT_EQ(h2, (Vector2{0.5f, 0}));
    // Touching: one hit at the touching point, Hit2 untouched.
    h1 = h2 = unset;
    EXPECT_EQ(M::LineHitCircle({-2, 1}, {2, 1}, c, 1, h1, h2), 1);
    EXPECT_VEC(h1, 0, 1);
    EXPECT_EQ(h2, unset);
    EXPECT_EQ(M::LineHitCircle({-2, 2}, {2, 2}, c, 1, h1, h2), 0);
    EXPECT_EQ(M::LineHitCircle({-5, 0}, {-3, 0}, c, 1, h1, h2), 0);  // short of it
    EXPECT_EQ(M::LineHitCircle({3, 0}, {5, 0}, c, 1, h1, h2), 0);    // past it
    EXPECT_EQ(M::LineHitCircle({3, 3}, {3, 3}, c, 1, h1, h2), 0);
}

TEST(Math, PointTests) {
    EXPECT_TRUE(M::PointHitCircle({3, 4}, {0, 0}, 5));  // on the edge
    EXPECT_FALSE(M::PointHitCircle({3, 4.1f}, {0, 0}, 5));
    EXPECT_TRUE(M::CircleHitCircle({0, 0}, 2, {5, 0}, 3));  // touching
    EXPECT_FALSE(M::CircleHitCircle({0, 0}, 2, {5.1f, 0}, 3));
    EXPECT_NEAR(M::PointDistPoint({1, 1}, {4, 5}), 5.0f, kTol);
    EXPECT_NEAR(M::PointDistCircle({3, 3}, {3, 4}, 2), -1.0f, kTol);
    EXPECT_NEAR(M::PointDistLine({3, 0}, {0, 0}, {1, 1}), 3.0f / std::sqrt(2.0f), kTol);

    const std::vector<Vector2> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_TRUE(M::PointInPolygon({5, 5}, square));
    EXPECT_FALSE(M::PointInPolygon({15, 5}, square));
    EXPECT_TRUE(M::PointInPolygon({0, 5}, square));    // left edge inside
    EXPECT_FALSE(M::PointInPolygon({10, 5}, square));  // right edge outside
    EXPECT_TRUE(M::PointInPolygon({5, 0}, square));    // upper edge inside
    EXPECT_FALSE(M::PointInPolygon({5, 10}, square));  // lower edge outside
    const std::vector<Vector2> tri{{0, 0}, {10, 0}, {5, 10}};  // a horizontal edge
    EXPECT_TRUE(M::PointInPolygon({5, 5}, tri));
    EXPECT_FALSE(M::PointInPolygon({1, 8}, tri));
    const std::vector<Vector2> u{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    EXPECT_FALSE(M::PointInPolygon({1.5f, 2}, u));  // in the notch
    EXPECT_TRUE(M::PointInPolygon({2.5f, 2}, u));
    EXPECT_FALSE(M::PointInPolygon({1, 1}, std::vector<Vector2>{}));
}

TEST(Math, DivisionsByZeroAndOverflowAreRaised) {
    EXPECT_EQ(FailureOf([] { M::PointDistLine({0, 5}, {1, 1}, {1, 1}); }), "Division by zero");
    EXPECT_EQ(FailureOf([] { M::PointDistLine({1, 1}, {1, 1}, {1, 1}); }), "Division by zero");
    EXPECT_EQ(FailureOf([] { M::ToLocalPoint(1, 1, 0, 0, 0, 0, 0, 0, 1); }), "Division by zero");
    EXPECT_EQ(FailureOf([] { M::ToLocalPoint(1, 1, 0, 0, 0, 0, 0, 1, 0); }), "Division by zero");
    EXPECT_EQ(FailureOf([] { M::VecNormal({0, 0}); }), "Division by zero");
    EXPECT_EQ(FailureOf([] { M::VecAdd({3e38f, 0}, {3e38f, 0}); }), "Overflow");
}

TEST(Math, RotationsFramesAndVectors) {
    EXPECT_VEC(M::PointRotate(1, 0, 0, 0, M::PI_2), 0, 1);
    EXPECT_VEC(M::PointRotate(3, 2, 2, 2, M::PI), 1, 2);
    // Turned a quarter and scaled by 2: (0, 2) is (1, 0) in the frame, plus the offset.
    EXPECT_VEC(M::ToLocalPoint(0, 2, 0, 0, 10, 20, M::PI_2, 2, 2), 11, 20);
    Vector2 p = M::PointRotate(4, 1, 1, 1, 0.7f);
    EXPECT_VEC(M::ToLocalPoint(p.x, p.y, 1, 1, 1, 1, 0.7f, 1, 1), 4, 1);  // undoes the rotation
    EXPECT_EQ(M::MakeVector(1.5f, -2), (Vector2{1.5f, -2}));
    EXPECT_NEAR(M::VecLength({3, 4}), 5.0f, kTol);
    EXPECT_NEAR(M::VecDot({1, 2}, {3, -4}), -5.0f, kTol);
    EXPECT_VEC(M::VecNormal({3, 4}), 0.6f, 0.8f);
    EXPECT_VEC(M::VecAdd({1, 2}, {3, 4}), 4, 6);
    EXPECT_VEC(M::VecSub({1, 2}, {3, 5}), -2, -3);
    EXPECT_VEC(M::VecScale({1, -2}, 2.5f), 2.5f, -5);
}

TEST(Math, RandomRangeBiasesTheSharedSource) {
    SeedRandom(kSeedHalf);
    EXPECT_NEAR(M::RandomRange(10, 20, 2, false), 12.5f, kTol);
    SeedRandom(kSeedHalf);
    EXPECT_NEAR(M::RandomRange(10, 20, 2, true), 17.5f, kTol);
    // A draw of 0 to a negative power stays at the starting end.
    SeedRandom(kSeedZero);
    EXPECT_EQ(M::RandomRange(5, 9, -1, false), 5.0f);
    SeedRandom(kSeedZero);
    EXPECT_EQ(M::RandomRange(5, 9, -1, true), 9.0f);
}
