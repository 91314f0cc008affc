// Characters made, changed, turned, sent along paths and removed by scripts.
#include <cmath>

#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class CharFunctionsTest : public ScriptApiTest {
protected:
    std::shared_ptr<zScriptObject> t;
    void SetUp() override {
        ScriptApiTest::SetUp();
        MakeLevel();
        LoadScript(R"(class T {
            func create(i, c, k, x, y) { return charCreate(i, c, k, x, y); }
            func dir(c, a) { charSetDir(c, a); }
            func flags(c, v, m, s) { charSetVisible(c, v); charSetMirrored(c, m); charSetShadow(c, s); }
            func cls2(c, k) { charSetClass(c, k); }
            func cls3(c, k, n) { charSetClass(c, k, n); }
            func shape(c, s) { charSetCollision(c, s); }
            func look(a, b) { charLookChar(a, b); }
            func lookPlayer(c) { charLookPlayer(c); }
            func playerCursor() { playerLookCursor(); }
            func playerChar(c) { playerLookChar(c); }
            func playerPath(x, y, s) { playerSetPath(x, y, s); }
            func path(c, x, y, s) { charSetPath(c, x, y, s); }
            func remove(c) { charRemove(c); }
            func byName(n) { return charByName(n); }
            func item(n) { return itemByName(n); }
        }
        class Villager {
            mood = "calm";
            func onLoad() {
                record("onLoad", _name, _class, _x, _y, _path, mood);
            }
        })");
        t = Object("T");
    }
    static HostValue H(std::shared_ptr<iClass> o) { return HostValue(std::move(o)); }
    static HostValue F(float v) { return HostValue(v); }
    static HostValue I(int32_t v) { return HostValue(v); }
};

TEST_F(CharFunctionsTest, AnItemBecomesACharacterInOrder) {
    auto item = Item("statue", 40, 40);
    item->Sprite->Texture = 3;
    item->Sprite->SrcX = 16;
    item->Sprite->SrcY = 32;
    item->Sprite->OriginX = 12.5f;  // halves round to even
    item->Sprite->OriginY = 27.5f;
    item->Visible = false;
    item->Values->SetSingle("_path", 2.5f);
    item->Values->SetString("mood", "grumpy");
    gCharTest.mapItems->AddItem(item, false);

    auto r = t->Execute("create", {H(item), "Villager", "bob", I(160), I(96)});
    auto ch = std::dynamic_pointer_cast<gChar>(r->GetObject());
    ASSERT_TRUE(ch) << Logged();
    EXPECT_EQ(ch->Item, item);
    EXPECT_EQ(ch->Sprite, item->Sprite);
    ASSERT_EQ(gCharTest.Chars.size(), 2u);
    EXPECT_EQ(gCharTest.Chars.back(), ch);
    EXPECT_TRUE(gCharTest.mapItems->Items().empty());

    ASSERT_TRUE(ch->CharSet);
    const gCharset& set = *ch->CharSet;
    EXPECT_EQ(set.Texture, 3);
    EXPECT_EQ(set.x, 16);
    EXPECT_EQ(set.y, 32);
    EXPECT_EQ(set.W, 24);
    EXPECT_EQ(set.H, 32);
    EXPECT_EQ(set.FramesX, 3);
    EXPECT_EQ(set.FramesY, 4);
    EXPECT_EQ(set.AniWait, 2);
    EXPECT_EQ(set.OffsetX, 12);
    EXPECT_EQ(set.OffsetY, 28);

    EXPECT_EQ(item->Collides, 1);
    EXPECT_TRUE(item->Visible);
    EXPECT_TRUE(item->Shadow);
    EXPECT_FLOAT_EQ(ch->Sprite->x, 160.0f);
    EXPECT_FLOAT_EQ(ch->Sprite->y, 96.0f);
    EXPECT_EQ(ch->CollisionShape, 1);
    EXPECT_EQ(ch->CollisionFlags, 1);
    EXPECT_EQ(ch->AniWalkOffset, 0);

    ASSERT_TRUE(item->ScriptObject);
    EXPECT_EQ(item->ScriptObject->Origin.lock(), ch);
    EXPECT_EQ(item->KeyName, "bob");
    EXPECT_EQ(item->ClassName_, "Villager");
    // "onLoad" ran last, with the item's values and the position in place;
    // the class's own initial values were overridden by the item's values.
    EXPECT_EQ(records, (std::vector<std::string>{"onLoad,bob,Villager,160,96,2.5,grumpy"}));
}

TEST_F(CharFunctionsTest, ANewCharacterIsFoundByItsNameAndNoLongerAsItem) {
    auto item = Item("statue", 40, 40);
    gCharTest.mapItems->AddItem(item, false);
    auto ch = t->Execute("create", {H(item), "Villager", "bob", I(50), I(50)})->GetObject();
    EXPECT_EQ(t->Execute("byName", {"bob"})->GetObject(), ch);
    EXPECT_EQ(t->Execute("item", {"statue"})->Typ, typVar);
    EXPECT_EQ(t->Execute("item", {"bob"})->Typ, typVar);
    auto* name = item->ScriptObject->Locals->GetName("_name");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->GetString(), item->KeyName);
}

TEST_F(CharFunctionsTest, SavedValuesComeBackBeforeLoad) {
    auto first = Item("a", 40, 40);
    auto ch = std::dynamic_pointer_cast<gChar>(t->Execute("create", {H(first), "Villager", "bob", I(1), I(1)})->GetObject());
    ASSERT_TRUE(ch);
    auto* mood = first->ScriptObject->Locals->GetName("mood");
    mood->SetString("happy");
    mood->Fixed = true;
    first->ScriptObject->SaveValues();
    records.clear();
    t->Execute("create", {H(Item("b", 40, 40)), "Villager", "bob", I(2), I(2)});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find("happy"), std::string::npos);
}

TEST_F(CharFunctionsTest, AnUnknownClassStillMakesTheCharacter) {
    auto item = Item("statue", 40, 40);
    item->ClassName_ = "Old";
    auto r = t->Execute("create", {H(item), "Nope", "bob", I(1), I(1)});
    ASSERT_TRUE(std::dynamic_pointer_cast<gChar>(r->GetObject()));
    EXPECT_EQ(item->ClassName_, "Old");
    EXPECT_EQ(LogCount("Script class not found\tNope"), 1u);
}

TEST_F(CharFunctionsTest, DirectionFlagsAndCollision) {
    auto anna = Char("anna", 200, 200);
    t->Execute("dir", {H(anna), F(float(M_PI))});
    EXPECT_NEAR(anna->Angle, M_PI, 1e-5);
    t->Execute("dir", {H(anna), F(float(-M_PI / 2))});
    EXPECT_NEAR(anna->Angle, 3 * M_PI / 2, 1e-5);

    t->Execute("flags", {H(anna), false, true, true});
    EXPECT_FALSE(anna->Item->Visible);
    EXPECT_TRUE(anna->Item->Mirrored);
    EXPECT_TRUE(anna->Item->Shadow);

    t->Execute("shape", {H(anna), I(2)});
    EXPECT_EQ(anna->CollisionShape, 2);
    t->Execute("shape", {H(anna), I(300)});
    EXPECT_EQ(anna->CollisionShape, 255);
    t->Execute("shape", {H(anna), I(-4)});
    EXPECT_EQ(anna->CollisionShape, 0);
}

TEST_F(CharFunctionsTest, AClassForTheCharactersItemKeepsTheCharacterAsOrigin) {
    auto anna = Char("anna", 200, 200);
    t->Execute("cls2", {H(anna), "Villager"});
    ASSERT_TRUE(anna->Item->ScriptObject);
    EXPECT_EQ(anna->Item->ScriptObject->Origin.lock(), anna);
    EXPECT_EQ(anna->Item->ClassName_, "Villager");
    EXPECT_EQ(anna->Item->KeyName, "");
    EXPECT_TRUE(records.empty());  // no "onLoad"

    t->Execute("cls3", {H(anna), "Villager", "annie"});
    EXPECT_EQ(anna->Item->KeyName, "annie");
    t->Execute("cls2", {H(anna), ""});
    EXPECT_FALSE(anna->Item->ScriptObject);
}

TEST_F(CharFunctionsTest, CharactersTurnTowardsEachOtherThePlayerAndTheCursor) {
    auto anna = Char("anna", 200, 100);  // right of the player at (100, 100)
    auto bob = Char("bob", 200, 300);    // below anna
    t->Execute("look", {H(anna), H(bob)});
    EXPECT_NEAR(anna->Angle, M_PI / 2, 1e-5);
    t->Execute("lookPlayer", {H(anna)});
    EXPECT_NEAR(anna->Angle, M_PI, 1e-5);
    t->Execute("playerChar", {H(anna)});
    EXPECT_NEAR(gCharTest.Player->Angle, 0, 1e-5);
    t->Execute("playerCursor");  // the cursor is straight above
    EXPECT_NEAR(gCharTest.Player->Angle, 3 * M_PI / 2, 1e-5);
}

TEST_F(CharFunctionsTest, ThePlayerWalksANewPathThatThePlayerMoverFollows) {
    auto old = gCharTest.PlayerPath;
    t->Execute("playerPath", {I(400), I(100), F(2.5f)});
    auto path = gCharTest.Player->MovePath;
    ASSERT_TRUE(path);
    EXPECT_NE(path, old);
    EXPECT_EQ(gCharTest.PlayerPath, path);
    EXPECT_TRUE(path->IsComplete);
    ASSERT_GE(path->WayPointCount, 1);
    // Waypoint 1 is the end: the cell of (400, 100), (400 - 16) / 32 = 12, (100 - 16) / 32 = 2.625 -> 3.
    EXPECT_EQ(path->GetNode(1).x, 12);
    EXPECT_EQ(path->GetNode(1).y, 3);
    EXPECT_FLOAT_EQ(gCharTest.Player->Speed, 2.5f);
}

TEST_F(CharFunctionsTest, ACharacterWalksAroundWhatBlocksIt) {
    auto anna = Char("anna", 48, 48);  // cell 1, 1
    for (int32_t y = 0; y <= 5; ++y) Block(3, y);
    t->Execute("path", {H(anna), I(48 + 32 * 5), I(48), F(1.5f)});
    ASSERT_TRUE(anna->MovePath);
    EXPECT_TRUE(anna->MovePath->IsComplete);
    EXPECT_GE(anna->MovePath->WayPointCount, 2);
    EXPECT_EQ(anna->MovePath->GetNode(1).x, 6);
    EXPECT_FLOAT_EQ(anna->Speed, 1.5f);
    // The player's planned path is not touched.
    EXPECT_NE(gCharTest.PlayerPath, anna->MovePath);
}

TEST_F(CharFunctionsTest, AnUnreachableTargetLeavesWhatTheSearchFound) {
    auto anna = Char("anna", 48, 48);
    for (int32_t y = 0; y <= 14; ++y) Block(5, y);
    t->Execute("path", {H(anna), I(300), I(48), F(1.0f)});
    ASSERT_TRUE(anna->MovePath);
    EXPECT_FALSE(anna->MovePath->IsComplete);
    EXPECT_FLOAT_EQ(anna->Speed, 1.0f);
}

TEST_F(CharFunctionsTest, WithoutACollisionMapTheWalkerGetsAnEmptyPath) {
    gCharTest.mapCollision = nullptr;
    auto anna = Char("anna", 48, 48);
    t->Execute("path", {H(anna), I(300), I(48), F(1.0f)});
    ASSERT_TRUE(anna->MovePath);
    EXPECT_EQ(anna->MovePath->WayPointCount, 0);
    EXPECT_FLOAT_EQ(anna->Speed, 1.0f);
    EXPECT_EQ(LogCount("ERR"), 0u);
}

TEST_F(CharFunctionsTest, RemovingACharacterTakesOnlyItsFirstEntry) {
    auto anna = Char("anna", 48, 48);
    gCharTest.Chars.push_back(anna);
    t->Execute("remove", {H(anna)});
    ASSERT_EQ(gCharTest.Chars.size(), 2u);
    EXPECT_EQ(gCharTest.Chars[1], anna);
    // Its item does not go back to the item layer.
    EXPECT_TRUE(gCharTest.mapItems->Items().empty());
    // A character not in the list changes nothing.
    auto stranger = std::make_shared<gChar>();
    t->Execute("remove", {H(stranger)});
    EXPECT_EQ(gCharTest.Chars.size(), 2u);
}

TEST_F(CharFunctionsTest, WithoutAPlayerThePlayerFunctionsFailTheScript) {
    gCharTest.Player = nullptr;
    t->Execute("playerPath", {I(1), I(1), F(1.0f)});
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 1u);
    t->Execute("playerCursor");
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 2u);
}

}  // namespace
}  // namespace tarv::test
