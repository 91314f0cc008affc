#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/zCore.h"
#include "core/zLerp.h"
#include "core/zLerpStream.h"
#include "core/zRandom.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "tests/support/TestSupport.h"

using namespace zun;

namespace {
constexpr float kTol = 1e-5f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr uint32_t kSeedHalf = 0x4DF641;  // the next draw is exactly 0.5

std::string FailureOf(auto&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.Description;
    }
    return "";
}

zLerp Curve(std::initializer_list<Vector2> points) {
    zLerp c;
    for (const auto& p : points) c.AddPoint(p.x, p.y);
    return c;
}

// A rise from 0 to 1 between x 0.5 and 0.6: the spline dips below 0 before it
// (-0.0625 at x 0.25) and overshoots 1 after it (1.0625 at x 0.8).
zLerp Step() { return Curve({{0, 0}, {0.5f, 0}, {0.6f, 1}, {1, 1}}); }

std::string HexOf(const zStream& s) { return test::ToHex(s.Bytes()); }
std::string Canon(const std::string& hex) { return test::ToHex(test::Hex(hex)); }
}  // namespace

TEST(Lerp, Interpolation) {
    zLerp c = Curve({{0, 0}, {1, 10}});
    EXPECT_NEAR(c.GetValueLinear(0.25f), 2.5f, kTol);
    EXPECT_EQ(c.GetValueLinear(-1), 0.0f);
    EXPECT_EQ(c.GetValueLinear(5), 10.0f);
    EXPECT_EQ(c.GetValueLinear(kNaN), 0.0f);
    EXPECT_EQ(zLerp().GetValueSmooth(0.5f), 0.0f);
    zLerp one = Curve({{0.3f, 7}});
    for (float x : {-5.0f, 0.3f, 0.31f, 5.0f}) {
        EXPECT_EQ(one.GetValueLinear(x), 7.0f);
        EXPECT_EQ(one.GetValueSmooth(x), 7.0f);
    }
    // Catmull-Rom on y only, the end points repeated.
    zLerp line = Curve({{0, 0}, {1, 1}, {2, 2}});
    EXPECT_NEAR(line.GetValueSmooth(0.5f), 0.4375f, kTol);
    EXPECT_NEAR(line.GetValueSmooth(1.25f), 1.25f + 0.5f * 0.0625f * 0.75f, kTol);
    EXPECT_NEAR(Step().GetValueSmooth(0.8f), 1.0625f, kTol);
    EXPECT_NEAR(Step().GetValueSmooth(0.25f), -0.0625f, kTol);
    // Equal x: the search moves on to the first point not below the query.
    zLerp jump = Curve({{0, 0}, {0.5f, 1}, {0.5f, 3}, {1, 3}});
    EXPECT_NEAR(jump.GetValueLinear(0.5f), 1.0f, kTol);
    EXPECT_NEAR(jump.GetValueLinear(0.75f), 3.0f, kTol);
    EXPECT_TRUE(std::isfinite(jump.GetValueSmooth(0.5f)));
}

TEST(Lerp, PointsStaySortedByX) {
    zLerp c;
    EXPECT_EQ(c.AddPoint(0.5f, 1), 1);
    EXPECT_EQ(c.AddPoint(0.1f, 2), 2);
    EXPECT_EQ(c.AddPoint(0.9f, 3), 3);
    EXPECT_EQ(c.GetPoint(1), (Vector2{0.1f, 2}));
    EXPECT_EQ(c.GetPoint(2), (Vector2{0.5f, 1}));
    EXPECT_EQ(c.GetPoint(3), (Vector2{0.9f, 3}));
    c.AddPoint(0.5f, 4);  // equal x keep the order of adding
    EXPECT_EQ(c.GetPoint(3), (Vector2{0.5f, 4}));
    c.RemovePoint(1);  // the last point fills the gap, then all are sorted again
    EXPECT_EQ(c.PointCount, 3);
    EXPECT_EQ(c.GetPoint(1), (Vector2{0.5f, 1}));
    EXPECT_EQ(c.GetPoint(2), (Vector2{0.5f, 4}));
    EXPECT_EQ(c.GetPoint(3), (Vector2{0.9f, 3}));
    EXPECT_EQ(FailureOf([&] { c.GetPoint(0); }), "Subscript out of range");
    EXPECT_EQ(FailureOf([&] { c.GetPoint(4); }), "Subscript out of range");
    EXPECT_EQ(FailureOf([&] { c.RemovePoint(4); }), "Subscript out of range");
}

TEST(Lerp, TableSpansZeroToOneAndClampsPositions) {
    zLerp c = Curve({{0.2f, 0}, {0.7f, 1}});
    EXPECT_EQ(c.GetValue(0.5f), 0.0f);  // no table yet
    c.CreateValues(10, false, false);
    EXPECT_EQ(c.ValueCount, 10);
    EXPECT_EQ(c.GetValue(0), 0.0f);
    EXPECT_NEAR(c.GetValue(0.5f), 0.5f, kTol);
    EXPECT_EQ(c.GetValue(1), 1.0f);
    EXPECT_EQ(c.GetPoint(1), (Vector2{0.2f, 0}));  // the curve's own points stay
    EXPECT_EQ(c.GetValue(-0.3f), 0.0f);
    EXPECT_EQ(c.GetValue(2), 1.0f);
    EXPECT_EQ(c.GetValue(kNaN), 0.0f);
    c.CreateValues(5000, false, false);
    EXPECT_EQ(c.GetValue(1e6f), 1.0f);  // far past a 16-bit position
    // Start and length of a segment round half to even: the first segment's
    // 0.5 steps become 0 (skipped), the second starts at 0.5 -> 0 and spans 1.5 -> 2.
    zLerp h = Curve({{0, 0}, {0.25f, 1}, {1, 0}});
    h.CreateValues(2, false, false);
    EXPECT_NEAR(h.GetValue(0.25f), 1.0f, kTol);  // 0.5 -> entry 0
    EXPECT_NEAR(h.GetValue(0.5f), 0.5f, kTol);
    EXPECT_NEAR(h.GetValue(0.75f), 0.0f, kTol);  // 1.5 -> entry 2
    zLerp one = Curve({{0.5f, 0.7f}});
    one.CreateValues(4, false, false);
    EXPECT_EQ(one.GetValue(0.5f), 0.0f);  // fewer than two points: all 0
    EXPECT_EQ(FailureOf([&] { one.CreateValues(-1, false, false); }), "Subscript out of range");
}

TEST(Lerp, ClipCutsSplineOvershoot) {
    zLerp s = Step();
    s.CreateValues(10, true, false);
    EXPECT_NEAR(s.GetValue(0.8f), 1.0625f, kTol);
    EXPECT_LT(s.GetValue(0.2f), 0.0f);
    s.CreateValues(10, true, true);
    EXPECT_EQ(s.GetValue(0.8f), 1.0f);
    EXPECT_EQ(s.GetValue(0.2f), 0.0f);
    s.CreateValues(10, false, false);
    for (int i = 0; i <= 10; ++i) {
        float v = s.GetValue(i / 10.0f);
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << i;
    }
}

TEST(Lerp, MiddlePointsOutsideTheRangeStayInsideTheTable) {
    // Only the ends are moved to 0 and 1; middle points far out must neither
    // write past the table nor loop over their huge step counts.
    zLerp c = Curve({{0, 0}, {5, 1}, {10, 0}});
    c.CreateValues(10, false, false);
    EXPECT_NEAR(c.GetValue(1), 10.0f / 50.0f, kTol);
    zLerp far = Curve({{-1e30f, 0}, {0, 1}, {1e30f, 0}, {3e38f, 1}});
    far.CreateValues(100, true, true);
    EXPECT_EQ(far.ValueCount, 100);
}

TEST(Lerp, StoredForm) {
    zLerp c = Curve({{0, 0}, {1, 10}});
    c.CreateValues(2, false, false);
    zStream s;
    EXPECT_TRUE(c.Export(s));
    EXPECT_EQ(HexOf(s), Canon("02000000 00000000 00000000 0000803f 00002041 02000000 0000a040 00002041"));
    zLerp back;
    s.Cursor = 0;
    EXPECT_TRUE(back.Import(s));
    EXPECT_EQ(s.Cursor, s.GetLength());
    EXPECT_EQ(back.GetPoint(2), (Vector2{1, 10}));
    EXPECT_EQ(back.GetValue(0.5f), 5.0f);
    EXPECT_EQ(back.GetValue(0), 0.0f);  // entry 0 is not stored
    zStream empty;
    zLerp().Export(empty);
    EXPECT_EQ(HexOf(empty), Canon("00000000 00000000"));
    EXPECT_EQ(c.ClassName(), "zLerp");
}

TEST(Lerp, ImportChecksCountsAndKeepsTheCurveOnFailure) {
    zLerp c = Curve({{0, 0}, {1, 10}});
    c.CreateValues(2, false, false);
    for (auto [hex, error] : std::initializer_list<std::pair<const char*, const char*>>{
             {"ffffffff 00000000", "Subscript out of range"},
             {"00000000 00000080", "Subscript out of range"},
             {"ffffff7f 00000000", "Input past end of file"},
             {"01000000 00000000 0000803f 02000000 00000000", "Input past end of file"},
             {"01000000 00000000", "Input past end of file"},
             {"", "Input past end of file"}}) {
        zStream s(test::Hex(hex));
        EXPECT_EQ(FailureOf([&] { c.Import(s); }), error) << hex;
        EXPECT_EQ(c.PointCount, 2) << hex;
        EXPECT_EQ(c.GetValue(0.5f), 5.0f) << hex;
    }
}

TEST(LerpStream, FollowsAndDropsItsKeys) {
    zLerpStream s;
    s.Time = 100;
    EXPECT_EQ(s.AddPoint(110, 1), 2);  // (100, 0) goes in first
    EXPECT_EQ(s.AddPoint(120, 0), 3);
    s.SetTime(105);
    EXPECT_NEAR(s.Value, 0.5f, kTol);
    s.SetTime(115);
    EXPECT_NEAR(s.Value, 0.5f, kTol);
    EXPECT_EQ(s.PointCount, 2);
    s.SetTime(130);
    EXPECT_EQ(s.Value, 0.0f);
    EXPECT_EQ(s.PointCount, 0);
    // Keys sort by time; the blend byte does not change the line.
    s.AddPoint(150, 1);
    EXPECT_EQ(s.AddPoint(140, 5, 3), 3);
    s.SetTime(135);
    EXPECT_NEAR(s.Value, 2.5f, kTol);
}

TEST(LerpStream, RefusesPastKeysAndKeepsASingleKey) {
    zLerpStream s;
    s.Time = 50;
    EXPECT_EQ(s.AddPoint(49, 3), 0);
    EXPECT_EQ(s.PointCount, 0);
    EXPECT_EQ(s.AddPoint(60, 0), 1);  // equal to Value: no start key
    s.SetTime(55);
    EXPECT_EQ(s.Value, 0.0f);
    s.SetTime(70);
    EXPECT_EQ(s.PointCount, 1);
    s.Value = 9;
    s.Time = 0;
    s.SetTime(10);  // before the first key nothing changes
    EXPECT_EQ(s.Value, 9.0f);
}

TEST(LerpStream, KeysAtTheSameTimeStepToTheLaterValue) {
    zLerpStream s;
    s.Time = 7;
    EXPECT_EQ(s.AddPoint(7, 4), 2);  // (7, 0) and (7, 4)
    s.SetTime(7);
    EXPECT_EQ(s.Value, 4.0f);
    s.AddPoint(9, 8);
    s.AddPoint(9, 6);
    s.SetTime(10);
    EXPECT_EQ(s.Value, 6.0f);
    EXPECT_EQ(s.PointCount, 0);
    // Times a whole Long range apart do not overflow.
    s.Time = -2147483647 - 1;
    s.AddPoint(2147483647, 1);
    s.SetTime(0);
    EXPECT_NEAR(s.Value, 3.5f, 1e-4f);
}

TEST(LerpStream, GetValueAppliesFactorAndOffset) {
    zLerpStream s;
    s.Value = 1;
    s.ValueMul = 2;
    s.ValueAdd = 0.5f;
    EXPECT_NEAR(s.GetValue(), 2.5f, kTol);
    EXPECT_EQ(s.ClassName(), "zLerpStream");
}

TEST(Random, DrawsFromTheSharedSource) {
    zRandom r;
    SeedRandom(99);
    std::vector<float> expected;
    for (int i = 0; i < 100; ++i) expected.push_back(Rnd());
    SeedRandom(99);
    for (float e : expected) EXPECT_EQ(r.GetValue(), e);  // a new object is the plain [0, 1) draw
    r.Configure(10, 20, 2);
    SeedRandom(kSeedHalf);
    EXPECT_NEAR(r.GetValue(), 12.5f, kTol);
    r.Configure(10, 20, 2, true);
    SeedRandom(kSeedHalf);
    EXPECT_NEAR(r.GetValue(), 17.5f, kTol);
    r.Configure(3, 3, 5, true);
    EXPECT_EQ(r.GetValue(), 3.0f);
}

TEST(Random, StoredFormIsThirteenBytes) {
    zRandom r;
    r.Configure(10, 20, 2);
    zStream s;
    EXPECT_TRUE(r.Export(s));
    EXPECT_EQ(zCore.CurrentProc, "Random_Export");
    EXPECT_EQ(HexOf(s), Canon("00002041 0000a041 00000040 00"));
    zRandom back;
    s.Cursor = 0;
    EXPECT_TRUE(back.Import(s));
    EXPECT_EQ(zCore.CurrentProc, "Random_Import");
    EXPECT_TRUE(back.Min == 10 && back.Max == 20 && back.Power == 2 && !back.Invert);
    zStream inv(test::Hex("00000000 0000803f 0000803f 07"));  // any non-zero byte is True
    back.Import(inv);
    EXPECT_TRUE(back.Invert);
    // A truncated form raises and leaves the settings as they were.
    zStream cut(test::Hex("00002041 0000a041 00000040"));
    EXPECT_EQ(FailureOf([&] { back.Import(cut); }), "Input past end of file");
    EXPECT_TRUE(back.Min == 0 && back.Max == 1 && back.Power == 1 && back.Invert);
}
