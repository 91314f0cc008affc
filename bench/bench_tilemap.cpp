// Drawing the same camera view of a 64 x 64 tile map and of a 1024 x 1024 one
// (the peer): the cost should follow the view, not the map, so "ratio" (large
// over small) should stay near 1. "ns_per_tile" is the CPU time per drawn tile
// of the small map, flush to the (recording) backend included.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "platform/RecordingBackend.h"
#include "scene/zCamera.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "scene/zVisibleCells.h"
#include "bench/BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

using zun::bench::OpenRecordingDevice;

std::unique_ptr<zun::zTileMap> MakeMap(int32_t cells, const std::shared_ptr<zun::zTileSet>& set) {
    auto m = std::make_unique<zun::zTileMap>();
    m->SetTileSize(32);
    m->SetSize(cells - 1, cells - 1);
    m->AddTileSet(set);
    for (int32_t y = 0; y < cells; ++y)
        for (int32_t x = 0; x < cells; ++x) m->SetTile(x, y, 1, uint8_t((x * 7 + y * 3) % 64), uint8_t(x % 4));
    m->Meta->SetSingle("_z", 0.9f);
    m->Meta->SetSingle("_z2", 0.1f);
    return m;
}

// One frame of a map: render, then flush to the backend.
double Frame(zun::zTileMap& m, const zun::zCamera& cam) {
    const auto t0 = Clock::now();
    m.Render(cam);
    zun::zDDraw.EndScene(false);
    const auto t1 = Clock::now();
    if (zun::bench::gRec) zun::bench::gRec->ClearLog();
    return std::chrono::duration<double>(t1 - t0).count();
}

void BM_TileMapView(benchmark::State& state) {
    if (!OpenRecordingDevice()) {
        state.SkipWithError("no recording device");
        return;
    }
    auto set = std::make_shared<zun::zTileSet>();
    set->SetTileSize(32);
    auto small = MakeMap(64, set), large = MakeMap(1024, set);
    zun::zCamera cam;
    cam.x = 500.5f;
    cam.y = 700.25f;
    cam.W = 640;
    cam.H = 480;
    const zun::zVisibleCells v = zun::VisibleCells(*small, cam);
    const int64_t tiles = int64_t(v.x1 - v.x0 + 1) * (v.y1 - v.y0 + 1);
    double smallT = 0, largeT = 0;
    for (auto _ : state) {
        smallT += Frame(*small, cam);
        largeT += Frame(*large, cam);
    }
    const double n = double(state.iterations());
    state.counters["small_us"] = smallT * 1e6 / n;
    state.counters["large_us"] = largeT * 1e6 / n;
    state.counters["ratio"] = smallT > 0 ? largeT / smallT : 0.0;
    state.counters["ns_per_tile"] = smallT * 1e9 / n / double(tiles);
}
BENCHMARK(BM_TileMapView)->Unit(benchmark::kMicrosecond);

}  // namespace
