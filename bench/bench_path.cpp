// Path finding corner to corner, diagonals allowed, across collision maps of
// 512 x 512 and 1024 x 1024 with scattered walls, an open 256 x 256 and a
// 255 x 255 maze: the game's search (a flood in order of
// discovery, then a walk back down the costs) beside a textbook A* (binary
// heap, octile distance, straight steps 10 and diagonal 14) as the peer.
// "ratio" is our CPU time over the peer's. The flood first covers a band
// around the straight line and takes the whole map only when the way back
// meets cells the band may have labelled otherwise; on the open map the band
// is a few cells wide, in the maze the search ends up flooding the whole map.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <queue>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchSupport.h"
#include "game/world/gPath.h"
#include "scene/zCollisionMap.h"

namespace {

// The maps the search is measured on, each crossed corner to corner.
enum MapKind { kScattered512, kOpen256, kMaze255, kScattered1024 };
const char* const kMapNames[] = {"512 scattered walls", "256 open", "255 maze", "1024 scattered walls"};

std::shared_ptr<zun::zCollisionMap> BlankMap(int32_t side) {
    auto m = std::make_shared<zun::zCollisionMap>();
    m->SetTileSize(16);
    m->SetSize(side - 1, side - 1);
    return m;
}

// About a fifth of the cells walled at random, the rim near the corners kept free.
std::shared_ptr<zun::zCollisionMap> ScatteredMap(int32_t side) {
    auto m = BlankMap(side);
    uint32_t r = 12345;
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            r = r * 1103515245u + 12345u;
            const bool wall = (r >> 16) % 100 < 22 && x > 2 && y > 2 && x < side - 3 && y < side - 3;
            m->SetTile(x, y, wall ? 1 : 0, wall ? 0 : 1);
        }
    }
    return m;
}

std::shared_ptr<zun::zCollisionMap> OpenMap(int32_t side) {
    auto m = BlankMap(side);
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) m->SetTile(x, y, 0, 1);
    return m;
}

// A perfect maze carved by a depth-first walk on the odd cells: one way
// between any two rooms, long corridors, no diagonal short cuts.
std::shared_ptr<zun::zCollisionMap> MazeMap(int32_t side) {
    auto m = BlankMap(side);
    std::vector<uint8_t> open(size_t(side) * size_t(side), 0);
    auto at = [&](int32_t x, int32_t y) -> uint8_t& { return open[size_t(y) * size_t(side) + size_t(x)]; };
    uint32_t r = 777;
    std::vector<std::pair<int32_t, int32_t>> stack{{1, 1}};
    at(1, 1) = 1;
    static const int32_t dx[4] = {2, 0, -2, 0}, dy[4] = {0, 2, 0, -2};
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        int32_t options[4], n = 0;
        for (int k = 0; k < 4; ++k) {
            const int32_t nx = x + dx[k], ny = y + dy[k];
            if (nx > 0 && ny > 0 && nx < side - 1 && ny < side - 1 && !at(nx, ny)) options[n++] = k;
        }
        if (n == 0) {
            stack.pop_back();
            continue;
        }
        r = r * 1103515245u + 12345u;
        const int k = options[(r >> 16) % uint32_t(n)];
        at(x + dx[k] / 2, y + dy[k] / 2) = 1;
        at(x + dx[k], y + dy[k]) = 1;
        stack.push_back({x + dx[k], y + dy[k]});
    }
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) m->SetTile(x, y, at(x, y) ? 0 : 1, at(x, y) ? 1 : 0);
    return m;
}

std::shared_ptr<zun::zCollisionMap> MakeMap(MapKind kind, int32_t& from, int32_t& to) {
    switch (kind) {
        case kOpen256: from = 0, to = 255; return OpenMap(256);
        case kMaze255: from = 1, to = 253; return MazeMap(255);
        case kScattered1024: from = 0, to = 1023; return ScatteredMap(1024);
        default: from = 0, to = 511; return ScatteredMap(512);
    }
}

// The peer: A* on the same cells, same neighbours and step costs.
int32_t AStar(const zun::zCollisionMap& map, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int32_t w = map.W + 1, h = map.H + 1;
    const size_t cells = size_t(w) * size_t(h);
    std::vector<int32_t> g(cells, INT32_MAX);
    std::vector<int32_t> parent(cells, -1);
    std::vector<uint8_t> closed(cells, 0);
    auto heuristic = [&](int32_t x, int32_t y) {
        const int32_t dx = std::abs(x - x2), dy = std::abs(y - y2);
        return 10 * (dx + dy) - 6 * std::min(dx, dy);
    };
    using Entry = std::pair<int32_t, int32_t>;  // f, cell
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    const int32_t start = y1 * w + x1, goal = y2 * w + x2;
    g[size_t(start)] = 0;
    open.push({heuristic(x1, y1), start});
    static const int32_t dx[8] = {0, 1, 0, -1, 1, 1, -1, -1}, dy[8] = {-1, 0, 1, 0, -1, 1, 1, -1};
    while (!open.empty()) {
        const int32_t c = open.top().second;
        open.pop();
        if (closed[size_t(c)]) continue;
        closed[size_t(c)] = 1;
        if (c == goal) break;
        const int32_t cx = c % w, cy = c / w;
        for (int k = 0; k < 8; ++k) {
            const int32_t nx = cx + dx[k], ny = cy + dy[k];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            const int32_t n = ny * w + nx;
            if (closed[size_t(n)] || !map.CheckTileCollision(nx, ny, 1)) continue;
            const int32_t ng = g[size_t(c)] + (k < 4 ? 10 : 14);
            if (ng < g[size_t(n)]) {
                g[size_t(n)] = ng;
                parent[size_t(n)] = c;
                open.push({ng + heuristic(nx, ny), n});
            }
        }
    }
    int32_t steps = 0;
    for (int32_t c = goal; c != -1 && c != start; c = parent[size_t(c)]) ++steps;
    return steps;
}

void BM_FindPath(benchmark::State& state) {
    const auto kind = MapKind(state.range(0));
    int32_t from = 0, to = 0;
    const auto map = MakeMap(kind, from, to);
    tarv::gPath path;
    if (path.FindPath(map.get(), 1, from, from, to, to, true) == 0 || !path.IsComplete) {
        state.SkipWithError("no way across the map");
        return;
    }
    double ours = 0, peer = 0;
    int64_t sink = 0;
    for (auto _ : state) {
        const double t0 = zun::bench::ThreadSeconds();
        sink += path.FindPath(map.get(), 1, from, from, to, to, true);
        const double t1 = zun::bench::ThreadSeconds();
        sink += AStar(*map, from, from, to, to);
        const double t2 = zun::bench::ThreadSeconds();
        ours += t1 - t0;
        peer += t2 - t1;
    }
    benchmark::DoNotOptimize(sink);
    const double n = double(state.iterations());
    state.SetLabel(kMapNames[kind]);
    state.counters["ours_ms"] = ours * 1e3 / n;
    state.counters["astar_ms"] = peer * 1e3 / n;
    state.counters["ratio"] = peer > 0 ? ours / peer : 0;
    state.counters["waypoints"] = path.WayPointCount;
    zun::bench::GoalTable::Get().Ratio(std::string("path ") + kMapNames[kind] + " / A*", peer > 0 ? ours / peer : 0,
                                       1.0);
}
BENCHMARK(BM_FindPath)->DenseRange(kScattered512, kScattered1024)->Unit(benchmark::kMillisecond);

}  // namespace
