// Scheduling timed events and the list of objects updated every frame, from
// scripts.
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class TimelineFunctionsTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        MakeLevel();
        zCore.FrameCounter = 100;
        LoadScript(R"(class T {
            v = 0;
            func schedule(target) { addTimeCall(3, target, "ring"); }
            func now(target) { addTimeCall(0, target, "ring"); }
            func fade() { addTimeValue(2, 10, v, 0.0, 100.0); }
            func fadeEased() { addTimeValue(0, 10, v, 0.0, 100.0, 2.0); }
            func slide() { addTimeObject(1, 4, empty, "x", 10.0, 50.0); }
            func slideDone() { addTimeObject(1, 4, 0, "alpha", 0.0, 1.0, 1.0, "arrived"); }
            func ring() { record("ring", this.v); }
            func arrived() { record("arrived"); }
            func join(o) { addUpdateObject(o); }
            func leave(o) { removeUpdateObject(o); }
        }
        class U {
            func onLoad() { record("onLoad"); }
            func onRelease() { record("onRelease"); }
        })");
    }
    void Frames(int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            ++zCore.FrameCounter;
            mTimeline.UpdateTimeline();
        }
    }
};

TEST_F(TimelineFunctionsTest, ACallIsScheduledByFrameForTheTarget) {
    auto caller = Object("T", "caller");
    auto target = Object("T", "target");
    caller->Execute("schedule", {HostValue(std::shared_ptr<iClass>(target))});
    ASSERT_EQ(mTimeline.Events.size(), 1u);
    const cTimeEvent& e = *mTimeline.Events[0];
    EXPECT_EQ(e.TimeStart, 103);
    EXPECT_EQ(e.Caller, caller);
    EXPECT_EQ(e.Target, target);
    EXPECT_EQ(e.DoneFunction, "ring");
    Frames(3);
    EXPECT_TRUE(records.empty());
    Frames(1);
    EXPECT_EQ(records, (std::vector<std::string>{"ring,0"}));
}

TEST_F(TimelineFunctionsTest, ACallWithoutDelayRunsAtTheNextUpdate) {
    auto caller = Object("T");
    caller->Execute("now", {HostValue(std::shared_ptr<iClass>(caller))});
    ASSERT_EQ(mTimeline.Events.size(), 1u);
    EXPECT_EQ(mTimeline.Events[0]->TimeStart, 100);
    Frames(1);
    EXPECT_EQ(records.size(), 1u);
}

TEST_F(TimelineFunctionsTest, AValueEventWritesIntoTheScriptsOwnVariable) {
    auto caller = Object("T");
    caller->Execute("fade");
    ASSERT_EQ(mTimeline.Events.size(), 1u);
    const cTimeEvent& e = *mTimeline.Events[0];
    EXPECT_EQ(e.TimeStart, 102);
    EXPECT_EQ(e.TimeEnd, 112);
    EXPECT_FLOAT_EQ(e.Factor, 1.0f);  // the default: linear
    EXPECT_EQ(e.Value.get(), caller->Locals->GetName("v"));
    Frames(7);  // frame 107: half way
    EXPECT_FLOAT_EQ(caller->Locals->GetName("v")->GetSingle(), 50.0f);

    auto eased = Object("T");
    mTimeline.Events.clear();
    eased->Execute("fadeEased");
    EXPECT_FLOAT_EQ(mTimeline.Events[0]->Factor, 2.0f);
}

TEST_F(TimelineFunctionsTest, AnObjectEventMovesThePlayersSprite) {
    auto caller = Object("T");
    caller->Execute("slide");
    ASSERT_EQ(mTimeline.Events.size(), 1u);
    const cTimeEvent& e = *mTimeline.Events[0];
    EXPECT_EQ(e.TimeStart, 101);
    EXPECT_EQ(e.TimeEnd, 105);
    EXPECT_EQ(e.Target, gCharTest.Player->Sprite);
    EXPECT_EQ(e.ValueName, "x");
    EXPECT_FLOAT_EQ(e.Factor, 1.0f);
    EXPECT_EQ(e.DoneFunction, "");
    Frames(3);  // frame 103
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->x, 30.0f);
    Frames(5);
    EXPECT_TRUE(records.empty());
    EXPECT_TRUE(mTimeline.Events.empty());
}

TEST_F(TimelineFunctionsTest, AnObjectEventCallsBackTheCallerWhenDone) {
    auto caller = Object("T");
    caller->Execute("slideDone");
    EXPECT_EQ(mTimeline.Events[0]->DoneFunction, "arrived");
    Frames(6);
    EXPECT_EQ(records, (std::vector<std::string>{"arrived"}));
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->Alpha, 1.0f);
}

TEST_F(TimelineFunctionsTest, UpdateObjectsAreListedBeforeTheirLoadEvent) {
    auto caller = Object("T");
    auto u = Object("U");
    caller->Execute("join", {HostValue(std::shared_ptr<iClass>(u))});
    caller->Execute("join", {HostValue(std::shared_ptr<iClass>(u))});
    ASSERT_EQ(gCharTest.UpdateObjects.size(), 2u);
    EXPECT_EQ(records.size(), 2u);

    auto other = Object("U");
    gCharTest.UpdateObjects.insert(gCharTest.UpdateObjects.begin(), other);
    records.clear();
    caller->Execute("leave", {HostValue(std::shared_ptr<iClass>(u))});
    EXPECT_EQ(records, (std::vector<std::string>{"onRelease"}));
    // Only the first entry of that very object goes.
    ASSERT_EQ(gCharTest.UpdateObjects.size(), 2u);
    EXPECT_EQ(gCharTest.UpdateObjects[0], other);
    EXPECT_EQ(gCharTest.UpdateObjects[1], u);

    // An object not in the list still hears "onRelease".
    auto stranger = Object("U");
    caller->Execute("leave", {HostValue(std::shared_ptr<iClass>(stranger))});
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(gCharTest.UpdateObjects.size(), 2u);
}

TEST_F(TimelineFunctionsTest, TheLoadHandlerFindsItsObjectInTheList) {
    LoadScript(R"(class W {
        func onLoad() { record("loaded"); }
    }
    class V {
        func run(o) { addUpdateObject(o); }
    })");
    auto w = Object("W");
    gScriptHooks.CallGameFunction = [inner = gScriptHooks.CallGameFunction](
                                        zScriptObject* c, zScriptArray* v, const std::string& n, zScriptArgs& a) {
        if (n == "record") {
            EXPECT_EQ(gCharTest.UpdateObjects.size(), 1u);
        }
        return inner(c, v, n, a);
    };
    Object("V")->Execute("run", {HostValue(std::shared_ptr<iClass>(w))});
    EXPECT_EQ(records, (std::vector<std::string>{"loaded"}));
}

TEST_F(TimelineFunctionsTest, AnUpdateObjectMustBeAnObject) {
    auto caller = Object("T");
    caller->Execute("join", {HostValue(int32_t(4))});
    EXPECT_TRUE(gCharTest.UpdateObjects.empty());
    caller->Execute("join", {HostValue::Nothing()});
    EXPECT_TRUE(gCharTest.UpdateObjects.empty());
}

TEST_F(TimelineFunctionsTest, FramesPastTheCounterRangeFailInsteadOfWrapping) {
    LoadScript(R"(class X { func run() { addTimeValue(2147483647, 5, v, 0.0, 1.0); } })");
    zCore.FrameCounter = 10;
    Run("X", "run");
    EXPECT_TRUE(mTimeline.Events.empty());
    EXPECT_NE(Logged().find("Overflow"), std::string::npos);
}

}  // namespace
}  // namespace tarv::test
