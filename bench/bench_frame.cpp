// The game's own frame: the real shell started on the demo as the program
// starts it (the village in the rain at dusk, the opening message box open),
// drawing through GL on the CPU renderer offscreen at 640 x 480 with every
// effect on (high-quality buffers, lights, shadows, mirrors, particles) and
// the frame limiter off. Each frame ends with a one-pixel read-back so that
// the renderer's queued work is counted in the frame that made it.
//
// Prints the median and 99th-percentile frame time over 1,000 frames
// (ZUN_BENCH_FRAMES, and ZUN_BENCH_SHARE_FRAMES for the passes' shares below) and the
// processor time a frame costs (all threads: the CPU renderer draws on
// threads of its own, so a frame that takes 4 ms can cost five times that
// of a machine's cores, which a busy machine pays for in time), then the
// share of each render pass (from further frames in which every pass is
// waited for on its own), and the program's peak resident memory over the
// run. No peer: the figures stand against fixed goals.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gCharTest.h"
#include "platform/Dialogs.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace tarv;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// The CPU renderer reads its thread count when the first context is made;
// the sound goes to no device, as in every headless run.
const bool kThreadsSet = [] {
    setenv("LP_NUM_THREADS", "8", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    return true;
}();

// The peak so far is forgotten, so that what the benchmarks before this one
// held at their peak does not count as the game's.
void ResetPeakMemory() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
}

// Passes every call on to the real backend and counts what a frame asks of
// it: the drawing calls and their vertices, state changes between draws,
// target switches, clears and texture uploads.
class CountingBackend : public zun::RenderBackend {
public:
    struct Counts {
        double draws = 0, vertices = 0, stateChanges = 0, targets = 0, clears = 0, uploads = 0, uploadBytes = 0;
        // Pixels the triangles cover, on the screen's buffer and on the off-screen targets.
        double screenPixels = 0, targetPixels = 0;
    };
    Counts n;

    explicit CountingBackend(std::unique_ptr<zun::RenderBackend> real) : real_(std::move(real)) {}
    const char* Name() const override { return real_->Name(); }
    zun::TextureId CreateTexture(int32_t w, int32_t h, const uint8_t* rgba) override {
        Upload(w, h);
        return real_->CreateTexture(w, h, rgba);
    }
    bool UpdateTexture(zun::TextureId t, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* rgba) override {
        Upload(w, h);
        return real_->UpdateTexture(t, x, y, w, h, rgba);
    }
    void DeleteTexture(zun::TextureId t) override { real_->DeleteTexture(t); }
    bool TextureSize(zun::TextureId t, int32_t& w, int32_t& h) const override { return real_->TextureSize(t, w, h); }
    zun::TextureId CreateRenderTarget(int32_t side) override { return real_->CreateRenderTarget(side); }
    bool SetRenderTarget(zun::TextureId t) override {
        n.targets += 1;
        areaW_ = areaH_ = 0;
        return real_->SetRenderTarget(t);
    }
    zun::TextureId CurrentTarget() const override { return real_->CurrentTarget(); }
    void CurrentTargetSize(int32_t& w, int32_t& h) const override { real_->CurrentTargetSize(w, h); }
    void Clear(bool color, uint32_t argb, bool depth, float z) override {
        n.clears += 1;
        real_->Clear(color, argb, depth, z);
    }
    void DrawTextured(const zun::DrawState& st, zun::Primitive prim, const zun::TLVertex* v, int32_t count,
                      zun::TextureId tex) override {
        Draw(st, count, tex);
        Cover(prim, v, count);
        real_->DrawTextured(st, prim, v, count, tex);
    }
    void DrawColored(const zun::DrawState& st, zun::Primitive prim, const zun::ColorVertex* v, int32_t count) override {
        Draw(st, count, 0);
        Cover(prim, v, count);
        real_->DrawColored(st, prim, v, count);
    }
    bool ReadPixels(int32_t x, int32_t y, int32_t w, int32_t h, std::vector<uint8_t>& rgba) override {
        return real_->ReadPixels(x, y, w, h, rgba);
    }
    void Present(int32_t w, int32_t h) override { real_->Present(w, h); }
    void SetDrawArea(int32_t x, int32_t y, int32_t w, int32_t h) override {
        areaX_ = x, areaY_ = y, areaW_ = w, areaH_ = h;
        real_->SetDrawArea(x, y, w, h);
    }
    int32_t BackBufferWidth() const override { return real_->BackBufferWidth(); }
    int32_t BackBufferHeight() const override { return real_->BackBufferHeight(); }
    zun::DeviceStatus Status() override { return real_->Status(); }
    bool Reset() override { return real_->Reset(); }

private:
    // The pixels a draw's triangles cover, each counted by its box cut to the
    // target, halved: exact for the axis-aligned quads nearly everything is.
    template <class V>
    void Cover(zun::Primitive prim, const V* v, int32_t count) {
        if (!v || (prim != zun::Primitive::TriangleList && prim != zun::Primitive::TriangleStrip)) return;
        // The target, or the drawing area set on it.
        int32_t w = 0, h = 0;
        real_->CurrentTargetSize(w, h);
        double left = 0, top = 0, right = w, bottom = h;
        if (areaW_ > 0 && areaH_ > 0) {
            left = std::max(left, double(areaX_));
            top = std::max(top, double(areaY_));
            right = std::min(right, double(areaX_) + areaW_);
            bottom = std::min(bottom, double(areaY_) + areaH_);
        }
        auto tri = [&](const V& a, const V& b, const V& c) {
            const double x0 = std::max(left, double(std::min({a.X, b.X, c.X})));
            const double x1 = std::min(right, double(std::max({a.X, b.X, c.X})));
            const double y0 = std::max(top, double(std::min({a.Y, b.Y, c.Y})));
            const double y1 = std::min(bottom, double(std::max({a.Y, b.Y, c.Y})));
            return x1 > x0 && y1 > y0 ? (x1 - x0) * (y1 - y0) / 2 : 0.0;
        };
        double px = 0;
        if (prim == zun::Primitive::TriangleStrip) {
            for (int32_t i = 0; i + 2 < count; ++i) px += tri(v[i], v[i + 1], v[i + 2]);
        } else {
            for (int32_t i = 0; i + 2 < count; i += 3) px += tri(v[i], v[i + 1], v[i + 2]);
        }
        (real_->CurrentTarget() == 0 ? n.screenPixels : n.targetPixels) += px;
    }
    void Upload(int32_t w, int32_t h) {
        n.uploads += 1;
        n.uploadBytes += 4.0 * w * h;
    }
    void Draw(const zun::DrawState& st, int32_t count, zun::TextureId tex) {
        n.draws += 1;
        n.vertices += count;
        if (!(st == last_) || tex != lastTex_) n.stateChanges += 1;
        last_ = st;
        lastTex_ = tex;
    }
    std::unique_ptr<zun::RenderBackend> real_;
    int32_t areaX_ = 0, areaY_ = 0, areaW_ = 0, areaH_ = 0;
    zun::DrawState last_;
    zun::TextureId lastTex_ = 0;
};
CountingBackend* gCounting = nullptr;

// A figure of /proc/self/status in megabytes ("RssAnon:", "RssFile:"); 0 when absent.
double StatusMb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == key) {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

// Waits until the renderer has done everything asked of it so far.
void WaitForRenderer() {
    std::vector<uint8_t> px;
    if (zun::zDDraw.Device) zun::zDDraw.Device->ReadPixels(0, 0, 1, 1, px);
}

// A count from the environment (a run under a profiler wants fewer frames), or the default.
int Count(const char* iName, int iDefault) {
    const char* v = std::getenv(iName);
    return v && std::atoi(v) >= 0 ? std::atoi(v) : iDefault;
}

// Processor seconds used so far by the whole process, and by the calling thread.
double ProcessSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
double MainThreadSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

// The passes of a frame, each timed with the renderer waited for at its end.
struct PassTimes {
    double shadows = 0, lights = 0, mirrors = 0, frame = 0, rest = 0;
};
PassTimes gPass;
bool gTimePasses = false;

template <typename F>
void Timed(double& total, F&& pass) {
    if (!gTimePasses) {
        pass();
        return;
    }
    const auto t0 = Clock::now();
    pass();
    WaitForRenderer();
    total += Ms(t0, Clock::now());
}

// The off-screen passes as the pipeline runs them, one by one so each can be timed.
void TimedRenderGamePre() {
    using render::On;
    zun::zDDraw.SetTextureFilter(1);
    if (On("Shadows")) Timed(gPass.shadows, RenderShadows);
    if (On("Lighting")) Timed(gPass.lights, RenderLights);
    if (On("Mirrors") && gCharTest.mapWater) Timed(gPass.mirrors, RenderMirrors);
}

void BM_GameFrame(benchmark::State& state) {
    const std::string folder = ZUN_BENCH_PROGRAM_DIR;
    if (!std::ifstream(folder + "/scripts/Game.dat")) {
        state.SkipWithError("no demo content in the program folder");
        return;
    }
    zun::SetApplicationFolder(folder);
    // The program's own wiring, then its two drawing slots timed.
    ConnectProgram(false);
    gShellParts.RenderGamePre = TimedRenderGamePre;
    gShellParts.RenderGame = [] { Timed(gPass.frame, RenderGame); };
    frmMain.Window = nullptr;
    zun::zDDraw.BackendFactory = [](const zun::GlBackendConfig& c) -> std::unique_ptr<zun::RenderBackend> {
        auto real = zun::CreateGlBackend(c);
        if (!real) return nullptr;
        auto b = std::make_unique<CountingBackend>(std::move(real));
        gCounting = b.get();
        return b;
    };
    const double baseMb = double(ResidentKilobytes(false)) / 1024.0;
    ResetPeakMemory();
    if (!frmMain.Form_Load("") || !frmMain.Running) {
        state.SkipWithError("the game did not start");
        return;
    }
    auto& s = *gCharTest.Settings;
    for (const char* key : {"HighQualityBuffers", "EnableDeco", "ParticleSystem", "ParticleLights", "Lighting",
                            "MirrorObjects", "MirrorParticles", "Mirrors", "Shadows", "CursorShadows",
                            "LightsShadows", "SpriteShadows", "AmbientShadows", "BaseShadows", "DisableTimer"})
        s.SetByte(key, 1);
    if (gShellParts.ApplySettings) gShellParts.ApplySettings();
    const bool rain = gCharTest.mapWater != nullptr;

    auto frame = [] {
        frmMain.tmrMain_Timer();
        WaitForRenderer();
    };
    // Settle: the first frames load pictures and fill the particle systems.
    for (int i = 0; i < 60; ++i) frame();

    if (!gCounting) {
        state.SkipWithError("no drawing device");
        return;
    }
    gCounting->n = {};
    const int measured = Count("ZUN_BENCH_FRAMES", 1000);
    std::vector<double> times;
    double cpu = 0, mainCpu = 0;
    for (auto _ : state) {
        times.clear();
        times.reserve(size_t(measured));
        const double cpu0 = ProcessSeconds(), main0 = MainThreadSeconds();
        for (int i = 0; i < measured; ++i) {
            const auto t0 = Clock::now();
            frame();
            times.push_back(Ms(t0, Clock::now()));
        }
        cpu = ProcessSeconds() - cpu0;
        mainCpu = MainThreadSeconds() - main0;
    }
    const CountingBackend::Counts per = gCounting->n;
    const double frames = double(std::max<size_t>(times.size(), 1));
    const double cpuMs = cpu * 1000.0 / frames, mainCpuMs = mainCpu * 1000.0 / frames;
    double meanMs = 0;
    for (double t : times) meanMs += t / frames;
    // The share of each pass, from frames that wait at the end of every pass.
    gTimePasses = true;
    double whole = 0;
    const int shareFrames = Count("ZUN_BENCH_SHARE_FRAMES", 200);
    for (int i = 0; i < shareFrames; ++i) {
        const auto t0 = Clock::now();
        frame();
        whole += Ms(t0, Clock::now());
    }
    gTimePasses = false;
    gPass.rest = whole - gPass.shadows - gPass.lights - gPass.mirrors - gPass.frame;

    const double median = Percentile(times, 0.5), p99 = Percentile(times, 0.99);
    const double peakMb = double(ResidentKilobytes(true)) / 1024.0;
    state.counters["median_ms"] = median;
    state.counters["p99_ms"] = p99;
    state.counters["cpu_ms"] = cpuMs;
    state.counters["main_cpu_ms"] = mainCpuMs;
    state.counters["peak_MB"] = peakMb;
    state.counters["rss_before_MB"] = baseMb;
    auto share = [whole](double t) { return whole > 0 ? 100.0 * t / whole : 0.0; };
    state.counters["shadows_%"] = share(gPass.shadows);
    state.counters["lights_%"] = share(gPass.lights);
    state.counters["mirrors_%"] = share(gPass.mirrors);
    state.counters["frame_%"] = share(gPass.frame);
    state.counters["update_%"] = share(gPass.rest);
    std::printf("Game frame: median %.2f ms, 99th percentile %.2f ms over %zu frames; water %s; peak %.1f MB\n",
                median, p99, times.size(), rain ? "yes" : "no", peakMb);
    std::printf("  processor time per frame: %.2f ms on all threads (%.2f cores' worth), %.2f ms of them on the "
                "program's own thread\n",
                cpuMs, meanMs > 0 ? cpuMs / meanMs : 0.0, mainCpuMs);
    std::printf("  passes: shadows %.1f%%, lights %.1f%%, mirrors %.1f%%, frame %.1f%%, update and rest %.1f%%\n",
                share(gPass.shadows), share(gPass.lights), share(gPass.mirrors), share(gPass.frame),
                share(gPass.rest));
    std::printf("  per frame: %.0f draws (%.0f vertices, %.0f state changes), %.0f target switches, %.0f clears, "
                "%.1f texture uploads (%.1f KB)\n",
                per.draws / frames, per.vertices / frames, per.stateChanges / frames, per.targets / frames,
                per.clears / frames, per.uploads / frames, per.uploadBytes / 1024.0 / frames);
    std::printf("  pixels covered per frame: %.2f million on the screen's buffer (%.1f times a 640 x 480 view), "
                "%.2f million on off-screen targets\n",
                per.screenPixels / frames / 1e6, per.screenPixels / frames / (640.0 * 480.0),
                per.targetPixels / frames / 1e6);
    state.counters["screen_fill"] = per.screenPixels / frames / (640.0 * 480.0);
    // Where the memory is at the end, which in a steady frame loop is near the
    // peak: anonymous pages (the heap, and library data written at load) and
    // pages mapped from files (library code, the CPU renderer's compiler first).
    const double anonMb = StatusMb("RssAnon:"), fileMb = StatusMb("RssFile:");
    std::printf("  resident at the end: %.1f MB anonymous (heap, written library data), %.1f MB mapped from files\n",
                anonMb, fileMb);
    state.counters["anon_MB"] = anonMb;
    state.counters["files_MB"] = fileMb;
    state.counters["draws"] = per.draws / frames;
    state.counters["uploads"] = per.uploads / frames;
    zun::bench::GoalTable::Get().Below("game frame median", median, 8.0, "ms");
    zun::bench::GoalTable::Get().Below("game peak memory", peakMb, 150.0, "MB");

    frmMain.Form_Unload();
    zun::zDDraw.BackendFactory = nullptr;
    gCounting = nullptr;
    zun::SetApplicationFolder("");
}

}  // namespace

BENCHMARK(BM_GameFrame)->Iterations(1)->Unit(benchmark::kMillisecond);
