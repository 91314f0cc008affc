// The particle system with 2,000 lantern sparks: one frame is an update (age,
// motion, curves, deaths and the sparks that replace them), a depth sort and
// a draw into a recording backend. The peer runs the same sparks as a plain
// array of structs with the same arithmetic, a std::sort and the same two
// device calls per spark, without kinds, records or render parameters.
// "ratio" is the system's CPU time over the peer's; "ns_per_particle" the
// system's frame time per spark.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/zCore.h"
#include "core/zLerp.h"
#include "core/zMath.h"
#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/effects/gEffects.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/gWeather.h"
#include "game/effects/pSpark.h"
#include "platform/RecordingBackend.h"
#include "scene/zCamera.h"
#include "bench/BenchSupport.h"

namespace {

constexpr int32_t kSparks = 2000;


// A recording device of its own with one 256 x 256 texture; returns its handle.
int32_t OpenParticleDevice() {
    zun::zDDraw.Device_Release();
    zun::bench::OpenRecordingDevice();
    return zun::bench::AddBlankTexture(256);
}

// Where a spark is thrown from: spread over the view so that all are drawn.
void SparkOrigin(int32_t i, float& x, float& y) {
    x = float(20 + (i * 37) % 600);
    y = float(20 + (i * 53) % 440);
}

// ---- the peer: the same sparks as plain data -------------------------------

struct PlainSpark {
    float x, y, z, dir, speed, speedZ;
    int32_t life, lifeMax, srcX;
    float colorA, zoom;
};

struct PlainSparks {
    std::vector<PlainSpark> s;
    zun::zLerp fade, size;
    int32_t next = 0;
    int32_t tex = 0;

    PlainSparks() {
        for (auto [t, v] : {std::pair{0.0f, 0.0f}, {0.25f, 0.25f}, {0.75f, 0.25f}, {1.0f, 0.0f}})
            fade.AddPoint(t, v);
        for (auto [t, v] : {std::pair{0.0f, 0.4f}, {0.15f, 0.8f}, {0.5f, 0.8f}, {1.0f, 0.4f}})
            size.AddPoint(t, v);
        fade.CreateValues(100, false, true);
        size.CreateValues(100, false, true);
    }
    void Spawn() {
        PlainSpark p{};
        SparkOrigin(next++, p.x, p.y);
        p.z = 40;
        p.dir = float(6.283186 * zun::Rnd());
        p.speed = float(zun::Rnd() * 0.3);
        p.speedZ = float(zun::Rnd() * 0.2 + 0.2);
        p.srcX = int32_t(zun::Int(7.0 * zun::Rnd())) * 32;
        p.lifeMax = zun::CLng(zun::zMath::RandomRange(80, 120, 1.2f, false));
        p.zoom = 1;
        s.push_back(p);
    }
    void Frame(const zun::zCamera& cam) {
        using namespace zun;
        for (size_t i = 0; i < s.size();) {
            PlainSpark& p = s[i];
            p.life += 1;
            const float t = float(double(p.life) / p.lifeMax);
            if (p.z > 0) {
                p.x = float(p.x + std::cos(double(p.dir)) * p.speed);
                p.y = float(p.y + std::sin(double(p.dir)) * p.speed);
                const double wind = tarv::gWeather.WindStrength;
                if (wind != 0) {
                    p.x = float(p.x + std::cos(double(tarv::gWeather.WindAngle)) * wind);
                    p.y = float(p.y + std::sin(double(tarv::gWeather.WindAngle)) * wind);
                }
                p.z = float(p.z + p.speedZ);
                p.speedZ = float(p.speedZ - 0.01);
            }
            p.colorA = fade.GetValue(t);
            p.zoom = size.GetValue(t) / 2;
            if (p.life >= p.lifeMax) {
                s[i] = s.back();
                s.pop_back();
            } else {
                ++i;
            }
        }
        while (int32_t(s.size()) < kSparks) Spawn();
        std::sort(s.begin(), s.end(), [](const PlainSpark& a, const PlainSpark& b) { return a.y < b.y; });
        zDDraw.SetAlphaMode(10);
        const double camX = Int(-double(cam.x)), camY = Int(-double(cam.y));
        for (const PlainSpark& p : s) {
            zDDraw.RenderZ = float(0.8 - 0.3 * (double(p.y) - cam.y) / cam.H);
            zDDraw.SetAlphaValue(0.0f, 100);
            const int32_t color = zDDrawModule::GetColorRGBA(1.0f, 0.2f, 0.0f, float(p.colorA));
            zDDraw.BltRotate(tex, float(p.x - 16 * p.zoom + camX), float(p.y - 16 * p.zoom + camY - p.z),
                             32 * p.zoom, 32 * p.zoom, p.srcX, 0, 32, 32, color, 0, 16 * p.zoom, 16 * p.zoom,
                             1, 0);
        }
        zDDraw.SetAlphaValue(0.0f, 100);
    }
};

// ---- the system ---------------------------------------------------------------

struct SystemSparks {
    tarv::gParticleSystem ps;
    int32_t next = 0;

    SystemSparks() { ps.AddManager(std::make_shared<tarv::pSpark>()); }
    void TopUp() {
        while (ps.ParticleCount < kSparks) {
            float x, y;
            SparkOrigin(next++, x, y);
            ps.CreateParticle("pSpark", x, y, 40, 0);
        }
    }
    void Frame(const zun::zCamera& cam) {
        ps.UpdateParticles();
        TopUp();
        if (ps.ParticleCount > 0) ps.DepthSort(1, ps.ParticleCount);
        ps.RenderParticles(cam, 0);
    }
};

void BM_ParticleSystemUpdateAndRender(benchmark::State& state) {
    const int32_t tex = OpenParticleDevice();
    tarv::gEffects.ParticleTexture = tex;
    zun::SeedRandom(1234);
    zun::zCamera cam;
    cam.W = 640;
    cam.H = 480;

    SystemSparks sys;
    sys.TopUp();
    PlainSparks peer;
    peer.tex = tex;
    while (int32_t(peer.s.size()) < kSparks) peer.Spawn();
    // Settle both into a steady mix of ages.
    for (int i = 0; i < 150; ++i) {
        sys.Frame(cam);
        peer.Frame(cam);
        zun::zDDraw.EndScene(false);
        zun::bench::gRec->ClearLog();
    }

    double tSys = 0, tPeer = 0;
    using zun::bench::ThreadSeconds;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        sys.Frame(cam);
        zun::zDDraw.EndScene(false);
        const double t1 = ThreadSeconds();
        zun::bench::gRec->ClearLog();
        const double t2 = ThreadSeconds();
        peer.Frame(cam);
        zun::zDDraw.EndScene(false);
        const double t3 = ThreadSeconds();
        zun::bench::gRec->ClearLog();
        tSys += t1 - t0;
        tPeer += t3 - t2;
        state.SetIterationTime(t1 - t0);
    }
    const double n = double(state.iterations());
    state.counters["particles"] = double(sys.ps.ParticleCount);
    state.counters["frame_us"] = tSys * 1e6 / n;
    state.counters["ns_per_particle"] = tSys * 1e9 / n / kSparks;
    state.counters["peer_frame_us"] = tPeer * 1e6 / n;
    state.counters["ratio"] = tPeer > 0 ? tSys / tPeer : 0.0;
    zun::bench::GoalTable::Get().Ratio("particles / plain arrays", tPeer > 0 ? tSys / tPeer : 0.0, 1.2);

    tarv::gEffects = tarv::EffectsState{};
    zun::zDDraw.Device_Release();
}

}  // namespace

BENCHMARK(BM_ParticleSystemUpdateAndRender)->UseManualTime()->Unit(benchmark::kMicrosecond);
