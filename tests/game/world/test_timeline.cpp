// The timeline of timed events: value, object and call events stepped by the
// frame counter, the easing curve, the done calls and the failures.
#include <cmath>

#include "WidgetTestSupport.h"
#include "game/world/mTimeline.h"
#include "scene/zSprite.h"

namespace tarv::test {
namespace {

class TimelineTest : public WidgetTest {
protected:
    std::shared_ptr<zScriptObject> owner;

    void SetUp() override {
        WidgetTest::SetUp();
        mTimeline = mTimelineModule{};
        LoadScript(R"(class T {
            func done() { record("done", _frame); }
            func tick() { record("tick", _frame); }
            func fail() { x = 1 / 0; }
        })");
        zScript.Globals->SetNameValue("_frame", HostValue(int32_t(0)));
        owner = Object("T");
        owner->Name = "owner";
    }
    void TearDown() override {
        mTimeline = mTimelineModule{};
        WidgetTest::TearDown();
    }
    void At(int32_t frame) {
        zCore.FrameCounter = frame;
        zScript.Globals->SetNameValue("_frame", HostValue(frame));
        mTimeline.UpdateTimeline();
    }
    static float Number(const ValueRef& v) { return v->Data.ToSingle(); }
};

TEST_F(TimelineTest, ValueEventRunsFromItsStartToItsEnd) {
    auto v = zScriptValue::New();
    v->SetLong(5);
    mTimeline.AddTimeValue(owner, 10, 20, v, 0, 100, 1);
    At(10);
    EXPECT_EQ(v->Data.Kind(), HK::Long);  // still pending
    At(11);
    EXPECT_FLOAT_EQ(Number(v), 10);
    EXPECT_EQ(v->Typ, typInt);  // the type code is left alone
    At(15);
    EXPECT_FLOAT_EQ(Number(v), 50);
    At(20);
    EXPECT_FLOAT_EQ(Number(v), 100);
    EXPECT_EQ(mTimeline.Events.size(), 1u);
    At(21);
    EXPECT_TRUE(mTimeline.Events.empty());
    EXPECT_FLOAT_EQ(Number(v), 100);
    EXPECT_TRUE(records.empty());  // value events call nothing
}

TEST_F(TimelineTest, ObjectEventSetsAScriptValueAndCallsItsOwnerAtTheEnd) {
    auto target = Object("T");
    mTimeline.AddTimeObject(owner, 10, 20, target, "x", 1, 3, 1, "done");
    At(15);
    ASSERT_NE(target->Locals->GetName("x"), nullptr);
    EXPECT_FLOAT_EQ(target->Locals->GetName("x")->GetSingle(), 2);
    At(20);
    EXPECT_TRUE(records.empty());
    At(21);
    EXPECT_EQ(records, std::vector<std::string>{"done,21"});
    EXPECT_TRUE(mTimeline.Events.empty());
}

TEST_F(TimelineTest, EqualStartAndEndEndsAtOnceWithoutAValue) {
    auto target = Object("T");
    mTimeline.AddTimeObject(owner, 10, 10, target, "x", 1, 3, 1, "done");
    At(11);
    EXPECT_EQ(target->Locals->GetName("x"), nullptr);
    EXPECT_EQ(records, std::vector<std::string>{"done,11"});
    EXPECT_TRUE(mTimeline.Events.empty());
}

TEST_F(TimelineTest, CallEventsWhateverTheValueFieldsHold) {
    auto target = Object("T");
    mTimeline.AddTimeCall(owner, target, 5, "tick");
    mTimeline.AddTimeObject(owner, 5, -1, target, "x", 1, 3, 1, "tick");
    At(5);
    EXPECT_TRUE(records.empty());
    At(6);
    EXPECT_EQ(records, (std::vector<std::string>{"tick,6", "tick,6"}));
    EXPECT_EQ(target->Locals->GetName("x"), nullptr);
    EXPECT_TRUE(mTimeline.Events.empty());
}

TEST_F(TimelineTest, FactorShapesTheCurveAndLaterEventsWriteLast) {
    auto in = zScriptValue::New(), out = zScriptValue::New();
    mTimeline.AddTimeValue(owner, 10, 20, in, 0, 100, 2);
    mTimeline.AddTimeValue(owner, 10, 20, out, 0, 100, 0.5f);
    auto sprite = std::make_shared<zSprite>();
    mTimeline.AddTimeObject(owner, 10, 20, sprite, "x", 0, 10, 1, "");
    mTimeline.AddTimeObject(owner, 10, 20, sprite, "X", 50, 60, 1, "");
    mTimeline.AddTimeObject(owner, 10, 20, sprite, "zoomY", 1, 2, 1, "");
    At(15);
    EXPECT_FLOAT_EQ(Number(in), 25);
    EXPECT_NEAR(Number(out), 100 * std::sqrt(0.5), 1e-3);
    EXPECT_FLOAT_EQ(sprite->x, 55);
    EXPECT_FLOAT_EQ(sprite->ZoomY, 1.5f);
}

TEST_F(TimelineTest, EventWithoutTargetWarnsOnceAndIsDropped) {
    mTimeline.AddTimeObject(owner, 0, 10, nullptr, "x", 0, 1, 1, "done");
    At(1);
    EXPECT_NE(Logged().find("WARN\tTimeline\tNo target\towner"), std::string::npos);
    EXPECT_TRUE(mTimeline.Events.empty());
    At(20);
    EXPECT_TRUE(records.empty());
}

TEST_F(TimelineTest, FailingEventIsReportedAndTheOthersGoOn) {
    auto sprite = std::make_shared<zSprite>();
    auto v = zScriptValue::New();
    mTimeline.AddTimeObject(owner, 0, 10, sprite, "NoSuchField", 0, 1, 1, "done");
    mTimeline.AddTimeCall(owner, sprite, 0, "tick");  // a sprite runs no functions
    mTimeline.AddTimeCall(owner, nullptr, 0, "ring");
    mTimeline.AddTimeValue(owner, 0, 10, v, 0, 10, 1);
    At(5);
    EXPECT_FLOAT_EQ(Number(v), 5);
    EXPECT_EQ(mTimeline.Events.size(), 1u);
    // An object event's failure names its owner and the property it moves; a
    // call's names the target it called, which is where the fault lies.
    EXPECT_NE(Logged().find("ERR\tUpdateTimeline\tObject doesn't support this property or method\towner.NoSuchField"),
              std::string::npos);
    EXPECT_NE(Logged().find("ERR\tUpdateTimeline\tObject doesn't support this property or method\tzSprite.tick"),
              std::string::npos);
    EXPECT_NE(Logged().find("ERR\tUpdateTimeline\tObject variable or With block variable not set\tNothing.ring"),
              std::string::npos);
    At(20);
    EXPECT_TRUE(records.empty());  // dropped events make no done call
}

TEST_F(TimelineTest, EventsAddedByACallWaitForTheNextFrame) {
    auto target = Object("T");
    auto base = gScriptHooks.CallGameFunction;
    gScriptHooks.CallGameFunction = [&](zScriptObject* c, zScriptArray* s, const std::string& n, zScriptArgs& a) {
        if (n == "record" && records.empty()) mTimeline.AddTimeCall(owner, target, 0, "tick");
        return base(c, s, n, a);
    };
    zScript.ResetDispatch();
    mTimeline.AddTimeCall(owner, target, 0, "tick");
    At(1);
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(mTimeline.Events.size(), 1u);
    At(2);
    EXPECT_EQ(records.size(), 2u);
    EXPECT_TRUE(mTimeline.Events.empty());
}

// Failing calls as many as a full timeline holds: each frame runs a bounded
// number of them, the rest (and the good call behind them) wait their turn.
TEST_F(TimelineTest, AFloodOfFailingCallsRunsABoundedShareEachFrame) {
    auto sprite = std::make_shared<zSprite>();
    auto target = Object("T");
    for (int i = 0; i < 1500; ++i) mTimeline.AddTimeCall(owner, target, 0, "fail");  // fails in the script
    for (int i = 0; i < 1500; ++i) mTimeline.AddTimeCall(owner, sprite, 0, "tick");   // fails in the timeline
    mTimeline.AddTimeCall(owner, target, 0, "tick");
    At(1);
    EXPECT_EQ(mTimeline.Events.size(), 2001u);
    At(2);
    EXPECT_EQ(mTimeline.Events.size(), 1001u);
    At(3);
    EXPECT_TRUE(records.empty());
    At(4);
    EXPECT_EQ(records.size(), 1u);
    EXPECT_TRUE(mTimeline.Events.empty());
}

}  // namespace
}  // namespace tarv::test
