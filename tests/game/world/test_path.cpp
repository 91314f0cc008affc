// Path finding on small collision maps: the waypoints of straight, bent and
// diagonal ways, unreachable and blocked goals, start cells in walls and off
// the map, agreement with a plain flood on random maps, and the debug drawing.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <random>
#include <tuple>
#include <utility>

#include "CharTestSupport.h"
#include "core/zMath.h"
#include "core/zRuntime.h"

namespace tarv::test {
namespace {

using Cells = std::vector<std::pair<int32_t, int32_t>>;

// The search as plainly as it can be written: a full flood in order of
// discovery with fresh grids, then the walk back down the costs. The game's
// search must give the same waypoints for every map and query.
struct PlainResult {
    int32_t count = 0;
    bool complete = false;
    Cells nodes;
    bool operator==(const PlainResult&) const = default;
};
PlainResult PlainFindPath(const zCollisionMap& map, uint8_t flags, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                          bool diagonal, int32_t weight) {
    static const int32_t dx[8] = {0, 1, 0, -1, 1, 1, -1, -1}, dy[8] = {-1, 0, 1, 0, -1, 1, 1, -1};
    static const float angle[8] = {1.5f * zMath::PI,  0.0f, 0.5f * zMath::PI, zMath::PI, 1.75f * zMath::PI,
                                   0.25f * zMath::PI, 0.75f * zMath::PI, 1.25f * zMath::PI};
    const int32_t W = map.W, H = map.H, n = diagonal ? 8 : 4;
    x1 = std::clamp(x1, 0, W), x2 = std::clamp(x2, 0, W), y1 = std::clamp(y1, 0, H), y2 = std::clamp(y2, 0, H);
    const size_t cells = size_t(W + 1) * size_t(H + 1);
    std::vector<uint8_t> seen(cells, 0);
    std::vector<int32_t> cost(cells, 0);
    std::vector<float> arrival(cells, 0.0f);
    auto at = [&](int32_t x, int32_t y) { return size_t(y) * size_t(W + 1) + size_t(x); };
    std::vector<std::pair<int32_t, int32_t>> queue{{x1, y1}};
    seen[at(x1, y1)] = 1;
    cost[at(x1, y1)] = 1;
    int32_t bx = x1, by = y1;
    int64_t best = (std::abs(x2 - x1) + std::abs(y2 - y1)) * 10 * int64_t(weight);
    for (size_t head = 0; head < queue.size(); ++head) {
        const auto [cx, cy] = queue[head];
        if (cx == x2 && cy == y2) break;
        const int64_t h = (std::abs(x2 - cx) + std::abs(y2 - cy)) * 10 * int64_t(weight);
        if (h + cost[at(cx, cy)] < best) bx = cx, by = cy, best = h + cost[at(cx, cy)];
        for (int s = 0; s < n; ++s) {
            const int32_t nx = cx + dx[s], ny = cy + dy[s];
            if (nx < 0 || ny < 0 || nx > W || ny > H || seen[at(nx, ny)]) continue;
            seen[at(nx, ny)] = 1;
            if (!map.CheckTileCollision(nx, ny, flags)) continue;
            const float turn = zMath::NormalizeAngle(float(double(angle[s]) - arrival[at(cx, cy)] - zMath::PI));
            cost[at(nx, ny)] = CLng(double(float(turn + zMath::PI) * 5.0f) + cost[at(cx, cy)] + (s < 4 ? 10 : 14));
            arrival[at(nx, ny)] = angle[s];
            queue.emplace_back(nx, ny);
        }
    }
    PlainResult r;
    int32_t ex = x2, ey = y2;
    if (cost[at(x2, y2)] > 0) {
        r.complete = true;
        r.nodes.emplace_back(x2, y2);
    } else if (weight == 0 || (bx == x1 && by == y1)) {
        return r;
    } else {
        ex = bx, ey = by;
    }
    int32_t level = cost[at(ex, ey)];
    float previous = arrival[at(x2, y2)] + 1.0f;
    while (ex != x1 || ey != y1) {
        int32_t px = -1, py = -1, pc = 0;
        for (int s = 0; s < n; ++s) {
            const int32_t nx = ex + dx[s], ny = ey + dy[s];
            if (nx < 0 || ny < 0 || nx > W || ny > H) continue;
            const int32_t k = cost[at(nx, ny)];
            if (k > 0 && k < level && (px < 0 || k < pc)) px = nx, py = ny, pc = k;
        }
        if (px < 0) return PlainResult{};
        if (arrival[at(px, py)] != previous) r.nodes.emplace_back(px, py);
        previous = arrival[at(px, py)];
        level = pc, ex = px, ey = py;
    }
    r.count = int32_t(r.nodes.size());
    return r;
}

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

// Two maps where the first band gives a wrong way back unless its labels are
// checked: beside the way lies a cell the band leaves unlabelled but the whole
// flood reaches round a U-turn (7 x 15), or a cell the band labels by a longer
// way than the whole flood does (4 x 12).
TEST_F(Paths, TheWayBackNeverTakesACellTheWholeFloodWouldLabelOtherwise) {
    auto uTurn = Map(16, {"#######", "#.....#", "#####.#", "#...#.#", "#.###.#", "#.....#", "#.#.###", "#.....#",
                          "#..##.#", "#.#...#", "#.#.###", "#.#...#", "#.###.#", "#.....#", "#######"});
    EXPECT_EQ(path.FindPath(uTurn.get(), 1, 4, 9, 2, 13, true, 0), 6);
    EXPECT_EQ(Nodes(), (Cells{{2, 13}, {1, 12}, {1, 9}, {2, 8}, {3, 9}, {4, 9}}));
    EXPECT_TRUE(path.IsComplete);

    auto open = Map(16, {"....", "#.#.", "....", "..#.", ".#..", "#...", "....", "....", ".#..", ".#.#", ".##.", "...#"});
    EXPECT_EQ(path.FindPath(open.get(), 1, 3, 8, 0, 11, true, 5), 6);
    EXPECT_EQ(Nodes(), (Cells{{0, 11}, {0, 10}, {0, 8}, {1, 7}, {2, 8}, {3, 8}}));
    EXPECT_TRUE(path.IsComplete);
    for (const auto* map : {uTurn.get(), open.get()}) {
        const bool first = map == uTurn.get();
        const PlainResult want =
            PlainFindPath(*map, 1, first ? 4 : 3, first ? 9 : 8, first ? 2 : 0, first ? 13 : 11, true, first ? 0 : 5);
        EXPECT_EQ(want.nodes, first ? (Cells{{2, 13}, {1, 12}, {1, 9}, {2, 8}, {3, 9}, {4, 9}})
                                    : (Cells{{0, 11}, {0, 10}, {0, 8}, {1, 7}, {2, 8}, {3, 8}}))
            << "the plain flood agrees";
    }
}

TEST_F(Paths, EveryQueryOnRandomMapsGivesThePlainSearchsWaypoints) {
    auto same = [&](const zCollisionMap& map, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool diagonal,
                    int32_t weight) {
        const PlainResult want = PlainFindPath(map, 1, x1, y1, x2, y2, diagonal, weight);
        const int32_t got = path.FindPath(&map, 1, x1, y1, x2, y2, diagonal, weight);
        EXPECT_EQ(std::tuple(got, path.IsComplete, Nodes()), std::tuple(want.count, want.complete, want.nodes))
            << "from " << x1 << "," << y1 << " to " << x2 << "," << y2 << " diagonal " << diagonal << " weight "
            << weight;
    };
    // The way back from (1, 1) passes cells labelled from far round the walls.
    same(*Map(16,
              {
                  "........",
                  "...#..#.",
                  "#..#.#..",
                  "##.#.#.#",
                  "##.#.#.#",
                  ".....#..",
                  "..#.#...",
              }),
         4, 4, 1, 1, true, 0);

    // Open fields, scattered walls of several densities and corridor mazes,
    // small and large, with ends anywhere (walls and off the map included),
    // both step sets and several fallback weights.
    std::mt19937 rng(20261209);
    auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    for (int m = 0; m < 4000; ++m) {
        const int32_t side = m % 20 == 0 ? 64 : 12;
        const int32_t w = pick(1, side), h = pick(1, side);
        std::vector<std::string> rows(size_t(h), std::string(size_t(w), '.'));
        const int kind = m % 4;
        if (kind == 3) {  // corridors on the odd cells, some walls knocked out
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x)
                    if ((x % 2 == 0 || y % 2 == 0) && pick(0, 99) < 70) rows[size_t(y)][size_t(x)] = '#';
        } else if (kind > 0) {
            const int density = kind == 1 ? 10 : 35;
            for (auto& row : rows)
                for (auto& c : row)
                    if (pick(0, 99) < density) c = '#';
        }
        auto map = Map(16, rows);
        for (int q = 0; q < 12; ++q) {
            const int32_t weight = std::array<int32_t, 4>{5, 0, 1, 12}[size_t(q / 2 % 4)];
            same(*map, pick(-2, w + 1), pick(-2, h + 1), pick(-2, w + 1), pick(-2, h + 1), q % 2 == 0, weight);
        }
        if (HasFailure()) break;
    }

    // Large maps whose ways wind far from the straight line: square spirals
    // and serpentines of corridors one to three cells wide, up to 512 cells a
    // side, some walls knocked out. Half the queries join cells that lie close
    // together but far apart along the corridors, where the narrow bands fail.
    for (int m = 0; m < 24 && !HasFailure(); ++m) {
        const int32_t w = m % 3 == 0 ? 512 : pick(40, 300), h = m % 3 == 0 ? 512 : pick(40, 300);
        const int32_t lane = pick(1, 3), pitch = lane + 1;
        std::vector<std::string> rows(size_t(h), std::string(size_t(w), '.'));
        auto wall = [&](int32_t x, int32_t y) {
            if (x >= 0 && y >= 0 && x < w && y < h) rows[size_t(y)][size_t(x)] = '#';
        };
        if (m % 2 == 0) {
            // A square spiral: each ring's wall is left open at one corner,
            // the next ring's at the opposite one.
            for (int32_t r = 0; 2 * r * pitch < std::min(w, h); ++r) {
                const int32_t x0 = r * pitch, y0 = r * pitch, x1 = w - 1 - r * pitch, y1 = h - 1 - r * pitch;
                for (int32_t x = x0; x <= x1; ++x) wall(x, y0), wall(x, y1);
                for (int32_t y = y0; y <= y1; ++y) wall(x0, y), wall(x1, y);
                for (int32_t k = 1; k <= lane; ++k) {
                    if (r % 2 == 0) rows[size_t(y0 + k)][size_t(x0)] = '.';
                    else rows[size_t(y1 - k)][size_t(x1)] = '.';
                }
            }
        } else {
            // A serpentine: walls across the map, each open at alternate ends.
            for (int32_t y = pitch; y < h; y += pitch) {
                const bool left = (y / pitch) % 2 == 0;
                for (int32_t x = 0; x < w; ++x)
                    if (left ? x >= lane : x < w - lane) wall(x, y);
            }
        }
        for (int k = pick(0, 3); k > 0; --k) rows[size_t(pick(0, h - 1))][size_t(pick(0, w - 1))] = '.';
        auto map = Map(16, rows);
        auto freeCell = [&](int32_t& x, int32_t& y) {
            do x = pick(0, w - 1), y = pick(0, h - 1);
            while (rows[size_t(y)][size_t(x)] == '#');
        };
        for (int q = 0; q < 4 && !HasFailure(); ++q) {
            int32_t x1, y1, x2, y2;
            freeCell(x1, y1);
            if (q % 2 == 0) {
                freeCell(x2, y2);
            } else {  // across a wall or two
                x2 = std::clamp(x1 + pick(-3, 3), 0, w - 1);
                y2 = std::clamp(y1 + pick(-2 * pitch, 2 * pitch), 0, h - 1);
            }
            same(*map, x1, y1, x2, y2, q < 2, std::array<int32_t, 3>{5, 0, 1}[size_t(pick(0, 2))]);
        }
    }
}

TEST_F(Paths, AHugeMapsWorkingMemoryIsGivenBackAfterItsSearch) {
    auto small = OpenMap(16, 64, 64);
    ASSERT_GT(path.FindPath(small.get(), 1, 0, 0, 63, 63, true), 0);
    EXPECT_GT(gPath::ScratchBytes(), 0u) << "a small map's grids stay for the next search";
    auto huge = OpenMap(16, 2048, 2048);
    ASSERT_GT(path.FindPath(huge.get(), 1, 0, 2047, 2047, 2040, true), 0);
    EXPECT_TRUE(path.IsComplete);
    EXPECT_LT(gPath::ScratchBytes(), size_t(2048) * 2048) << "less than a byte a cell is kept";
    ASSERT_GT(path.FindPath(small.get(), 1, 63, 0, 0, 63, true), 0);
    EXPECT_GT(gPath::ScratchBytes(), 0u);
}

TEST_F(Paths, CellsBeyondAGridSmallerThanTheMapAreWalls) {
    // As after an import that stopped half-way: the size claims more cells
    // than the grid holds.
    auto map = Map(16, {
                           "....",
                           ".#..",
                           "....",
                       });
    map->W = 7;
    map->H = 4;
    for (bool diagonal : {true, false}) {
        const PlainResult want = PlainFindPath(*map, 1, 0, 0, 7, 4, diagonal, 5);
        ASSERT_GT(want.count, 0);
        EXPECT_EQ(path.FindPath(map.get(), 1, 0, 0, 7, 4, diagonal, 5), want.count);
        EXPECT_EQ(Nodes(), want.nodes);
        EXPECT_FALSE(path.IsComplete);
    }
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
