// An item map of 10,000 items: one view drawn (gathering the visible cells'
// items, queuing their quads and flushing them to a recording backend) and one
// update of every item. The same items, in the same view, run in a
// 100 x 100-cell map and, as the peer, in a 1000 x 1000-cell map: the bucket
// lookups should not care how large the grid is. "ratio" is the 100 x 100
// time over the 1000 x 1000 time; "ns_per_visible" is the draw time per item
// in view.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "platform/RecordingBackend.h"
#include "scene/zCamera.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zSprite.h"
#include "bench/BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

using zun::bench::gRec;

// A recording device with one 64 x 64 texture; returns its handle.
int32_t OpenDevice() {
    if (zun::zDDraw.Device) return zun::zDDraw.TextureCount;
    zun::bench::OpenRecordingDevice();
    return zun::bench::AddBlankTexture(64);
}

// 10,000 items, one per 32-pixel cell of the first 100 x 100 cells; every
// fourth is animated, every seventh coloured.
std::shared_ptr<zun::zItemMap> MakeMap(int32_t cells, int32_t texture) {
    auto m = std::make_shared<zun::zItemMap>();
    m->SetSize(32, cells - 1, cells - 1);
    m->Meta->SetSingle("_z", 0.9f);
    m->Meta->SetSingle("_z2", 0.1f);
    for (int32_t k = 0; k < 10000; ++k) {
        auto i = std::make_shared<zun::zItem>();
        zun::zSprite& s = *i->Sprite;
        s.x = float((k % 100) * 32 + 16);
        s.y = float((k / 100) * 32 + 24);
        s.Texture = texture;
        s.W = s.H = 16;
        s.OriginX = 8;
        s.OriginY = 16;
        i->Visible = true;
        i->Colored = k % 7 == 0;
        if (k % 4 == 0) {
            i->AniMode = 1;
            i->AniDestFrame = 3;
        }
        m->AddItem(i, false);
    }
    return m;
}

struct Times {
    double draw = 0, update = 0;
};

// One frame of the map; adds its times to t and returns the frame's total.
double Frame(zun::zItemMap& m, const zun::zCamera& cam, Times& t) {
    auto t0 = Clock::now();
    m.Render(cam);
    zun::zDDraw.EndScene(false);
    auto t1 = Clock::now();
    zun::zCore.FrameCounter += 1;
    m.Update();
    auto t2 = Clock::now();
    gRec->ClearLog();
    t.draw += Seconds(t0, t1);
    t.update += Seconds(t1, t2);
    return Seconds(t0, t2);
}

void BM_ItemMapViewAndUpdate(benchmark::State& state) {
    const int32_t tex = OpenDevice();
    auto small = MakeMap(100, tex), large = MakeMap(1000, tex);
    zun::zCamera cam;
    cam.x = 1000.5f;
    cam.y = 1200.25f;
    cam.W = 640;
    cam.H = 480;
    // Items in view: count the quads of one draw.
    small->Render(cam);
    zun::zDDraw.EndScene(false);
    size_t visible = 0;
    for (const auto& d : gRec->Draws) visible += d.Vertices.size() / 6;
    gRec->ClearLog();

    Times s, l;
    for (auto _ : state) {
        const double frame = Frame(*small, cam, s);
        Frame(*large, cam, l);
        state.SetIterationTime(frame);
    }
    const double n = double(state.iterations());
    state.counters["visible"] = double(visible);
    state.counters["draw_us"] = s.draw * 1e6 / n;
    state.counters["update_us"] = s.update * 1e6 / n;
    state.counters["ns_per_visible"] = visible ? s.draw * 1e9 / n / double(visible) : 0.0;
    state.counters["peer_draw_us"] = l.draw * 1e6 / n;
    state.counters["peer_update_us"] = l.update * 1e6 / n;
    state.counters["ratio"] = (l.draw + l.update) > 0 ? (s.draw + s.update) / (l.draw + l.update) : 0.0;
}

}  // namespace

BENCHMARK(BM_ItemMapViewAndUpdate)->UseManualTime()->Unit(benchmark::kMicrosecond);
