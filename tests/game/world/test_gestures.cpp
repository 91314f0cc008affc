// Gesture patterns followed along synthetic mouse paths, and the gesture
// controller's reports to its script object.
#include <cmath>
#include <set>

#include "WidgetTestSupport.h"
#include "game/world/gGestures.h"
#include "game/world/gPattern.h"

namespace tarv::test {
namespace {

class GestureTest : public WidgetTest {
protected:
    std::shared_ptr<gGestures> ctl = std::make_shared<gGestures>();

    void SetUp() override {
        WidgetTest::SetUp();
        LoadScript(R"(class G {
            func line(a) { record("line", a); }
            func twin(a) { record("twin", a); }
            func cancel(r) { record("cancel", r); }
            func progress(n, t, d) { record("progress", n, t, d); }
            func cancelGestureMode() { record("leave"); }
        })");
        ctl->Caller = Object("G");
        ctl->CancelFunction = "cancel";
        ctl->ProgressFunction = "progress";
        Mouse(100, 100);
    }

    static ValueRef Num(float v) {
        auto r = zScriptValue::New();
        r->SetSingle(v);
        return r;
    }
    static ValueRef Points(const std::vector<std::vector<float>>& pts) {
        auto list = zScriptArray::New();
        for (const auto& p : pts) {
            auto inner = zScriptArray::New();
            for (float c : p) inner->Add(Num(c));
            auto entry = zScriptValue::New();
            entry->SetArray(inner);
            list->Add(entry);
        }
        auto v = zScriptValue::New();
        v->SetArray(list);
        return v;
    }
    // A straight chain to the right: points 1..4 pattern units out, scale held at 10 unless told.
    void AddLine(const std::string& name = "line", int exclusive = -1, float autoMode = 0, float minScale = 10,
                 float maxScale = 10) {
        zScriptArgs a;
        auto text = zScriptValue::New();
        text->SetString(name);
        a.Push(text);
        a.Push(Num(minScale));
        a.Push(Num(maxScale));
        a.Push(Num(15));  // max delay
        a.Push(Num(0.5f));
        a.Push(Num(autoMode));
        a.Push(Points({{1, 0}, {2, 0}, {3, 0}, {4, 0, 1}}));
        if (exclusive >= 0) {
            auto b = zScriptValue::New();
            b->SetBool(exclusive != 0);
            a.Push(b);
        }
        ctl->AddPattern(a);
    }
    void Mouse(float x, float y) {
        zDInput.MouseX = x;
        zDInput.MouseY = y;
    }
    // One frame later the mouse is at (x, y).
    void Move(float x, float y, int32_t frames = 1) {
        zCore.FrameCounter += frames;
        Mouse(x, y);
        EXPECT_FALSE(ctl->MouseMove(x, y, 0));
    }
};

TEST_F(GestureTest, PatternPointsScaleTurnAndGrowAlongTheChain) {
    gPattern p;
    p.AddPoint(0, -1, 0.5f);
    p.AddPoint(1, 0, 0.5f);
    p.AddPoint(0, 1, 0.5f);
    p.SetCenter(100, 100);
    p.Reset(0, 300, 100);  // 200 pixels away: held to the upper bound
    EXPECT_FLOAT_EQ(p.Scaling, 64);
    p.Reset(0, 103, 100);
    EXPECT_FLOAT_EQ(p.Scaling, 8);
    EXPECT_NEAR(p.GetPoint(0).PosY, -8, 1e-4);
    EXPECT_FLOAT_EQ(p.GetPoint(0).Radius, 4);
    EXPECT_FLOAT_EQ(p.GetPoint(1).Radius, 6);
    EXPECT_FLOAT_EQ(p.GetPoint(2).Radius, 8);

    p.AutoMode = 1;
    p.Reset(0, 100, 120);  // turns toward the mouse: a quarter turn
    EXPECT_NEAR(p.Rotation, 1.570796, 1e-5);
    EXPECT_NEAR(p.GetPoint(1).PosX, 0, 1e-4);
    EXPECT_NEAR(p.GetPoint(1).PosY, 20, 1e-4);

    gPattern one;
    one.AddPoint(1, 0, 1);
    one.SetCenter(0, 0);
    one.Reset(0, 10, 0);
    EXPECT_FLOAT_EQ(one.GetPoint(0).Radius, 10);  // a single point: no growth, no fault
}

TEST_F(GestureTest, CompleteGestureReportsProgressThenAccuracy) {
    AddLine();
    ctl->SetCenter(100, 100);
    EXPECT_TRUE(records.empty());  // a restart reports nothing
    Move(110, 100);
    Move(120, 100);
    Move(130, 100);
    Move(140, 100);
    EXPECT_EQ(records, (std::vector<std::string>{"progress,line,4,1", "progress,line,4,2", "progress,line,4,3",
                                                 "progress,line,4,4"}));
    records.clear();
    Move(140, 100);  // not leaving the last circle yet
    EXPECT_TRUE(records.empty());
    Move(141, 100);
    EXPECT_EQ(records, std::vector<std::string>{"line,1"});
    EXPECT_EQ(ctl->Patterns[0]->GetIndex(), 0);  // and it starts again
}

TEST_F(GestureTest, AccuracyIsTheShareOfTheRadiiMissedWhicheverWayTheStrokeLeaves) {
    // Free to scale: leaving the last circle restarts at a new scale, which
    // must not change the score of the stroke just drawn.
    AddLine("line", -1, 0, 8, 64);
    for (const auto& [x, y] : {std::pair{140.0f, 111.0f}, std::pair{129.0f, 100.0f}}) {
        Mouse(110, 100);
        ctl->SetCenter(100, 100);  // scale 10: radii 5, 6.67, 8.33, 20 (the last has its own radius 1)
        ASSERT_FLOAT_EQ(ctl->Patterns[0]->Scaling, 10);
        Move(110, 104);
        Move(120, 100);
        Move(130, 100);
        Move(140, 110);
        records.clear();
        Move(x, y);
        ASSERT_EQ(records.size(), 1u) << x;
        const double expected = 1 - (4.0 + 10.0) / (5 + 10 / 1.5 + 25 / 3.0 + 20);
        EXPECT_NEAR(std::stod(records[0].substr(5)), expected, 1e-5) << "left towards " << x << ", " << y;
    }
}

TEST_F(GestureTest, BestHitIsRefinedWhileTheMouseApproaches) {
    AddLine();
    ctl->SetCenter(100, 100);
    Move(110, 104);
    Move(110, 101);
    const PatternPoint& p0 = ctl->Patterns[0]->GetPoint(0);
    EXPECT_FLOAT_EQ(p0.BestY, 101);
    EXPECT_FLOAT_EQ(p0.BestDist, 1);
}

TEST_F(GestureTest, TooSlowStrayedAndWrongWay) {
    AddLine();
    ctl->SetCenter(100, 100);
    Move(110, 100);
    Move(100, 100, 16);  // more than 15 frames after the hit
    EXPECT_EQ(records.back(), "cancel,1");

    ctl->SetCenter(100, 100);
    Move(110, 100);
    Move(120, 100);
    Move(141, 100);  // more than twice the segment from the last hit
    EXPECT_EQ(records.back(), "cancel,2");

    ctl->SetCenter(100, 100);
    records.clear();
    Move(110, 100);
    Move(105, 100);  // back along the second segment: not judged
    EXPECT_EQ(records, std::vector<std::string>{"progress,line,4,1"});
    Move(120, 100);
    Move(104, 100);  // back along the third: wrong way
    EXPECT_EQ(records.back(), "cancel,3");
    // A cancelling move can hit the first point of the new attempt at once.
    ctl->SetCenter(100, 100);
    Move(110, 100);
    Move(120, 100);
    records.clear();
    Move(110, 100);
    EXPECT_EQ(records, (std::vector<std::string>{"cancel,3", "progress,line,4,1"}));

    // Closer than a tenth of the segment the direction is not judged.
    ctl->SetCenter(100, 100);
    Move(110, 100);
    Move(120, 100);
    records.clear();
    Move(119.5f, 100);
    EXPECT_TRUE(records.empty());
}

// A V drawn through the middles of its points, one move a frame, is
// recognised: going on into the bottom point's circle towards its middle is
// no wrong way. Going on past the middle by more than a tenth of the way to
// the next point still is.
TEST_F(GestureTest, ACornerDrawnThroughItsPointIsNoWrongWay) {
    zScriptArgs a;
    auto name = zScriptValue::New();
    name->SetString("twin");
    a.Push(name);
    for (float v : {40.0f, 40.0f, 20.0f, 0.4f, 0.0f}) a.Push(Num(v));  // one size, 20 frames, no turns
    a.Push(Points({{-1, -1}, {0, 1}, {1, -1}}));
    ctl->AddPattern(a);
    auto stroke = [&](std::vector<std::pair<float, float>> corners) {
        Mouse(320, 300);
        ctl->SetCenter(320, 240);
        records.clear();
        for (size_t c = 1; c < corners.size(); ++c)
            for (int i = 1; i <= 8; ++i)
                Move(corners[c - 1].first + (corners[c].first - corners[c - 1].first) * float(i) / 8,
                     corners[c - 1].second + (corners[c].second - corners[c - 1].second) * float(i) / 8);
    };
    stroke({{320, 300}, {280, 200}, {320, 280}, {360, 200}, {380, 180}});
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[2], "progress,twin,3,3");
    EXPECT_EQ(records[3].substr(0, 5), "twin,");
    EXPECT_GT(std::stof(records[3].substr(5)), 0.99f);  // met at the middles
    stroke({{320, 300}, {280, 200}, {320, 295}, {360, 200}, {380, 180}});
    EXPECT_EQ(records.back(), "cancel,3");
}

TEST_F(GestureTest, NeverResetPatternTimesOutOnTheFirstMove) {
    AddLine();
    zCore.FrameCounter = 100;
    Move(110, 100);
    EXPECT_EQ(records.front(), "cancel,1");
}

TEST_F(GestureTest, ExclusivePatternEndsAtItsFirstCancellation) {
    AddLine("line", 1);
    ctl->SetCenter(100, 100);
    Move(110, 100);
    Move(111, 100, 20);
    EXPECT_EQ(records.back(), "cancel,1");
    EXPECT_EQ(ctl->Patterns[0]->GetLastIndex(), -1);
    records.clear();
    Move(120, 100);
    Move(130, 100);
    ctl->SetCenter(100, 100);
    Move(110, 100);
    EXPECT_TRUE(records.empty());
}

TEST_F(GestureTest, TwoPatternsProgressSideBySide) {
    AddLine("line");
    AddLine("twin");
    ctl->SetCenter(100, 100);
    for (float x : {110, 120, 130, 140, 141}) Move(x, 100);
    EXPECT_EQ(records[0], "progress,line,4,1");
    EXPECT_EQ(records[1], "progress,twin,4,1");
    EXPECT_EQ(records[8], "line,1");
    EXPECT_EQ(records[9], "twin,1");
}

TEST_F(GestureTest, EmptyNamesSilenceTheirReports) {
    AddLine("");
    ctl->CancelFunction = "";
    ctl->ProgressFunction = "";
    ctl->SetCenter(100, 100);
    for (float x : {110, 120, 130, 140, 141}) Move(x, 100);
    Move(200, 100, 30);
    EXPECT_TRUE(records.empty());
}

TEST_F(GestureTest, RescaleAtEveryHitUsesThePointsOwnDistance) {
    zScriptArgs a;
    auto text = zScriptValue::New();
    text->SetString("line");
    for (const ValueRef& v : {text, Num(1), Num(100), Num(15), Num(0.5f), Num(2)}) a.Push(v);
    a.Push(Points({{2, 0}, {4, 0}}));
    ctl->AddPattern(a);
    ctl->SetCenter(0, 0);
    Mouse(10, 0);
    ctl->SetCenter(0, 0);  // scale 10: points at 20 and 40
    Move(22, 0);           // hit 2 units out at 22 pixels: 11 pixels per unit
    EXPECT_FLOAT_EQ(ctl->Patterns[0]->Scaling, 11);
    EXPECT_NEAR(ctl->Patterns[0]->GetPoint(1).PosX, 44, 1e-4);
}

TEST_F(GestureTest, ArgumentListsAreReadWithTheZoomAndChecked) {
    zDDraw.RenderZoom = 2;
    AddLine("line", 0);
    ASSERT_EQ(ctl->Patterns.size(), 1u);
    const auto& p = ctl->Patterns[0];
    EXPECT_FLOAT_EQ(p->GetPoint(0).X, 2);
    EXPECT_FLOAT_EQ(p->GetPoint(0).R, 1);  // the default radius, zoomed
    EXPECT_FLOAT_EQ(p->GetPoint(3).R, 2);
    EXPECT_FALSE(p->Exclusive);
    EXPECT_EQ(p->MaxDelay, 15);
    EXPECT_EQ(p->GetIndex(), 0);

    zScriptArgs shortList;
    shortList.Push(Num(1));
    ctl->AddPattern(shortList);
    EXPECT_EQ(ctl->Patterns.size(), 1u);
    EXPECT_NE(Logged().find("AddPattern"), std::string::npos);

    zScriptArgs badPoints;
    for (int i = 0; i < 6; ++i) badPoints.Push(Num(1));
    badPoints.Push(Points({{1}, {1, 2}, {}}));
    ctl->AddPattern(badPoints);
    ASSERT_EQ(ctl->Patterns.size(), 2u);
    EXPECT_EQ(ctl->Patterns[1]->GetLastIndex(), 0);

    ctl->ClearPatterns();
    EXPECT_TRUE(ctl->Patterns.empty());
}

TEST_F(GestureTest, KeysAskTheScriptToLeaveAndClicksPassThrough) {
    zDInput.SetKey(65, true);
    zDInput.SetKey(66, true);
    ctl->CheckInput();
    EXPECT_EQ(records, (std::vector<std::string>{"leave", "leave"}));
    EXPECT_TRUE(zDInput.Keys[65]);  // held keys call again next frame
    EXPECT_FALSE(ctl->MouseDown(1, 1, 1));
    EXPECT_FALSE(ctl->MouseUp(1, 1, 1));
}

TEST_F(GestureTest, DrawsTheCirclesAheadAndTheTrailBehind) {
    zDDraw.RenderZoom = 2;
    zScriptArgs a;
    auto text = zScriptValue::New();
    text->SetString("long");
    for (const ValueRef& v : {text, Num(5), Num(5), Num(15), Num(1), Num(0)}) a.Push(v);
    a.Push(Points({{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}}));
    ctl->AddPattern(a);
    ctl->SetCenter(100, 100);  // scale 5, zoom 2: points 10 pixels apart
    auto centres = [&] {
        zDDraw.EndScene(false);
        std::set<std::pair<float, float>> out;
        for (const auto& d : rec->Draws)
            if (!d.Textured && d.Prim == Primitive::TriangleList) out.insert({d.Vertices[0].X, d.Vertices[0].Y});
        rec->ClearLog();
        return out;
    };
    ctl->Render(Camera(0, 0, 640, 480));
    std::set<std::pair<float, float>> ahead;
    // Drawn at the mouse position divided by the zoom, which the device scales back.
    for (int i = 0; i < 5; ++i) ahead.insert({100 + 10.0f * float(i + 1), 100});
    EXPECT_EQ(centres(), ahead);

    Move(110, 100);
    Move(121, 100);
    ctl->Render(Camera(0, 0, 640, 480));
    auto drawn = centres();
    EXPECT_EQ(drawn.size(), 7u + 1);  // targets 2..6, hits 0 and 1, and the hit marks (one on point 0)
    EXPECT_TRUE(drawn.count({121, 100}));
    zDDraw.EndScene(false);
}

}  // namespace
}  // namespace tarv::test
