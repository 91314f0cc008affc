// Path finding across a 512 x 512 collision map with scattered walls, corner
// to corner, diagonals allowed: the game's search (a flood in order of
// discovery over every cell it can reach, then a walk back down the costs)
// beside a textbook A* (binary heap, octile distance, straight steps 10 and
// diagonal 14) as the peer. "ratio" is our time over the peer's; the flood
// looks at far more cells than A* does, so a ratio above 1 is expected.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <queue>
#include <vector>

#include "game/world/gPath.h"
#include "scene/zCollisionMap.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kSide = 512;

std::shared_ptr<zun::zCollisionMap> MakeMap() {
    auto m = std::make_shared<zun::zCollisionMap>();
    m->SetTileSize(16);
    m->SetSize(kSide - 1, kSide - 1);
    uint32_t r = 12345;
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            r = r * 1103515245u + 12345u;
            const bool wall = (r >> 16) % 100 < 22 && x > 2 && y > 2 && x < kSide - 3 && y < kSide - 3;
            m->SetTile(x, y, wall ? 1 : 0, wall ? 0 : 1);
        }
    }
    return m;
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
    const auto map = MakeMap();
    tarv::gPath path;
    if (path.FindPath(map.get(), 1, 0, 0, kSide - 1, kSide - 1, true) == 0 || !path.IsComplete) {
        state.SkipWithError("no way across the map");
        return;
    }
    double ours = 0, peer = 0;
    int64_t sink = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        sink += path.FindPath(map.get(), 1, 0, 0, kSide - 1, kSide - 1, true);
        const auto t1 = Clock::now();
        sink += AStar(*map, 0, 0, kSide - 1, kSide - 1);
        const auto t2 = Clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        peer += std::chrono::duration<double>(t2 - t1).count();
    }
    benchmark::DoNotOptimize(sink);
    const double n = double(state.iterations());
    state.counters["ours_ms"] = ours * 1e3 / n;
    state.counters["astar_ms"] = peer * 1e3 / n;
    state.counters["ratio"] = peer > 0 ? ours / peer : 0;
    state.counters["waypoints"] = path.WayPointCount;
}
BENCHMARK(BM_FindPath)->Unit(benchmark::kMillisecond);

}  // namespace
