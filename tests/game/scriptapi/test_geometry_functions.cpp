// Points, lines, circles and vectors as scripts see them: worked values,
// vectors as two-element arrays, anything else read as the origin, and the
// crossing test that answers no value at all when the segments miss.
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class GeometryTest : public ScriptApiTest {};

TEST_F(GeometryTest, VectorArithmeticWorkedValues) {
    LoadScript(R"(class G {
        func run() {
            record(vecLength([3, 4]));
            v = vecAdd([1, 2], [3, 4]);
            record(count(v), v[1], v[2]);
            v = vecSub([1, 2], [3, 4]);
            record(v[1], v[2]);
            record(vecDot([1, 2], [3, 4]));
            v = vecNormal([0, -5]);
            record(v[1], v[2]);
            v = vecScale([1, -2], 1.5);
            record(v[1], v[2]);
            // Vector elements given as texts and ints are read as floats.
            v = vecAdd(["1.5", 2], [1, 0]);
            record(v[1], v[2]);
        }
    })");
    Run("G", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"5", "2,4,6", "-2,-2", "11", "0,-1", "1.5,-3", "2.5,2"}));
}

TEST_F(GeometryTest, VectorResultsAreArraysOfTwoFloats) {
    LoadScript(R"(class G { func run() { return vecAdd([1, 2], [3, 4]); } })");
    ValueRef r = Run("G", "run");
    ASSERT_TRUE(r);
    ASSERT_EQ(r->Typ, typArray);
    zScriptArray* a = r->GetArray();
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->Size(), 2);
    EXPECT_EQ(a->At(1)->Typ, typFloat);
    EXPECT_EQ(a->At(2)->Typ, typFloat);
    EXPECT_FLOAT_EQ(a->At(1)->GetSingle(), 4.0f);
    EXPECT_FLOAT_EQ(a->At(2)->GetSingle(), 6.0f);
}

TEST_F(GeometryTest, NonArrayArgumentsComputeWithTheOrigin) {
    LoadScript(R"(class G {
        func run() {
            record(vecDot(5, [3, 4]));
            record(vecLength("3,4"));
            record(pointDistPoint(empty, [3, 4]));
            v = vecAdd(7, [3, 4]);
            record(v[1], v[2]);
            // A one-element array reads its missing y as 0.
            record(vecLength([6]));
        }
    })");
    Run("G", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"0", "0", "5", "3,4", "6"}));
    EXPECT_EQ(LogCount("ERR"), 0u);
}

TEST_F(GeometryTest, PointsCirclesAndLines) {
    LoadScript(R"(class G {
        func run() {
            record(pointAnglePoint([0, 0], [0, 10]), pointAnglePoint([0, 0], [-1, 0]), pointAnglePoint([0, 0], [0, -3]));
            record(pointDistPoint([1, 1], [4, 5]));
            record(pointDistLine([0, 5], [-1, 0], [1, 0]), pointDistLine([3, -2], [0, 0], [0, 10]));
            record(pointDistCircle([1, 1], [1, 1], 3), pointDistCircle([0, 10], [0, 0], 4));
            // On the edge counts as inside, and touching circles as hitting.
            record(pointHitCircle([3, 4], [0, 0], 5), pointHitCircle([3, 4.01], [0, 0], 5));
            record(circleHitCircle([0, 0], 2, [5, 0], 3), circleHitCircle([0, 0], 2, [5.5, 0], 3));
            record(linesCrossing(0, 0, 2, 2, 0, 2, 2, 0), linesCrossing(0, 0, 1, 0, 0, 1, 1, 1),
                   linesCrossing(0, 0, 1, 1, 2, 0, 3, -1));
        }
    })");
    Run("G", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"1.570796,3.141593,4.712389", "5", "5,3", "-3,6", "True,False",
                                                 "True,False", "True,False,False"}));
}

TEST_F(GeometryTest, PointRotateTurnsAboutTheCentre) {
    LoadScript(R"(class G { func run(a) { return pointRotate(3, 1, 1, 1, a); } })");
    auto o = Object("G");
    ValueRef r = o->Execute("run", {HostValue(1.570796f)});
    ASSERT_TRUE(r);
    ASSERT_EQ(r->Typ, typArray);
    // (2, 0) from the centre turned a quarter clockwise on screen (y down) is (0, 2).
    EXPECT_NEAR(r->GetArray()->At(1)->GetSingle(), 1.0f, 1e-5);
    EXPECT_NEAR(r->GetArray()->At(2)->GetSingle(), 3.0f, 1e-5);
    r = o->Execute("run", {HostValue(0.0f)});
    EXPECT_FLOAT_EQ(r->GetArray()->At(1)->GetSingle(), 3.0f);
    EXPECT_FLOAT_EQ(r->GetArray()->At(2)->GetSingle(), 1.0f);
}

TEST_F(GeometryTest, LineHitLineGivesTheCrossingOrNoValue) {
    // Without a value from the game the call falls through to the class's own
    // function of that name, which shows that nothing was answered.
    LoadScript(R"(class G {
        func lineHitLine(a, b, c, d) { return "no crossing"; }
        func run() {
            v = lineHitLine([0, 0], [2, 2], [0, 2], [2, 0]);
            record(v[1], v[2]);
            record(lineHitLine([0, 0], [2, 0], [0, 1], [2, 1]));
            // Lines that would cross beyond the end of one segment.
            record(lineHitLine([0, 0], [1, 1], [3, 0], [2, 1]));
        }
    })");
    Run("G", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"1,1", "no crossing", "no crossing"}));
    std::vector<ValueRef> ints{Long(0), Long(0), Long(0), Long(0)};
    // Four int arguments read as four zero vectors: parallel, no value.
    EXPECT_FALSE(Call("lineHitLine", ints));
}

TEST_F(GeometryTest, FailuresAndMissingArguments) {
    LoadScript(R"(class G {
        func normal() { record("before"); v = vecNormal([0, 0]); record("after"); }
        func degenerate() { record(pointDistLine([1, 1], [2, 2], [2, 2])); }
        func short() { r = vecAdd([1, 2]); record("r", r); }
    })");
    auto o = Object("G");
    o->Execute("normal");
    // The zero vector has no direction: the call fails and ends the event.
    EXPECT_EQ(records, (std::vector<std::string>{"before"}));
    EXPECT_EQ(LogCount("ERR\tScript"), 1u);
    EXPECT_EQ(LogCount("Division by zero"), 1u);
    o->Execute("degenerate");
    EXPECT_EQ(LogCount("Division by zero"), 2u);
    o->Execute("short");
    EXPECT_EQ(LogCount("Not enough arguments!\tvecAdd"), 1u);
    EXPECT_EQ(records.back(), "r,");
}

}  // namespace
}  // namespace tarv::test
