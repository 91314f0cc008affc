// Walking a path: waypoint by waypoint to the cell centres, used-up paths,
// and planning anew when a step is blocked.
#include "CharTestSupport.h"

namespace tarv::test {
namespace {

class Following : public CharTest {
protected:
    std::shared_ptr<zCollisionMap> map = OpenMap(32, 10, 5);
    void SetUp() override {
        CharTest::SetUp();
        gCharTest.mapCollision = map;
    }
    std::shared_ptr<gChar> Walker(float x, float y) {
        auto c = Char(x, y);
        gCharTest.Chars.push_back(c);
        return c;
    }
    // A character that blocks every way forward to the right of (48, 48).
    void Wall() {
        auto b = Char(100, 48, Sheet(96));
        b->CollisionShape = 2;
        gCharTest.Chars.push_back(b);
    }
};

TEST_F(Following, AOneNodePathIsUsedUpAtOnce) {
    auto c = Walker(80, 80);
    auto path = std::make_shared<gPath>();
    ASSERT_EQ(path->FindPath(map.get(), 1, 2, 2, 2, 2, true), 1);
    EXPECT_FALSE(c->MoveAlongPath(map.get(), path, 4));
    EXPECT_EQ(path->WayPointCount, 0);
    EXPECT_TRUE(path->IsActive);
    EXPECT_FLOAT_EQ(c->Sprite->x, 80);
    EXPECT_FLOAT_EQ(c->Sprite->y, 80);
}

TEST_F(Following, AStraightPathEndsWithinOneStepOfTheGoalCentre) {
    auto c = Walker(48, 48);
    auto path = std::make_shared<gPath>();
    ASSERT_EQ(path->FindPath(map.get(), 0, 1, 1, 5, 1, false), 2);
    const auto start = path;
    int steps = 0;
    while (c->MoveAlongPath(map.get(), path, 5)) {
        ++steps;
        ASSERT_LT(steps, 100);
        EXPECT_FLOAT_EQ(c->Angle, 0);
    }
    EXPECT_EQ(path, start) << "never blocked: the same path throughout";
    EXPECT_EQ(steps, 25);
    EXPECT_FLOAT_EQ(c->DestX, 176);
    EXPECT_FLOAT_EQ(c->DestY, 48);
    EXPECT_LT(176 - c->Sprite->x, 5);
    EXPECT_FLOAT_EQ(c->Sprite->x, 173);
    EXPECT_EQ(path->WayPointCount, 0);
    EXPECT_FALSE(c->MoveAlongPath(map.get(), path, 5)) << "a finished path does nothing";
}

TEST_F(Following, TheCharacterTurnsToFaceEachWaypoint) {
    auto corridor = Map(32, {
                                "#####",
                                "#.###",
                                "#.###",
                                "#....",
                                "#####",
                            });
    gCharTest.mapCollision = corridor;
    auto c = Walker(48, 48);
    auto path = std::make_shared<gPath>();
    ASSERT_EQ(path->FindPath(corridor.get(), 1, 1, 1, 4, 3, false), 4);
    ASSERT_TRUE(c->MoveAlongPath(corridor.get(), path, 4));
    EXPECT_FLOAT_EQ(c->Angle, 1.570796f) << "down to the corner first";
    int steps = 0;
    while (c->MoveAlongPath(corridor.get(), path, 4) && ++steps < 200) {
    }
    EXPECT_FLOAT_EQ(c->Angle, 0) << "then right";
    EXPECT_NEAR(c->Sprite->x, 4 * 32 + 16, 4);
    EXPECT_NEAR(c->Sprite->y, 3 * 32 + 16, 4);
}

TEST_F(Following, SpeedZeroPlansAnewAtEveryCall) {
    auto c = Walker(48, 48);
    auto path = std::make_shared<gPath>();
    path->FindPath(map.get(), 0, 1, 1, 5, 1, false);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(c->MoveAlongPath(map.get(), path, 0));
        EXPECT_FALSE(path->IsActive);
        EXPECT_EQ(path->GetNode(1).x, 5);
    }
    EXPECT_FLOAT_EQ(c->Sprite->x, 48);
}

TEST_F(Following, ABlockedStepPlansANewWayAndTriesItNextCall) {
    auto c = Walker(48, 48);
    Wall();
    auto path = std::make_shared<gPath>();
    path->FindPath(map.get(), 1, 1, 1, 5, 1, false);
    const auto first = path;
    EXPECT_FALSE(c->MoveAlongPath(map.get(), path, 4));
    EXPECT_EQ(path, first) << "planned anew in the same object";
    EXPECT_FALSE(path->IsActive) << "the first plan was started on; the new one not yet";
    EXPECT_TRUE(path->IsComplete);
    EXPECT_EQ(path->GetNode(1).x, 5);
    EXPECT_FALSE(c->MoveAlongPath(map.get(), path, 4));
    EXPECT_EQ(path, first);
    EXPECT_FALSE(path->IsActive) << "started on, blocked again, planned anew";
    EXPECT_EQ(path->GetNode(1).x, 5);

    gCharTest.Chars.resize(1);  // the obstacle leaves
    EXPECT_TRUE(c->MoveAlongPath(map.get(), path, 4));
    EXPECT_GT(c->Sprite->x, 48);
}

TEST_F(Following, UpdateKeepsItsPathObjectThroughABlockedStep) {
    auto c = Walker(48, 48);
    Wall();
    c->MovePath = std::make_shared<gPath>();
    c->MovePath->FindPath(map.get(), 1, 1, 1, 5, 1, false);
    const auto first = c->MovePath;
    c->Speed = 4;
    c->Update();
    EXPECT_EQ(c->MovePath, first);
    EXPECT_FALSE(first->IsActive);
    EXPECT_EQ(c->AniFrame, 0) << "a blocked step does not animate";
}

// Someone told to stand (Speed 0) still faces the way it was given and keeps
// its plan fresh, in its own update.
TEST_F(Following, UpdateAtSpeedZeroTurnsToTheWaypointAndPlansAnew) {
    auto c = Walker(112, 48);
    c->SetAngle(3.141593f);
    c->MovePath = std::make_shared<gPath>();
    ASSERT_EQ(c->MovePath->FindPath(map.get(), 0, 3, 1, 8, 1, false), 2);
    c->Update();
    EXPECT_FLOAT_EQ(c->Angle, 0) << "turned from the west to its waypoint in the east";
    EXPECT_FALSE(c->MovePath->IsActive) << "planned anew";
    EXPECT_EQ(c->MovePath->GetNode(1).x, 8);
    EXPECT_FLOAT_EQ(c->Sprite->x, 112);
}

TEST_F(Following, NothingToFollowIsNoMove) {
    auto c = Walker(48, 48);
    std::shared_ptr<gPath> none;
    EXPECT_FALSE(c->MoveAlongPath(map.get(), none, 4));
    auto empty = std::make_shared<gPath>();
    EXPECT_FALSE(c->MoveAlongPath(map.get(), empty, 4));
    EXPECT_FALSE(empty->IsActive);
    empty->FindPath(map.get(), 0, 1, 1, 5, 1, false);
    EXPECT_FALSE(c->MoveAlongPath(nullptr, empty, 4));
    EXPECT_EQ(empty->WayPointCount, 2);
}

}  // namespace
}  // namespace tarv::test
