// A character's or an item's script steering the object it belongs to.
#include "core/zMath.h"
#include "core/zValues.h"
#include "devices/zDInput.h"
#include "game/world/gPlayerMover.h"
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class ControlTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        MakeLevel();
        LoadScript(R"(class C {
            func pos(x, y) { setPos(x, y); record(_x, _y, _z); }
            func pos3(x, y, z) { setPos(x, y, z); record(_x, _y, _z); }
            func rot(r) { setRot(r); record(_r); }
            func zoom(a, b) { setCharZoom(a, b); }
            func color(c) { setCharColor(c); }
            func dir(a) { setDir(a); record(getDir()); }
            func playerDir(d) { setPlayerDir(d); }
            func frameX(f) { setFrameX(f); }
            func frameY(p) { setFrameY(p); }
            func aniTo(f, w) { animateTo(f, w); }
            func always(on) { setAlwaysAnimate(on); }
            func look() { lookAtPlayer(); }
            func beLookedAt() { playerLookAt(); }
            func move(a, s) { tryToMove(a, s); }
            func path(x, y, s) { setPath(x, y, s); record(pathComplete(), pathMoving()); }
            func stop() { stopMoving(); record(pathComplete(), pathMoving()); }
            func state() { record(pathComplete(), pathMoving()); }
            func offset(dx, dy) { setFrameOffset(dx, dy); }
            func offsetDir(d) { setOffsetDir(d); }
        })");
    }
    // A script object of class C standing for the origin.
    static std::shared_ptr<zScriptObject> ScriptOf(const std::shared_ptr<iClass>& origin) {
        auto so = Object("C");
        so->Origin = origin;
        return so;
    }
    std::vector<std::string> Take() {
        std::vector<std::string> r;
        r.swap(records);
        return r;
    }
};

TEST_F(ControlTest, SetPosMovesTheCallersSpriteAndItsScriptValues) {
    auto ch = Char("anna", 50, 60);
    ch->Sprite->Z = 7;
    auto so = ScriptOf(ch);
    so->Execute("pos", {HostValue(int32_t(120)), HostValue(int32_t(130))});
    // Two arguments leave the height, and "_z" still tells it.
    EXPECT_EQ(Take(), (std::vector<std::string>{"120,130,7"}));
    EXPECT_FLOAT_EQ(ch->Sprite->x, 120);
    EXPECT_FLOAT_EQ(ch->Sprite->y, 130);
    EXPECT_FLOAT_EQ(ch->Sprite->Z, 7);
    so->Execute("pos3", {HostValue(1.5f), HostValue(2.5f), HostValue(3.5f)});
    EXPECT_EQ(Take(), (std::vector<std::string>{"1.5,2.5,3.5"}));
    EXPECT_FLOAT_EQ(ch->Sprite->Z, 3.5f);
    // The values live in the object's own scope.
    ASSERT_NE(so->Locals->FindOwn(Atom::Intern("_x")), nullptr);
    EXPECT_FLOAT_EQ(so->Locals->GetName("_y")->GetSingle(), 2.5f);

    // An item's script moves the item's sprite.
    auto item = Item("barrel", 10, 10);
    auto itemScript = ScriptOf(item);
    itemScript->Execute("rot", {HostValue(0.5f)});
    itemScript->Execute("pos", {HostValue(int32_t(33)), HostValue(int32_t(44))});
    EXPECT_EQ(Take(), (std::vector<std::string>{"0.5", "33,44,0"}));
    EXPECT_FLOAT_EQ(item->Sprite->R, 0.5f);
    EXPECT_FLOAT_EQ(item->Sprite->x, 33);

    // No sprite, or no origin at all: nothing happens and nothing fails.
    item->Sprite.reset();
    itemScript->Execute("pos", {HostValue(int32_t(1)), HostValue(int32_t(2))});
    ScriptOf(nullptr)->Execute("rot", {HostValue(1.0f)});
    // ("_r" was never set for the object without origin: the engine says so.)
    EXPECT_EQ(Take(), (std::vector<std::string>{"33,44,0", ""}));
    EXPECT_EQ(LogCount("ERR\tScript"), 0u) << Logged();
}

TEST_F(ControlTest, AnOriginWithoutASpriteMemberFails) {
    auto area = std::make_shared<zDataShape>();
    auto so = ScriptOf(area);
    so->Execute("pos", {HostValue(int32_t(1)), HostValue(int32_t(2))});
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(LogCount("Object doesn't support this property or method"), 1u);
}

TEST_F(ControlTest, ZoomAndColourOfTheCharactersItem) {
    auto ch = Char("anna", 50, 60);
    auto so = ScriptOf(ch);
    // The first argument serves both axes.
    so->Execute("zoom", {HostValue(2.0f), HostValue(3.0f)});
    EXPECT_FLOAT_EQ(ch->Item->Sprite->ZoomX, 2.0f);
    EXPECT_FLOAT_EQ(ch->Item->Sprite->ZoomY, 2.0f);

    so->Execute("color", {HostValue(int32_t(0xFF00FF00u))});
    EXPECT_TRUE(ch->Item->Colored);
    EXPECT_EQ(ch->Item->Values->GetLong("_color", 5), int32_t(0xFF00FF00u));
    // Storing 0 removes the colour value; the item stays coloured.
    so->Execute("color", {HostValue(int32_t(0))});
    EXPECT_TRUE(ch->Item->Colored);
    EXPECT_EQ(ch->Item->Values->GetLong("_color", 5), 5);

    // A character whose item has no sprite: the zoom does nothing.
    ch->Item->Sprite.reset();
    so->Execute("zoom", {HostValue(4.0f), HostValue(4.0f)});
    EXPECT_EQ(LogCount("ERR"), 0u);

    // An item has no item of its own: both fail as a whole.
    auto item = Item("barrel", 10, 10);
    auto itemScript = ScriptOf(item);
    itemScript->Execute("zoom", {HostValue(2.0f), HostValue(2.0f)});
    itemScript->Execute("color", {HostValue(int32_t(3))});
    EXPECT_EQ(LogCount("Object doesn't support this property or method"), 2u);
    EXPECT_FALSE(item->Colored);
    EXPECT_FLOAT_EQ(item->Sprite->ZoomX, 1.0f);
}

TEST_F(ControlTest, DirectionsAndAngles) {
    auto ch = Char("anna", 50, 60);
    auto so = ScriptOf(ch);
    // A hair below a full turn, and a hair below 0, face right.
    for (float a : {0.0f, 1.570796f, 3.141593f, 4.712389f, -1.570796f, 0.7f, 6.2831855f, -1e-7f, 6.28f})
        so->Execute("dir", {HostValue(a)});
    EXPECT_EQ(Take(), (std::vector<std::string>{"0", "1", "2", "3", "3", "0", "0", "0", "3"}));
    EXPECT_NEAR(ch->Angle, 6.28f, 1e-5);

    for (int32_t d : {1, 2, 3, 4, 0}) {
        so->Execute("playerDir", {HostValue(d)});
        records.push_back(FormatSingle(gCharTest.Player->Angle));
    }
    EXPECT_EQ(Take(), (std::vector<std::string>{"0", "1.570796", "3.141592", "4.712388", "4.71239"}));
}

TEST_F(ControlTest, LookingAtEachOther) {
    auto ch = Char("anna", 200, 100);
    auto so = ScriptOf(ch);
    so->Execute("look");
    EXPECT_FLOAT_EQ(ch->Angle, 3.141593f);
    so->Execute("beLookedAt");
    EXPECT_FLOAT_EQ(gCharTest.Player->Angle, 0.0f);
    ch->Sprite->SetPosition(100, 40);
    so->Execute("beLookedAt");
    EXPECT_FLOAT_EQ(gCharTest.Player->Angle, 4.712389f);
    // The sheet row follows the facing.
    const int32_t row = ch->Sprite->SrcY;
    so->Execute("look");
    EXPECT_FLOAT_EQ(ch->Angle, 1.570796f);
    EXPECT_NE(ch->Sprite->SrcY, row);
}

TEST_F(ControlTest, ItemFramesAndAnimation) {
    auto item = Item("lamp", 10, 10);
    item->AniSpriteX = 10;
    item->AniSpriteY = 4;
    item->AniMode = 1;
    auto so = ScriptOf(item);
    so->Execute("frameX", {HostValue(int32_t(2))});
    EXPECT_EQ(item->AniFrame, 2);
    EXPECT_EQ(item->Sprite->SrcX, 10 + 2 * 24);
    EXPECT_EQ(item->AniMode, 0);
    item->AniMode = 1;
    so->Execute("frameY", {HostValue(int32_t(3))});
    EXPECT_EQ(item->AniPhase, 3);
    EXPECT_EQ(item->Sprite->SrcY, 4 + 3 * 32);
    EXPECT_EQ(item->AniMode, 0);
    so->Execute("aniTo", {HostValue(int32_t(5)), HostValue(int32_t(4))});
    EXPECT_EQ(item->AniDestFrame, 5);
    EXPECT_EQ(item->AniWait, 4);
    EXPECT_EQ(item->AniMode, 2);

    // A frame whose source lies beyond the Long range fails without a change.
    so->Execute("frameX", {HostValue(int32_t(200000000))});
    EXPECT_EQ(LogCount("Overflow"), 1u);
    EXPECT_EQ(item->AniFrame, 2);

    // From a character's script these are a type mismatch.
    auto ch = Char("anna", 50, 60);
    ScriptOf(ch)->Execute("frameX", {HostValue(int32_t(1))});
    ScriptOf(ch)->Execute("aniTo", {HostValue(int32_t(1)), HostValue(int32_t(1))});
    EXPECT_EQ(LogCount("Type mismatch"), 2u);
    EXPECT_EQ(ch->Item->AniMode, 0);
}

TEST_F(ControlTest, CharacterFunctionsNeedACharacter) {
    auto item = Item("lamp", 10, 10);
    ScriptOf(item)->Execute("dir", {HostValue(1.0f)});
    ScriptOf(item)->Execute("state");
    EXPECT_EQ(LogCount("Type mismatch"), 2u);
    ScriptOf(nullptr)->Execute("look");
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 1u);
    EXPECT_TRUE(records.empty());
}

TEST_F(ControlTest, AlwaysAnimateIsSharedThroughTheSheet) {
    auto a = Char("anna", 50, 60);
    auto b = Char("bert", 80, 60);
    b->SetCharSet(a->CharSet);
    ScriptOf(a)->Execute("always", {HostValue(true)});
    EXPECT_TRUE(b->CharSet->AlwaysAnimate);
    ScriptOf(b)->Execute("always", {HostValue(false)});
    EXPECT_FALSE(a->CharSet->AlwaysAnimate);
}

TEST_F(ControlTest, TryToMoveAgainstAWallStillTurns) {
    Block(7, 6);  // pixels 224..255 across
    auto ch = Char("anna", 218, 208);
    auto so = ScriptOf(ch);
    so->Execute("move", {HostValue(0.0f), HostValue(3.0f)});
    EXPECT_FLOAT_EQ(ch->Sprite->x, 218);
    EXPECT_FLOAT_EQ(ch->Sprite->y, 208);
    EXPECT_FALSE(ch->Animate);
    EXPECT_FLOAT_EQ(ch->Angle, 0.0f);

    // Facing the wall from below it still turns, and does not slide along it.
    ch->Angle = 3.0f;
    so->Execute("move", {HostValue(0.0f), HostValue(3.0f)});
    EXPECT_FLOAT_EQ(ch->Angle, 0.0f);
    EXPECT_FLOAT_EQ(ch->Sprite->y, 208);

    // Away from the wall it walks at the speed given.
    so->Execute("move", {HostValue(3.141593f), HostValue(3.0f)});
    EXPECT_TRUE(ch->Animate);
    EXPECT_NEAR(ch->Sprite->x, 215, 1e-4);
    EXPECT_FLOAT_EQ(ch->Angle, 3.141593f);
}

TEST_F(ControlTest, PathsPlannedStoppedAndAsked) {
    auto ch = Char("anna", 48, 48);
    auto so = ScriptOf(ch);
    // Never given a path: complete and not moving.
    so->Execute("state");
    so->Execute("path", {HostValue(int32_t(208)), HostValue(int32_t(48)), HostValue(2.5f)});
    ASSERT_TRUE(ch->MovePath);
    EXPECT_FLOAT_EQ(ch->Speed, 2.5f);
    EXPECT_GE(ch->MovePath->WayPointCount, 1);
    // The way ends in the goal's cell: (208 - 16) / 32 = 6.
    const gPathNode& end = ch->MovePath->GetNode(1);
    EXPECT_EQ(end.x, 6);
    EXPECT_EQ(end.y, 1);
    so->Execute("stop");
    EXPECT_FALSE(ch->MovePath);
    EXPECT_EQ(Take(), (std::vector<std::string>{"True,False", "True,True", "True,False"}));

    // A goal walled in: the path is not complete.
    for (int32_t y = 8; y <= 12; ++y)
        for (int32_t x = 8; x <= 12; ++x)
            if (x == 8 || x == 12 || y == 8 || y == 12) Block(x, y);
    so->Execute("path", {HostValue(int32_t(10 * 32 + 16)), HostValue(int32_t(10 * 32 + 16)), HostValue(1.0f)});
    ASSERT_TRUE(ch->MovePath);
    EXPECT_FALSE(ch->MovePath->IsComplete);

    // Without a collision map the call fails and the old path stays.
    auto kept = ch->MovePath;
    gCharTest.mapCollision.reset();
    so->Execute("path", {HostValue(int32_t(1)), HostValue(int32_t(1)), HostValue(1.0f)});
    EXPECT_EQ(ch->MovePath, kept);
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 1u);
}

TEST_F(ControlTest, ThePlayersOwnScriptSetsAndStopsThePathItsMoverWalks) {
    gChar& player = *gCharTest.Player;
    auto so = ScriptOf(gCharTest.Player);
    gPlayerMover mover;
    zDInput.ResetKeyStates();
    so->Execute("path", {HostValue(int32_t(400)), HostValue(int32_t(112)), HostValue(2.0f)});
    ASSERT_TRUE(player.MovePath);
    EXPECT_EQ(gCharTest.PlayerPath, player.MovePath) << "the mover walks the player's own path";
    mover.CheckKeys();
    EXPECT_GT(player.Sprite->x, 100) << "walked by the mover";

    so->Execute("stop");
    EXPECT_FALSE(player.MovePath);
    EXPECT_FALSE(gCharTest.PlayerPath) << "told to stop, the mover stops too";
    const float x = player.Sprite->x;
    mover.CheckKeys();
    player.Update();
    EXPECT_FLOAT_EQ(player.Sprite->x, x);
    EXPECT_EQ(Take(), (std::vector<std::string>{"True,True", "True,False"}));
}

TEST_F(ControlTest, FrameOffsetsShiftTheSharedSheet) {
    auto ch = Char("anna", 50, 60);
    ch->CharSet->x = 100;
    ch->CharSet->y = 200;
    ch->SetCharSet(ch->CharSet);
    auto so = ScriptOf(ch);
    so->Execute("offset", {HostValue(int32_t(1)), HostValue(int32_t(0))});
    so->Execute("offset", {HostValue(int32_t(1)), HostValue(int32_t(0))});
    EXPECT_EQ(ch->CharSet->x, 100 - 2 * 24);
    EXPECT_EQ(ch->CharSet->y, 200);
    EXPECT_EQ(ch->Sprite->SrcX, 52);
    so->Execute("offset", {HostValue(int32_t(-1)), HostValue(int32_t(2))});
    EXPECT_EQ(ch->CharSet->x, 100 - 24);
    EXPECT_EQ(ch->CharSet->y, 200 - 2 * 32);

    so->Execute("offsetDir", {HostValue(int32_t(2))});
    EXPECT_EQ(ch->CharSet->y, 200 - 4 * 32);
    EXPECT_NEAR(ch->Angle, 1.570796f, 1e-6);
    so->Execute("offsetDir", {HostValue(int32_t(0))});
    EXPECT_NEAR(ch->Angle, 4.712389f, 1e-5);
    EXPECT_EQ(ch->CharSet->y, 200 - 4 * 32);
}

TEST_F(ControlTest, MissingArgumentsChangeNothing) {
    auto ch = Char("anna", 50, 60);
    auto so = ScriptOf(ch);
    LoadScript(R"(class D : C {
        func shortPos() { setPos(5); }
        func shortPath() { setPath(5, 5); }
        func shortOffset() { setFrameOffset(1); }
    })");
    auto d = Object("D");
    d->Origin = ch;
    auto path = ch->MovePath;
    d->Execute("shortPos");
    d->Execute("shortPath");
    d->Execute("shortOffset");
    EXPECT_FLOAT_EQ(ch->Sprite->x, 50);
    EXPECT_EQ(ch->MovePath, path);
    EXPECT_EQ(ch->CharSet->x, 0);
    EXPECT_EQ(LogCount("Not enough arguments!"), 3u);
}

}  // namespace
}  // namespace tarv::test
