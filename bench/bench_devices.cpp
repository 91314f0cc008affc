// A synthetic game frame through the graphics device on the offscreen OpenGL
// context, beside its lower bound: the same vertices drawn with raw OpenGL,
// one draw per texture per pass, no state changes between them.
//
// The frame: three 512 x 512 off-screen passes (light maps), five tile layers
// over an 800 x 600 screen, 1,400 particles that each set their own
// transparency (so each one flushes the batches), four full-screen overlays of
// the off-screen passes and 300 glyphs of text: about 5,000 quads over 30
// textures.
#include <benchmark/benchmark.h>

#include <EGL/egl.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/zCore.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "platform/GlContext.h"
#include "platform/GlFunctions.h"
#include "platform/RecordingBackend.h"

using namespace zun;

namespace {

constexpr int32_t kScreenW = 800, kScreenH = 600;
constexpr int32_t kTextures = 30;
constexpr int kParticles = 1400;

struct Lcg {
    uint32_t s = 12345;
    uint32_t Next() {
        s = s * 1664525u + 1013904223u;
        return s >> 8;
    }
    float Unit() { return float(Next() & 0xFFFF) / 65536.0f; }
};

struct Scene {
    std::vector<int32_t> tex;  // texture handles
    std::vector<int32_t> rt;   // render target handles
    int32_t font = 0;
    int quads = 0;
};

// Textures and targets of the frame, made on whatever device zDDraw has.
Scene MakeScene() {
    Scene s;
    Lcg rnd;
    for (int i = 0; i < kTextures; ++i) {
        std::vector<uint8_t> px(64 * 64 * 4);
        for (size_t k = 0; k < px.size(); k += 4) {
            px[k] = uint8_t(rnd.Next());
            px[k + 1] = uint8_t(rnd.Next());
            px[k + 2] = uint8_t(rnd.Next());
            px[k + 3] = (k / 4) % 7 == 0 ? 0 : 255;
        }
        TextureEntry e;
        e.W = e.H = 64;
        e.Loaded = true;
        e.Texture = zDDraw.Device->CreateTexture(64, 64, px.data());
        zDDraw.Textures.resize(size_t(zDDraw.TextureCount) + 1);
        zDDraw.Textures.push_back(e);
        zDDraw.TextureCount += 1;
        s.tex.push_back(zDDraw.TextureCount);
    }
    for (int i = 0; i < 3; ++i) s.rt.push_back(zDDraw.CreateRenderTarget(512));
    zFont = zFontModule{};
    FontEntry f;
    f.Name = "bench";
    f.Texture = s.tex[28];
    std::vector<uint8_t> widths(256, 8);
    SetFontWidths(f, widths.data(), widths.size());
    zFont.Fonts.push_back(f);
    zFont.FontCount = 1;
    s.font = 1;
    return s;
}

void DrawFrame(Scene& s) {
    const int32_t white = int32_t(0xFFFFFFFFu);
    Lcg rnd;
    int quads = 0;
    zDDraw.UpdateFrameRate();
    for (int p = 0; p < 3; ++p) {
        zDDraw.BeginScene(int32_t(0xFF101010u), s.rt[size_t(p)]);
        zDDraw.SetAlphaMode(10);
        for (int i = 0; i < 300; ++i, ++quads) {
            zDDraw.RenderZ = 0.5f;
            zDDraw.Blt(s.tex[size_t((i * 7 + p) % kTextures)], rnd.Unit() * kScreenW, rnd.Unit() * kScreenH, 96, 96,
                       0, 0, 0, 0, white, 1);
        }
        zDDraw.EndTextureScene();
    }
    zDDraw.BeginScene(int32_t(0xFF204060u), 0);
    zDDraw.SetAlphaMode(1);
    for (int layer = 0; layer < 5; ++layer) {
        zDDraw.RenderZ = 0.9f - 0.1f * float(layer);
        for (int ty = 0; ty < 19; ++ty)
            for (int tx = 0; tx < 25; ++tx, ++quads)
                zDDraw.Blt(s.tex[size_t(layer * 5 + (tx + ty) % 5)], float(tx * 32), float(ty * 32), 32, 32,
                           (tx % 2) * 32, (ty % 2) * 32, 32, 32, white, 1);
    }
    zDDraw.SetAlphaMode(2);
    zDDraw.RenderZ = 0.35f;
    for (int i = 0; i < kParticles; ++i, ++quads) {
        float a = (i % 2) ? 0.3f : 0.6f;  // every particle its own transparency
        zDDraw.SetAlphaValue(a, 100);
        zDDraw.BltRotate(s.tex[29], rnd.Unit() * kScreenW, rnd.Unit() * kScreenH, 24, 24, 0, 0, 0, 0, white,
                         rnd.Unit() * 6.28f, 12, 12, 1, 0);
    }
    zDDraw.RenderZ = 0.2f;
    const int overlayModes[4] = {10, 14, 2, 12};
    for (int i = 0; i < 4; ++i, ++quads) {
        zDDraw.SetAlphaMode(overlayModes[i]);
        zDDraw.Blt(s.rt[size_t(i % 3)], 0, 0, kScreenW, kScreenH, 0, 0, 0, 0, white, 1);
    }
    zDDraw.SetAlphaMode(2);
    const std::string line = "The quick brown fox jumps over";  // 30 glyphs
    for (int l = 0; l < 10; ++l, quads += int(line.size()))
        zFont.DrawText(s.font, 20, float(20 + l * 18), line, 1, false, 0, 0, white);
    zDDraw.EndScene(true);
    s.quads = quads;
}

void FreshDevice(std::function<std::unique_ptr<RenderBackend>(const GlBackendConfig&)> factory) {
    zDDraw.Device_Release();
    zDDraw = zDDrawModule{};
    zCore.Initialized = true;
    zDDraw.AdapterInfo.DesktopMode = {kScreenW, kScreenH, 60, 22};
    zDDraw.BackendFactory = std::move(factory);
    if (!zDDraw.Device_Initialize() || !zDDraw.Device_InitWindowed(nullptr, kScreenW, kScreenH, 1, 0, false))
        std::fprintf(stderr, "bench_devices: no device\n");
}

// ---- the lower bound --------------------------------------------------------

struct RawGroup {
    TextureId texture = 0;
    DrawState state;  // of the texture's first draw in the pass
    std::vector<TLVertex> vertices;
};
struct RawPass {
    TextureId target = 0;
    std::vector<RawGroup> groups;  // one per texture, first use first
};

// The frame's draws as the device hands them over, regrouped: per pass, all
// vertices of one texture in one draw.
std::vector<RawPass> CaptureFrame() {
    RecordingBackend* rec = nullptr;
    FreshDevice([&](const GlBackendConfig& c) {
        auto b = std::make_unique<RecordingBackend>(c.backBufferWidth, c.backBufferHeight);
        rec = b.get();
        return b;
    });
    Scene s = MakeScene();
    rec->ClearLog();
    DrawFrame(s);
    std::vector<RawPass> passes;
    for (const auto& d : rec->Draws) {
        if (passes.empty() || passes.back().target != d.Target) passes.push_back(RawPass{d.Target, {}});
        auto& groups = passes.back().groups;
        auto it = std::find_if(groups.begin(), groups.end(), [&](auto& g) { return g.texture == d.Texture; });
        if (it == groups.end()) {
            groups.push_back({d.Texture, d.State, {}});
            it = groups.end() - 1;
        }
        it->vertices.insert(it->vertices.end(), d.Vertices.begin(), d.Vertices.end());
    }
    zDDraw.Device_Release();
    return passes;
}

const char* kVertex = R"(#version 330 core
uniform vec2 size;
in vec3 pos; in vec4 color; in vec2 uv;
out vec4 vColor; out vec2 vUv;
void main() {
    gl_Position = vec4((pos.x + 0.5) / size.x * 2.0 - 1.0, (pos.y + 0.5) / size.y * 2.0 - 1.0, pos.z * 2.0 - 1.0, 1.0);
    vColor = color; vUv = uv;
})";
const char* kFragment = R"(#version 330 core
uniform sampler2D tex;
in vec4 vColor; in vec2 vUv; out vec4 frag;
void main() {
    vec4 c = texture(tex, vUv) * vColor;
    if (c.a <= 0.0) discard;
    frag = c;
})";

class RawGl {
public:
    bool Open(const std::vector<RawPass>& passes) {
        std::string error;
        ctx_ = CreateSurfacelessContext(&error);
        if (!ctx_ || !ctx_->MakeCurrent()) return Fail("context: " + error);
        std::string missing;
        if (!gl_.Load([&](const char* n) { return ctx_->GetProc(n); }, &missing)) return Fail("missing " + missing);
        GLuint vs = Shader(GL_VERTEX_SHADER, kVertex), fs = Shader(GL_FRAGMENT_SHADER, kFragment);
        prog_ = gl_.CreateProgram();
        gl_.AttachShader(prog_, vs);
        gl_.AttachShader(prog_, fs);
        gl_.BindAttribLocation(prog_, 0, "pos");
        gl_.BindAttribLocation(prog_, 1, "color");
        gl_.BindAttribLocation(prog_, 2, "uv");
        gl_.LinkProgram(prog_);
        GLint ok = 0;
        gl_.GetProgramiv(prog_, GL_LINK_STATUS, &ok);
        if (!ok) return Fail("link");
        sizeLoc_ = gl_.GetUniformLocation(prog_, "size");

        // The frame's textures (random pixels like the device's) and targets.
        for (const auto& p : passes)
            for (const auto& g : p.groups) textures_[g.texture] = 0;
        for (const auto& p : passes)
            if (p.target) textures_[p.target] = 0;
        Lcg rnd;
        std::vector<uint8_t> px(64 * 64 * 4);
        for (auto& kv : textures_) {
            if (kv.first == 0) continue;
            const bool target = IsTarget(passes, kv.first);
            const int side = target ? 512 : 64;
            for (auto& b : px) b = uint8_t(rnd.Next());
            gl_.GenTextures(1, &kv.second);
            gl_.BindTexture(GL_TEXTURE_2D, kv.second);
            gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                           target ? nullptr : px.data());
            gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            if (target) fbos_[kv.first] = Fbo(kv.second, 512, 512);
        }
        GLuint back = 0;
        gl_.GenTextures(1, &back);
        gl_.BindTexture(GL_TEXTURE_2D, back);
        gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kScreenW, kScreenH, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        fbos_[0] = Fbo(back, kScreenW, kScreenH);

        gl_.GenVertexArrays(1, &vao_);
        gl_.BindVertexArray(vao_);
        gl_.GenBuffers(1, &vbo_);
        gl_.BindBuffer(GL_ARRAY_BUFFER, vbo_);
        gl_.EnableVertexAttribArray(0);
        gl_.EnableVertexAttribArray(1);
        gl_.EnableVertexAttribArray(2);
        gl_.VertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(TLVertex), (void*)0);
        gl_.VertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(TLVertex), (void*)16);
        gl_.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(TLVertex), (void*)20);
        gl_.UseProgram(prog_);
        gl_.ActiveTexture(GL_TEXTURE0);
        gl_.Enable(GL_DEPTH_TEST);
        gl_.DepthFunc(GL_LEQUAL);
        gl_.Enable(GL_BLEND);
        gl_.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

        // Every vertex of the frame in one array; each draw is a range of it.
        for (const auto& p : passes)
            for (const auto& g : p.groups) {
                ranges_.push_back({int32_t(all_.size()), int32_t(g.vertices.size())});
                all_.insert(all_.end(), g.vertices.begin(), g.vertices.end());
            }
        return gl_.GetError() == GL_NO_ERROR || Fail("set-up");
    }

    void Frame(const std::vector<RawPass>& passes) {
        ctx_->MakeCurrent();
        gl_.BufferData(GL_ARRAY_BUFFER, GLsizeiptr(all_.size() * sizeof(TLVertex)), all_.data(), GL_STREAM_DRAW);
        size_t r = 0;
        for (const auto& p : passes) {
            gl_.BindFramebuffer(GL_FRAMEBUFFER, fbos_[p.target]);
            const int w = p.target ? 512 : kScreenW, h = p.target ? 512 : kScreenH;
            gl_.Viewport(0, 0, w, h);
            gl_.Uniform2f(sizeLoc_, float(w), float(h));
            const float clear[4] = {0.1f, 0.1f, 0.1f, 1}, depth = 1;
            gl_.ClearBufferfv(GL_COLOR, 0, clear);
            gl_.ClearBufferfv(GL_DEPTH, 0, &depth);
            for (const auto& g : p.groups) {
                // The blend set-up the group's first draw had: the same
                // per-pixel work as the device, with none of its state changes.
                if (g.state.AlphaBlendEnable) {
                    gl_.Enable(GL_BLEND);
                    gl_.BlendEquation(Equation(g.state.BlendOp));
                    gl_.BlendFunc(Factor(g.state.SrcBlend), Factor(g.state.DestBlend));
                } else {
                    gl_.Disable(GL_BLEND);
                }
                gl_.BindTexture(GL_TEXTURE_2D, textures_[g.texture]);
                gl_.DrawArrays(GL_TRIANGLES, ranges_[r].first, ranges_[r].second);
                ++r;
            }
        }
        uint8_t px[4];
        gl_.BindFramebuffer(GL_FRAMEBUFFER, fbos_[0]);
        gl_.ReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    }

    bool ok() const { return prog_ != 0 && error_.empty(); }
    const std::string& error() const { return error_; }

private:
    static GLenum Equation(int32_t op) {
        switch (op) {
            case BlendOp::Subtract: return GL_FUNC_SUBTRACT;
            case BlendOp::RevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
            case BlendOp::Min: return GL_MIN;
            case BlendOp::Max: return GL_MAX;
            default: return GL_FUNC_ADD;
        }
    }
    static GLenum Factor(int32_t f) {
        switch (f) {
            case Blend::Zero: return GL_ZERO;
            case Blend::SrcColor: return GL_SRC_COLOR;
            case Blend::InvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
            case Blend::SrcAlpha: return GL_SRC_ALPHA;
            case Blend::InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
            case Blend::DestColor: return GL_DST_COLOR;
            case Blend::InvDestColor: return GL_ONE_MINUS_DST_COLOR;
            case Blend::DestAlpha: return GL_DST_ALPHA;
            case Blend::InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
            default: return GL_ONE;
        }
    }
    static bool IsTarget(const std::vector<RawPass>& passes, TextureId id) {
        for (const auto& p : passes)
            if (p.target == id) return true;
        return false;
    }
    bool Fail(const std::string& why) {
        error_ = why;
        return false;
    }
    GLuint Shader(GLenum type, const char* src) {
        GLuint s = gl_.CreateShader(type);
        gl_.ShaderSource(s, 1, &src, nullptr);
        gl_.CompileShader(s);
        return s;
    }
    GLuint Fbo(GLuint tex, int w, int h) {
        GLuint fbo = 0, depth = 0;
        gl_.GenFramebuffers(1, &fbo);
        gl_.BindFramebuffer(GL_FRAMEBUFFER, fbo);
        gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
        gl_.GenRenderbuffers(1, &depth);
        gl_.BindRenderbuffer(GL_RENDERBUFFER, depth);
        gl_.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
        gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        return fbo;
    }

    std::unique_ptr<GlContext> ctx_;
    GlFunctions gl_;
    GLuint prog_ = 0, vao_ = 0, vbo_ = 0;
    GLint sizeLoc_ = -1;
    std::map<TextureId, GLuint> textures_;
    std::map<TextureId, GLuint> fbos_;
    std::vector<TLVertex> all_;
    std::vector<std::pair<int32_t, int32_t>> ranges_;
    std::string error_;
};

// ---- the results, printed side by side at the end ----------------------------

struct Summary {
    double deviceMs = 0, rawMs = 0, queueNs = 0;
    int quads = 0, rawDraws = 0;
    ~Summary() {
        if (deviceMs <= 0 || rawMs <= 0) return;
        std::printf(
            "\nbench_devices: synthetic frame (%d quads, %d alpha changes, 3 x 512^2 off-screen passes, %dx%d)\n"
            "  device layer:            %8.3f ms/frame\n"
            "  raw GL (%3d draws):      %8.3f ms/frame\n"
            "  ratio device / raw GL:   %8.2f\n"
            "  CPU per queued quad:     %8.1f ns\n",
            quads, kParticles, kScreenW, kScreenH, deviceMs, rawDraws, rawMs, deviceMs / rawMs, queueNs);
    }
} gSummary;

struct DeviceContext {
    EGLDisplay dpy = EGL_NO_DISPLAY;
    EGLContext ctx = EGL_NO_CONTEXT;
    void Restore() const {
        if (ctx != EGL_NO_CONTEXT) eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx);
    }
};

void BM_DeviceFrame(benchmark::State& state) {
    FreshDevice(nullptr);
    if (!zDDraw.Device) {
        state.SkipWithError("no OpenGL device");
        return;
    }
    DeviceContext dc{eglGetCurrentDisplay(), eglGetCurrentContext()};
    Scene s = MakeScene();
    DrawFrame(s);  // warm up: shaders, first uploads
    std::vector<uint8_t> px;
    int64_t frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        dc.Restore();
        auto t0 = std::chrono::steady_clock::now();
        DrawFrame(s);
        zDDraw.Device->ReadPixels(0, 0, 1, 1, px);  // wait for the frame to be drawn
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++frames;
    }
    state.counters["quads"] = s.quads;
    gSummary.deviceMs = seconds * 1000 / double(frames);
    gSummary.quads = s.quads;

    // Queueing alone: the CPU cost of one Blt into the batches.
    const int32_t white = int32_t(0xFFFFFFFFu);
    const int n = 5000;
    auto t0 = std::chrono::steady_clock::now();
    const int rounds = 200;
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < n; ++i)
            zDDraw.Blt(s.tex[size_t(i % kTextures)], float(i % 800), float(i % 600), 32, 32, 0, 0, 32, 32, white, 1);
        for (auto& b : zDDraw.PolyBuffers) b.Count = 0;  // dropped, not drawn
        zDDraw.PolyBufferCount = 0;
    }
    gSummary.queueNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() /
                       double(rounds * n);
    state.counters["ns_per_queued_quad"] = gSummary.queueNs;
    zDDraw.Device_Release();
}
BENCHMARK(BM_DeviceFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_RawGlLowerBound(benchmark::State& state) {
    std::vector<RawPass> passes = CaptureFrame();
    RawGl raw;
    if (!raw.Open(passes)) {
        state.SkipWithError(("raw GL: " + raw.error()).c_str());
        return;
    }
    int draws = 0;
    for (const auto& p : passes) draws += int(p.groups.size());
    raw.Frame(passes);
    int64_t frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        raw.Frame(passes);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++frames;
    }
    state.counters["draws"] = draws;
    gSummary.rawMs = seconds * 1000 / double(frames);
    gSummary.rawDraws = draws;
    if (gSummary.deviceMs > 0) {
        state.counters["device_over_raw"] = gSummary.deviceMs / gSummary.rawMs;
        zun::bench::GoalTable::Get().Ratio("device layer / raw GL", gSummary.deviceMs / gSummary.rawMs, 1.2);
    }
}
BENCHMARK(BM_RawGlLowerBound)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
