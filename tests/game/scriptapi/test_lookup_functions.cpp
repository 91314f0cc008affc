// Finding characters, items, doors and lights of the level from scripts.
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class LookupFunctionsTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        LoadScript(R"(class T {
            func char(name) { return charByName(name); }
            func findC(name) { return findChar(name); }
            func item(name) { return itemByName(name); }
            func findI(name) { return findItem(name); }
            func door(name) { return doorByName(name); }
            func findD(name) { return findDoor(name); }
            func light(name) { return lightByName(name); }
            func findL(name) { return findLight(name); }
            func at(x, y, t) { return charByPos(x, y, t); }
            func tag() { return "tagged"; }
            func askFound(name) { o = findItem(name); return o.tag(); }
        }
        class Thing { }
        )");
        MakeLevel();
    }
    ValueRef Ask(const std::string& fn, std::initializer_list<HostValue> args) { return Run("T", fn, args); }
};

TEST_F(LookupFunctionsTest, CharactersByKeyNameAndTheirScriptObjects) {
    auto anna = Char("anna", 200, 200);
    anna->Item->ScriptObject = Object("Thing", "anna");
    auto r = Ask("char", {"anna"});
    ASSERT_EQ(r->Typ, typObject);
    EXPECT_EQ(r->GetObject(), anna);
    r = Ask("findC", {"anna"});
    ASSERT_EQ(r->Typ, typObject);
    EXPECT_EQ(r->GetObject(), anna->Item->ScriptObject);
    EXPECT_EQ(Logged().find("ERR"), std::string::npos);
}

TEST_F(LookupFunctionsTest, AMissingNameIsLoggedAsTheScriptGaveIt) {
    Char("anna", 200, 200);
    auto r = Ask("char", {"Anna"});
    EXPECT_EQ(r->Typ, typVar);
    EXPECT_EQ(LogCount("Char not found\tAnna"), 1u);
    Ask("findC", {"bob"});
    EXPECT_EQ(LogCount("Char not found\tbob"), 1u);
    Ask("item", {"nothing"});
    EXPECT_EQ(LogCount("Item not found\tnothing"), 1u);
    Ask("findD", {"gate"});
    EXPECT_EQ(LogCount("Door not found\tgate"), 1u);
    Ask("light", {"lamp"});
    EXPECT_EQ(LogCount("Light not found\tlamp"), 1u);
}

TEST_F(LookupFunctionsTest, ALevelWithoutCharactersOrLayersFindsNothing) {
    gCharTest = gCharTestModule{};
    EXPECT_EQ(Ask("char", {"x"})->Typ, typVar);
    EXPECT_EQ(Ask("item", {"x"})->Typ, typVar);
    EXPECT_EQ(Ask("door", {"x"})->Typ, typVar);
    EXPECT_EQ(Ask("findL", {"x"})->Typ, typVar);
    EXPECT_EQ(LogCount("Char not found"), 1u);
    EXPECT_EQ(LogCount("Item not found"), 1u);
    EXPECT_EQ(LogCount("Door not found"), 1u);
    EXPECT_EQ(LogCount("Light not found"), 1u);
}

TEST_F(LookupFunctionsTest, TheFirstOfTwoEqualNamesIsFound) {
    auto first = Item("chest", 50, 50);
    auto second = Item("chest", 300, 300);
    gCharTest.mapItems->AddItem(first, false);
    gCharTest.mapItems->AddItem(second, false);
    EXPECT_EQ(Ask("item", {"chest"})->GetObject(), first);
    gCharTest.mapItems->RemoveItem(first);
    EXPECT_EQ(Ask("item", {"chest"})->GetObject(), second);
}

TEST_F(LookupFunctionsTest, EachLayerIsSearchedByItsOwnFunctions) {
    auto chest = ScriptedItem("chest", "Thing", 50, 50);
    auto gate = Item("gate", 60, 60);
    auto lamp = ScriptedItem("lamp", "Thing", 70, 70);
    gCharTest.mapItems->AddItem(chest, false);
    gCharTest.mapDoors->AddItem(gate, false);
    gCharTest.mapLights->AddItem(lamp, false);

    EXPECT_EQ(Ask("findI", {"chest"})->GetObject(), chest->ScriptObject);
    EXPECT_EQ(Ask("door", {"gate"})->GetObject(), gate);
    EXPECT_EQ(Ask("light", {"lamp"})->GetObject(), lamp);
    EXPECT_EQ(Ask("findL", {"lamp"})->GetObject(), lamp->ScriptObject);
    // Items of one layer are not found by another layer's functions.
    EXPECT_EQ(Ask("door", {"chest"})->Typ, typVar);
    EXPECT_EQ(Ask("item", {"gate"})->Typ, typVar);
}

TEST_F(LookupFunctionsTest, FindingAnObjectWithoutClassGivesAnObjectValueHoldingNothing) {
    auto gate = Item("gate", 60, 60);
    gCharTest.mapDoors->AddItem(gate, false);
    auto r = Ask("findD", {"gate"});
    EXPECT_EQ(r->Typ, typObject);
    EXPECT_FALSE(r->GetObject());
    EXPECT_EQ(LogCount("No class loaded\tgate"), 1u);
    // The door itself is there without a log line.
    EXPECT_EQ(Ask("door", {"gate"})->GetObject(), gate);
    EXPECT_EQ(LogCount("ERR"), 1u);

    Char("bob", 10, 10);
    EXPECT_EQ(Ask("findC", {"bob"})->Typ, typObject);
    EXPECT_EQ(LogCount("No class loaded\tbob"), 1u);
}

TEST_F(LookupFunctionsTest, AFoundScriptObjectCanBeCalled) {
    gCharTest.mapItems->AddItem(ScriptedItem("chest", "T", 50, 50), false);
    auto r = Ask("askFound", {"chest"});
    EXPECT_EQ(r->GetString(), "tagged");
}

TEST_F(LookupFunctionsTest, CharactersByPointWithTolerance) {
    // The player stands at (100, 100); its frame covers x 88..112, y 72..104.
    auto anna = Char("anna", 300, 300);
    EXPECT_EQ(Ask("at", {HostValue(100.0f), HostValue(90.0f), HostValue(0.0f)})->GetObject(), gCharTest.Player);
    EXPECT_EQ(Ask("at", {HostValue(300.0f), HostValue(290.0f), HostValue(0.0f)})->GetObject(), anna);
    EXPECT_EQ(Ask("at", {HostValue(114.0f), HostValue(90.0f), HostValue(0.0f)})->Typ, typVar);
    EXPECT_EQ(Ask("at", {HostValue(114.0f), HostValue(90.0f), HostValue(3.0f)})->GetObject(), gCharTest.Player);
    // A miss logs nothing.
    EXPECT_EQ(Ask("at", {HostValue(0.0f), HostValue(0.0f), HostValue(1.0f)})->Typ, typVar);
    EXPECT_EQ(LogCount("ERR"), 0u);
}

}  // namespace
}  // namespace tarv::test
