// Path finding on small collision maps: the waypoints of straight, bent and
// diagonal ways, unreachable and blocked goals, start cells in walls and off
// the map, and the debug drawing.
#include <cmath>
#include <utility>

#include "CharTestSupport.h"
#include "core/zRuntime.h"

namespace tarv::test {
namespace {

using Cells = std::vector<std::pair<int32_t, int32_t>>;

class Paths : public CharTest {
protected:
    gPath path;
    Cells Nodes() const {
        Cells out;
        for (int32_t i = 1; i <= path.WayPointCount; ++i) out.emplace_back(path.GetNode(i).x, path.GetNode(i).y);
        return out;
    }
};

TEST_F(Paths, AStraightWayRightKeepsTheGoalAndTheCellBeforeIt) {
    auto map = OpenMap(32, 6, 3);
    EXPECT_EQ(path.FindPath(map.get(), 1, 0, 0, 3, 0, false), 2);
    EXPECT_EQ(Nodes(), (Cells{{3, 0}, {2, 0}})) << "the start's arrival angle is that of a step right";
    EXPECT_TRUE(path.IsComplete);
    EXPECT_EQ(path.NodeCount(), 2);

    EXPECT_EQ(path.FindPath(map.get(), 1, 1, 1, 4, 1, false), 2);
    EXPECT_EQ(Nodes(), (Cells{{4, 1}, {3, 1}}));
}

TEST_F(Paths, AStraightWayDownAlsoKeepsTheStart) {
    auto map = OpenMap(32, 3, 6);
    EXPECT_EQ(path.FindPath(map.get(), 1, 0, 0, 0, 3, false), 3);
    EXPECT_EQ(Nodes(), (Cells{{0, 3}, {0, 2}, {0, 0}}));
    EXPECT_TRUE(path.IsComplete);
}

TEST_F(Paths, AnLShapedCorridorGivesItsCorners) {
    auto map = Map(32, {
                           "#####",
                           "#.###",
                           "#.###",
                           "#....",
                           "#####",
                       });
    EXPECT_EQ(path.FindPath(map.get(), 1, 1, 1, 4, 3, false), 4);
    EXPECT_EQ(Nodes(), (Cells{{4, 3}, {3, 3}, {1, 3}, {1, 1}}));
}

TEST_F(Paths, DiagonalStepsWhenAllowed) {
    auto map = OpenMap(32, 6, 6);
    EXPECT_EQ(path.FindPath(map.get(), 1, 0, 0, 3, 3, true), 3);
    EXPECT_EQ(Nodes(), (Cells{{3, 3}, {2, 2}, {0, 0}}));
    path.FindPath(map.get(), 1, 0, 0, 3, 3, false);
    for (size_t i = 1; i < Nodes().size(); ++i) {
        const auto a = Nodes()[i - 1], b = Nodes()[i];
        EXPECT_TRUE(a.first == b.first || a.second == b.second) << "without diagonals every leg is straight";
    }
}

TEST_F(Paths, StartEqualToGoalIsTheGoalAlone) {
    auto map = OpenMap(32, 4, 4);
    path.IsActive = true;
    EXPECT_EQ(path.FindPath(map.get(), 1, 2, 2, 2, 2, true), 1);
    EXPECT_EQ(Nodes(), (Cells{{2, 2}}));
    EXPECT_TRUE(path.IsComplete);
    EXPECT_TRUE(path.IsActive) << "a search leaves IsActive alone";
}

TEST_F(Paths, ABlockedGoalFallsBackToTheNearestReachedCell) {
    auto map = Map(32, {
                           "########",
                           "#.....##",
                           "########",
                       });
    // The goal (6, 1) is wall; the nearest cell reached is (5, 1), and the way
    // ends at its neighbour on the way back.
    EXPECT_EQ(path.FindPath(map.get(), 1, 1, 1, 6, 1, false, 5), 1);
    EXPECT_EQ(Nodes(), (Cells{{4, 1}}));
    EXPECT_FALSE(path.IsComplete);

    EXPECT_EQ(path.FindPath(map.get(), 1, 1, 1, 6, 1, false, 0), 0) << "weight 0: no fallback";
    EXPECT_EQ(path.NodeCount(), 0);
    EXPECT_FALSE(path.IsComplete);

    // A small weight makes the distance still to go worth less than the way
    // there: nothing beats staying at the start.
    EXPECT_EQ(path.FindPath(map.get(), 1, 1, 1, 6, 1, false, 1), 0);
}

TEST_F(Paths, AnUnreachableGoalFromAnEnclosedStartGivesNothing) {
    auto map = Map(32, {
                           "#####",
                           "#.#.#",
                           "#####",
                       });
    path.WayPointCount = 5;
    EXPECT_EQ(path.FindPath(map.get(), 1, 1, 1, 3, 1, true, 5), 0);
    EXPECT_EQ(path.WayPointCount, 0);
    EXPECT_FALSE(path.IsComplete);
}

TEST_F(Paths, AStartInsideAWallIsStillUsed) {
    auto map = Map(32, {
                           ".....",
                           ".#...",
                           ".....",
                       });
    EXPECT_GT(path.FindPath(map.get(), 1, 1, 1, 4, 1, false), 0);
    EXPECT_TRUE(path.IsComplete);
    EXPECT_EQ(path.GetNode(1).x, 4);
}

TEST_F(Paths, OnlyCellsHoldingEveryFlagBitBlock) {
    auto map = OpenMap(32, 5, 1);
    map->SetTile(2, 0, 2, 0);  // blocks class 2 only
    EXPECT_TRUE(path.FindPath(map.get(), 1, 0, 0, 4, 0, false) > 0 && path.IsComplete);
    EXPECT_EQ(path.FindPath(map.get(), 2, 0, 0, 4, 0, false, 0), 0);
    EXPECT_EQ(path.FindPath(map.get(), 3, 0, 0, 4, 0, false, 0), 2) << "a cell must hold all the bits";
}

TEST_F(Paths, EndsOffTheMapAreClampedUnlessTheMapIsIgnored) {
    auto map = OpenMap(32, 5, 5);
    EXPECT_EQ(path.FindPath(map.get(), 1, -5, -5, 99, 0, false), 2);
    EXPECT_EQ(Nodes(), (Cells{{4, 0}, {3, 0}}));
    EXPECT_EQ(path.FindPath(map.get(), 0, -5, -5, 99, 0, false), 2);
    EXPECT_EQ(Nodes(), (Cells{{99, 0}, {-5, -5}}));
    EXPECT_TRUE(path.IsComplete);
}

TEST_F(Paths, NoMapChangesNothing) {
    path.WayPointCount = 3;
    path.IsComplete = true;
    EXPECT_EQ(path.FindPath(nullptr, 1, 0, 0, 1, 1, true), 0);
    EXPECT_EQ(path.WayPointCount, 3);
    EXPECT_TRUE(path.IsComplete);
}

TEST_F(Paths, AWayThroughTheGapOfAWall) {
    auto map = Map(32, {
                           "...#....",
                           "...#....",
                           "...#....",
                           "........",
                           "...#....",
                       });
    ASSERT_GT(path.FindPath(map.get(), 1, 0, 0, 7, 0, true), 0);
    EXPECT_TRUE(path.IsComplete);
    bool throughGap = false;
    for (const auto& [x, y] : Nodes()) {
        uint8_t col = 0, shape = 0;
        map->GetTile(x, y, col, shape);
        EXPECT_EQ(col, 0) << x << "," << y;
        throughGap |= y == 3;
    }
    EXPECT_TRUE(throughGap);
}

TEST_F(Paths, ResetStopsThePathAndKeepsItsNodes) {
    auto map = OpenMap(32, 4, 4);
    path.FindPath(map.get(), 1, 0, 0, 0, 3, false);
    path.IsActive = true;
    path.Reset();
    EXPECT_EQ(path.WayPointCount, 0);
    EXPECT_FALSE(path.IsActive);
    EXPECT_FALSE(path.IsComplete);
    EXPECT_EQ(path.NodeCount(), 3);
    EXPECT_EQ(path.GetNode(3).y, 0);
    EXPECT_THROW(path.GetNode(4), RuntimeError);
    EXPECT_THROW(path.GetNode(0), RuntimeError);
}

TEST_F(Paths, SearchesOneAfterAnotherDoNotSeeEachOther) {
    auto walled = Map(32, {
                              "..#..",
                              "..#..",
                              "..#..",
                          });
    auto open = OpenMap(32, 5, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(path.FindPath(walled.get(), 1, 0, 0, 4, 0, false, 0), 0);
        EXPECT_EQ(path.FindPath(open.get(), 1, 0, 0, 4, 0, false, 0), 2);
    }
    auto big = OpenMap(8, 40, 30);
    EXPECT_EQ(path.FindPath(big.get(), 1, 0, 0, 39, 0, false), 2);
    EXPECT_EQ(path.FindPath(open.get(), 1, 0, 0, 0, 2, false), 3);
}

TEST_F(Paths, RenderDrawsEachLegWithAnArrowHead) {
    auto map = OpenMap(32, 6, 6);
    path.FindPath(map.get(), 1, 0, 0, 0, 3, false);  // (0,3), (0,2), (0,0)
    rec->ClearLog();
    path.Render(Camera(0, 10, 640, 480), *map);
    zDDraw.EndScene(false);
    std::vector<TLVertex> v;
    for (const auto& d : rec->Draws)
        if (d.Prim == Primitive::LineList) v.insert(v.end(), d.Vertices.begin(), d.Vertices.end());
    ASSERT_EQ(v.size(), 12u) << "two legs, three strokes each";
    // The first leg runs from waypoint 2 to waypoint 1, white to black.
    EXPECT_NEAR(v[0].X, 16, 0.6);
    EXPECT_NEAR(v[0].Y, 2 * 32 + 16 - 10, 0.6);
    EXPECT_NEAR(v[1].Y, 3 * 32 + 16 - 10, 0.6);
    EXPECT_EQ(v[0].Color, 0xFFFFFFFFu);
    EXPECT_EQ(v[1].Color, 0xFF000000u);
    EXPECT_NEAR(v[2].Y, 3 * 32 + 16 - 10, 0.6) << "the head sits at the waypoint walked to";
    EXPECT_NEAR(v[3].Y, 3 * 32 + 16 - 10 - 5 * std::sin(3.141593 / 4), 0.6) << "and points along the way";
    EXPECT_NEAR(v[6].Y, 0 * 32 + 16 - 10, 0.6) << "the second leg starts at the start";
}

}  // namespace
}  // namespace tarv::test
