// The player mover: movement keys, the planned path, digit keys, Space on the
// door ahead and "onWalk" on the door underfoot.
#include <cmath>

#include "CharTestSupport.h"
#include "game/world/gPlayerMover.h"
#include "scene/zItemMap.h"
#include "script/zScriptObject.h"

namespace tarv::test {
namespace {

class Mover : public CharTest {
protected:
    std::shared_ptr<gPlayerMover> mover = std::make_shared<gPlayerMover>();
    std::shared_ptr<gChar> player;
    std::shared_ptr<zItemMap> doors = std::make_shared<zItemMap>();
    int steps = 0;

    void SetUp() override {
        CharTest::SetUp();
        LoadScript(R"(
class Player {
  func activateItem(n) { record("item", n); }
}
class Door {
  func onUse() { record("use", id); return true; }
  func onWalk() { record("walk", id); }
}
)");
        gCharTest.mapCollision = OpenMap(32, 20, 20);
        doors->SetSize(32, 19, 19);
        gCharTest.mapDoors = doors;
        player = Char(320, 320);
        player->Item->ScriptObject = Object("Player");
        gCharTest.Player = player;
        gCharTest.Chars = {player};
        gCharTest.PlayerPath = std::make_shared<gPath>();
        player->MovePath = gCharTest.PlayerPath;
        gCharTest.CreatePlayerSteps = [this] { ++steps; };
        gCharTest.PushController(mover);
    }
    static void Press(std::initializer_list<int> keys) {
        zDInput.ResetKeyStates();
        for (int k : keys) zDInput.Keys[size_t(k)] = true;
    }
    // A scripted door drawn over x0..x0+w, y-20..y.
    std::shared_ptr<zItem> Door(const std::string& id, float x0, float y, int32_t w, bool scripted = true) {
        auto item = std::make_shared<zItem>();
        item->Sprite->SetPosition(x0, y);
        item->Sprite->W = w;
        item->Sprite->H = 20;
        item->Sprite->OriginY = 20;
        if (scripted) {
            item->ScriptObject = Object("Door");
            item->ScriptObject->Locals->SetNameValue("id", HostValue(id));
        }
        doors->AddItem(item, false);
        return item;
    }
    void Frame() {
        ++zCore.FrameCounter;
        mover->CheckInput();
    }
};

TEST_F(Mover, MovementKeysStepFourPixelsAndShiftEight) {
    Press({gPlayerMover::kKeyD});
    Frame();
    EXPECT_FLOAT_EQ(player->Sprite->x, 324);
    EXPECT_FLOAT_EQ(player->Speed, 4);
    EXPECT_TRUE(player->Animate);
    EXPECT_FLOAT_EQ(player->Angle, 0);
    Press({gPlayerMover::kKeyD, gPlayerMover::kKeyShift});
    Frame();
    EXPECT_FLOAT_EQ(player->Sprite->x, 332);
    EXPECT_FLOAT_EQ(player->Speed, 8);
    EXPECT_EQ(steps, 2) << "footprints every frame";
}

TEST_F(Mover, TheFirstMatchingRowWins) {
    struct Case {
        std::initializer_list<int> keys;
        double face, move;
    };
    const double pi = 3.141593f;
    const int A = gPlayerMover::kKeyA, D = gPlayerMover::kKeyD, W = gPlayerMover::kKeyW, S = gPlayerMover::kKeyS;
    for (const Case& k : {Case{{A, D}, pi, pi}, Case{{W, S}, 1.5 * pi, 1.5 * pi}, Case{{A, W, S}, pi, 1.25 * pi},
                          Case{{A, S}, pi, 0.75 * pi}, Case{{D, W}, 0, 1.75 * pi}, Case{{D, S}, 0, 0.25 * pi},
                          Case{{S}, 0.5 * pi, 0.5 * pi}}) {
        player->Sprite->SetPosition(320, 320);
        Press(k.keys);
        Frame();
        EXPECT_NEAR(player->Angle, k.face, 1e-5);
        EXPECT_NEAR(player->Sprite->x, 320 + 4 * std::cos(k.move), 1e-3) << k.move;
        EXPECT_NEAR(player->Sprite->y, 320 + 4 * std::sin(k.move), 1e-3) << k.move;
    }
}

TEST_F(Mover, AMovementKeyDropsThePlannedPathForGood) {
    gCharTest.PlayerPath->FindPath(gCharTest.mapCollision.get(), 1, 10, 10, 15, 14, false);
    ASSERT_GT(gCharTest.PlayerPath->WayPointCount, 1);
    Press({gPlayerMover::kKeyS});
    Frame();
    EXPECT_EQ(gCharTest.PlayerPath->WayPointCount, 0);
    Press({});
    const float y = player->Sprite->y;
    Frame();
    EXPECT_FLOAT_EQ(player->Sprite->y, y);
    EXPECT_FLOAT_EQ(player->Speed, 0);
}

TEST_F(Mover, AfterABlockedWalkAKeyStillStopsThePathForGood) {
    auto blocker = Char(380, 336, Sheet(96));
    blocker->CollisionShape = 2;
    gCharTest.Chars.push_back(blocker);
    player->Sprite->SetPosition(336, 336);
    gCharTest.PlayerPath->FindPath(gCharTest.mapCollision.get(), 1, 10, 10, 15, 10, false);
    const auto shared = gCharTest.PlayerPath;
    Press({});
    Frame();
    player->Update();
    ASSERT_FALSE(player->Animate) << "the step was blocked";
    EXPECT_EQ(gCharTest.PlayerPath, shared);
    EXPECT_EQ(player->MovePath, shared) << "the mover and the player's own update share one plan";
    EXPECT_GE(shared->WayPointCount, 1);

    Press({gPlayerMover::kKeyS});
    Frame();
    player->Update();
    gCharTest.Chars.resize(1);  // the way is free again
    Press({});
    const float x = player->Sprite->x, y = player->Sprite->y;
    for (int i = 0; i < 3; ++i) {
        Frame();
        player->Update();
    }
    EXPECT_EQ(player->MovePath, shared);
    EXPECT_EQ(shared->WayPointCount, 0);
    EXPECT_FLOAT_EQ(player->Sprite->x, x);
    EXPECT_FLOAT_EQ(player->Sprite->y, y);
}

TEST_F(Mover, WithoutKeysThePlannedPathIsWalked) {
    player->Sprite->SetPosition(336, 336);
    gCharTest.PlayerPath->FindPath(gCharTest.mapCollision.get(), 1, 10, 10, 15, 10, false);
    Press({});
    Frame();
    EXPECT_FLOAT_EQ(player->Sprite->x, 336 + 4);
    EXPECT_FLOAT_EQ(player->Speed, 4);
    EXPECT_TRUE(player->Animate);
    Press({gPlayerMover::kKeyShift});
    Frame();
    EXPECT_FLOAT_EQ(player->Sprite->x, 336 + 12);
    EXPECT_FLOAT_EQ(player->Speed, 8);
}

TEST_F(Mover, ADigitTriggersItsItemOncePerPress) {
    Press({gPlayerMover::kKey0 + 3, gPlayerMover::kKey0});
    Frame();
    Frame();
    EXPECT_EQ(records, (std::vector<std::string>{"item,0", "item,3"}));
    EXPECT_FALSE(zDInput.Keys[gPlayerMover::kKey0 + 3]);
    zDInput.Keys[gPlayerMover::kKey0 + 3] = true;  // a new key-down
    Frame();
    EXPECT_EQ(records.size(), 3u);
}

TEST_F(Mover, SpaceUsesTheDoorFourPixelsAheadFirst) {
    Door("near", 322, 330, 4);  // covers (324, 320), not (332, 320)
    Door("far", 330, 330, 6);   // covers (332, 320)
    Press({gPlayerMover::kKeySpace});
    Frame();
    EXPECT_EQ(records, (std::vector<std::string>{"use,near"}));
    EXPECT_FALSE(zDInput.Keys[gPlayerMover::kKeySpace]);
    Frame();
    EXPECT_EQ(records.size(), 1u) << "once per press";
}

TEST_F(Mover, SpaceLooksTwelvePixelsAheadWhenNothingScriptedIsNear) {
    Door("near", 322, 330, 4, false);
    Door("far", 330, 330, 6);
    player->SetAngle(0);
    Press({gPlayerMover::kKeySpace});
    Frame();
    EXPECT_EQ(records, (std::vector<std::string>{"use,far"}));
}

TEST_F(Mover, WalkingOverADoorTellsIt) {
    Door("mat", 322, 330, 4);
    Press({gPlayerMover::kKeyD});
    Frame();
    EXPECT_EQ(records, (std::vector<std::string>{"walk,mat"}));
}

TEST_F(Mover, ABlockedPlayerNeitherMovesNorWalksOverTheDoor) {
    // One-pixel cells: the free box just holds the contact ring.
    std::vector<std::string> rows(200, std::string(200, '#'));
    for (int y = 96; y <= 104; ++y)
        for (int x = 93; x <= 107; ++x) rows[size_t(y)][size_t(x)] = '.';
    gCharTest.mapCollision = Map(1, rows);
    player->Sprite->SetPosition(100, 100);
    Door("mat", 90, 110, 20);
    for (int k : {gPlayerMover::kKeyD, gPlayerMover::kKeyW, gPlayerMover::kKeyA, gPlayerMover::kKeyS}) {
        Press({k});
        Frame();
        EXPECT_FLOAT_EQ(player->Speed, 0) << k;
        EXPECT_FALSE(player->Animate) << k;
    }
    EXPECT_FLOAT_EQ(player->Sprite->x, 100);
    EXPECT_FLOAT_EQ(player->Sprite->y, 100);
    EXPECT_TRUE(records.empty());
}

TEST_F(Mover, RemovingStopsThePlayerAndMiceAreLeftToTheShell) {
    player->Speed = 8;
    player->Animate = true;
    gCharTest.RemoveController(mover);
    EXPECT_FLOAT_EQ(player->Speed, 0);
    EXPECT_FALSE(player->Animate);
    EXPECT_FALSE(mover->MouseDown(1, 1, 1));
    EXPECT_FALSE(mover->MouseMove(1, 1, 1));
    EXPECT_FALSE(mover->MouseUp(1, 1, 1));
}

TEST_F(Mover, ThePlayersOwnUpdateWalksTheSamePathLaterInTheFrame) {
    player->Sprite->SetPosition(336, 336);
    gCharTest.PlayerPath->FindPath(gCharTest.mapCollision.get(), 1, 10, 10, 15, 10, false);
    Press({});
    Frame();
    player->Update();
    EXPECT_FLOAT_EQ(player->Sprite->x, 336 + 8) << "the mover's step, then Update's with the Speed it left";
}

}  // namespace
}  // namespace tarv::test
