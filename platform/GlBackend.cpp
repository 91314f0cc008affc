// OpenGL 3.3 core drawing. The fixed-function texture stages, alpha test and
// blend of the device become one fragment shader, specialised per stage set-up
// (the compiler folds the unused paths away, which matters on a CPU
// rasteriser); the blend itself is the real blend unit. Every target (the back
// buffer and each render target) is a framebuffer object sharing one depth
// buffer. Rows are kept top-down in GL's row order, so row 0 of every target
// is the top row the device means and reading back needs no flip; only the
// final present turns the picture over for the window.
//
// A target is selected when it is chosen but bound only when something is
// drawn into it, cleared or read: a pass that ends by going back to the screen
// and a pass that begins by leaving it again cost nothing in between.
//
// Draws that differ only in the texture factor are merged into one GL draw:
// the factor travels with each vertex. The device flushes its batches on every
// change of transparency, so a fade over many particles would otherwise cost
// one draw call per particle, which a CPU rasteriser pays dearly for.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <type_traits>

#include "core/zCore.h"
#include "platform/GlContext.h"
#include "platform/GlFunctions.h"
#include "platform/RenderBackend.h"
#include "platform/Window.h"

namespace zun {

bool GlFunctions::Load(const std::function<void*(const char*)>& getProc, std::string* missing) {
#define ZUN_GL_LOAD(type, name)                                             \
    name = reinterpret_cast<type>(getProc("gl" #name));                     \
    if (!name) {                                                            \
        if (missing) *missing = "gl" #name;                                 \
        return false;                                                       \
    }
    ZUN_GL_FUNCTIONS(ZUN_GL_LOAD)
#undef ZUN_GL_LOAD
    return true;
}

namespace {

// A draw larger than this many vertices is refused rather than uploaded.
constexpr int64_t kMaxDrawVertices = 1 << 24;
// A frame's vertices take a few hundred kilobytes; a larger draw grows the ring.
constexpr int64_t kInitialRingBytes = 1 << 20;

const char* kVertexShader = R"(#version 330 core
in vec4 aPos;
in vec4 aColor;
in vec2 aUV;
in vec4 aTFactor;
uniform vec2 uScale;
out vec4 vColor;
out vec2 vUV;
flat out vec4 vTFactor;
void main() {
    // Pixel centres sit on whole numbers for the device and on halves for GL.
    gl_Position = vec4((aPos.x + 0.5) * uScale.x - 1.0, (aPos.y + 0.5) * uScale.y - 1.0, aPos.z * 2.0 - 1.0, 1.0);
    vColor = aColor;
    vUV = aUV;
    vTFactor = aTFactor;
}
)";

GLenum GlBlendFactor(int32_t f) {
    switch (f) {
    case Blend::Zero: return GL_ZERO;
    case Blend::One: return GL_ONE;
    case Blend::SrcColor: return GL_SRC_COLOR;
    case Blend::InvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case Blend::SrcAlpha: return GL_SRC_ALPHA;
    case Blend::InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case Blend::DestAlpha: return GL_DST_ALPHA;
    case Blend::InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case Blend::DestColor: return GL_DST_COLOR;
    case Blend::InvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case Blend::SrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum GlBlendOp(int32_t op) {
    switch (op) {
    case BlendOp::Subtract: return GL_FUNC_SUBTRACT;
    case BlendOp::RevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOp::Min: return GL_MIN;
    case BlendOp::Max: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

// What decides the fragment shader: texture present, alpha-test function, and
// the live part of the stage chain. Stages after the first disabled one are
// left out, so set-ups that differ only there share a program.
using ProgramKey = std::array<int32_t, 2 + 3 * 6>;

ProgramKey MakeKey(const DrawState& s, bool hasTex) {
    ProgramKey k{};
    k[0] = hasTex ? 1 : 0;
    k[1] = s.AlphaTestEnable ? s.AlphaFunc : Cmp::Always;
    if (!hasTex) return k;  // no texture: the chain gives the vertex colour
    for (int i = 0; i < 3; ++i) {
        const TextureStage& t = s.Stages[i];
        if (t.ColorOp == TexOp::Disable) break;
        int32_t* o = &k[2 + i * 6];
        o[0] = t.ColorOp;
        o[1] = t.ColorArg1;
        o[2] = t.ColorArg2;
        o[3] = t.AlphaOp;
        o[4] = t.AlphaArg1;
        o[5] = t.AlphaArg2;
    }
    return k;
}

std::string ArgExpr(int32_t arg, int stage) {
    std::string src;
    switch (arg & 0x0F) {
    case TexArg::Diffuse: src = "vColor"; break;
    case TexArg::Current: src = stage == 0 ? "vColor" : "cur"; break;
    // Only the first stage ever has a texture; a texture argument of a later
    // stage reads as opaque white.
    case TexArg::Texture: src = stage == 0 ? "texel" : "vec4(1.0)"; break;
    case TexArg::TFactor: src = "vTFactor"; break;
    default: src = "vec4(0.0)"; break;  // specular and unknown sources: black
    }
    if (arg & TexArg::AlphaReplicate) src = "(" + src + ").aaaa";
    if (arg & TexArg::Complement) src = "(vec4(1.0) - " + src + ")";
    return src;
}

std::string OpExpr(int32_t op, const std::string& a1, const std::string& a2, const char* keep) {
    switch (op) {
    case TexOp::SelectArg1: return a1;
    case TexOp::SelectArg2: return a2;
    case TexOp::Modulate: return a1 + " * " + a2;
    default: return keep;  // operations the device never sets pass the current value on
    }
}

std::string FragmentShader(const ProgramKey& k) {
    std::string s =
        "#version 330 core\n"
        "in vec4 vColor;\nin vec2 vUV;\n"
        "flat in vec4 vTFactor;\nuniform sampler2D uTex;\nuniform float uAlphaRef;\n"
        "out vec4 fragColor;\n"
        "void main() {\n"
        "    vec4 cur = vColor;\n";
    if (k[0]) {
        s += "    vec4 texel = texture(uTex, vUV);\n";
        for (int i = 0; i < 3; ++i) {
            const int32_t* o = &k[2 + i * 6];
            if (o[0] == 0) break;
            std::string c1 = ArgExpr(o[1], i), c2 = ArgExpr(o[2], i);
            s += "    {\n";
            if (o[0] == TexOp::DotProduct3) {
                // Signed dot product of the biased colours, saturated and
                // replicated into every channel, alpha included.
                s += "        float d = clamp(4.0 * dot((" + c1 + ").rgb - 0.5, (" + c2 +
                     ").rgb - 0.5), 0.0, 1.0);\n"
                     "        cur = vec4(d);\n";
            } else {
                std::string a1 = ArgExpr(o[4], i), a2 = ArgExpr(o[5], i);
                s += "        vec3 c = " + OpExpr(o[0], "(" + c1 + ").rgb", "(" + c2 + ").rgb", "cur.rgb") + ";\n";
                s += "        float a = " +
                     (o[3] == TexOp::Disable ? std::string("cur.a")
                                             : OpExpr(o[3], "(" + a1 + ").a", "(" + a2 + ").a", "cur.a")) +
                     ";\n";
                s += "        cur = vec4(c, a);\n";
            }
            s += "    }\n";
        }
    }
    const char* cmp = nullptr;
    switch (k[1]) {
    case Cmp::Never: s += "    discard;\n"; break;
    case Cmp::Less: cmp = "<"; break;
    case Cmp::Equal: cmp = "=="; break;
    case Cmp::LessEqual: cmp = "<="; break;
    case Cmp::Greater: cmp = ">"; break;
    case Cmp::NotEqual: cmp = "!="; break;
    case Cmp::GreaterEqual: cmp = ">="; break;
    default: break;
    }
    if (cmp) {
        // The test works on the 8-bit alpha, as the blend unit will store it.
        s += "    float a8 = floor(clamp(cur.a, 0.0, 1.0) * 255.0 + 0.5);\n";
        s += std::string("    if (!(a8 ") + cmp + " uAlphaRef)) discard;\n";
    }
    s += "    fragColor = cur;\n}\n";
    return s;
}

// What the GPU reads per vertex: position, colour, texture position and the
// texture factor of the draw the vertex came from.
struct GpuVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
    uint32_t tfactor;
};
static_assert(sizeof(GpuVertex) == 28);

struct Program {
    GLuint id = 0;
    GLint scale = -1, alphaRef = -1;
    // Last values sent, to skip unchanged uniforms.
    float lastScaleX = -1, lastScaleY = -1;
    int32_t lastRef = -1;
};

class GlBackend;
thread_local GlBackend* tCurrent = nullptr;

class GlBackend final : public RenderBackend {
public:
    ~GlBackend() override;
    bool Open(const GlBackendConfig& config, std::string* error);

    const char* Name() const override { return "opengl"; }
    TextureId CreateTexture(int32_t w, int32_t h, const uint8_t* rgba) override;
    bool UpdateTexture(TextureId tex, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* rgba) override;
    void DeleteTexture(TextureId tex) override;
    bool TextureSize(TextureId tex, int32_t& w, int32_t& h) const override;
    TextureId CreateRenderTarget(int32_t side) override;
    TextureId CreateRenderTargetWithoutDepth(int32_t side) override;
    TextureId MakeRenderTarget(int32_t side, bool depth);
    bool SetRenderTarget(TextureId target) override;
    TextureId CurrentTarget() const override { return target_; }
    void CurrentTargetSize(int32_t& w, int32_t& h) const override {
        w = targetW_;
        h = targetH_;
    }
    void Clear(bool color, uint32_t argb, bool depth, float z) override;
    void DrawTextured(const DrawState& state, Primitive prim, const TLVertex* v, int32_t count,
                      TextureId texture) override;
    void DrawColored(const DrawState& state, Primitive prim, const ColorVertex* v, int32_t count) override;
    bool ReadPixels(int32_t x, int32_t y, int32_t w, int32_t h, std::vector<uint8_t>& rgba) override;
    void Present(int32_t srcW, int32_t srcH) override;
    void SetDrawArea(int32_t x, int32_t y, int32_t w, int32_t h) override;
    int32_t BackBufferWidth() const override { return bbW_; }
    int32_t BackBufferHeight() const override { return bbH_; }
    // A GL 3.3 context without the robustness extension is never reset under
    // us, so the device is never lost here.
    DeviceStatus Status() override { return DeviceStatus::Ok; }
    bool Reset() override { return true; }

private:
    struct Tex {
        GLuint tex = 0;
        GLuint fbo = 0;  // render targets only
        int32_t w = 0, h = 0;
        bool live = false;
    };

    void Current() {
        if (tCurrent != this) {
            ctx_->MakeCurrent();
            tCurrent = this;
        }
    }
    const Tex* Find(TextureId id) const {
        if (id == 0 || id >= textures_.size() || !textures_[id].live) return nullptr;
        return &textures_[id];
    }
    void DrainErrors() {
        for (int i = 0; i < 16 && gl.GetError() != GL_NO_ERROR; ++i) {
        }
    }
    bool MakeTargetFbo(GLuint tex, GLuint& fbo, bool depth = true);
    // Binds the selected target, with its viewport and draw area, when it is
    // not bound yet.
    void Bind();
    GLuint SelectedFbo() const { return target_ == 0 ? bb_.fbo : Find(target_)->fbo; }
    // Clips drawing to the draw area of the current target.
    void ApplyScissor(bool allowed = true);
    bool EnsureDepth(int32_t w, int32_t h);
    void BindTexture(GLuint tex) {
        if (boundTex_ != tex) {
            gl.BindTexture(GL_TEXTURE_2D, tex);
            boundTex_ = tex;
        }
    }
    Program* ProgramFor(const DrawState& s, bool hasTex);
    bool ApplyState(const DrawState& s, bool hasTex);
    template <class V>
    void Queue(const DrawState& state, Primitive prim, const V* v, int32_t count, TextureId texture);
    void FlushPending();
    GLint Upload(const void* data, int64_t bytes, int32_t stride);
    void LogOnce(const std::string& what);

    std::unique_ptr<GlContext> ctx_;
    GlFunctions gl;
    std::vector<Tex> textures_{1};  // index = id; entry 0 unused
    Tex bb_;
    int32_t bbW_ = 0, bbH_ = 0;
    GLuint depth_ = 0;
    int32_t depthW_ = 0, depthH_ = 0;
    TextureId target_ = 0;
    int32_t targetW_ = 0, targetH_ = 0;
    // The framebuffer GL has bound, and whether it is the selected target's.
    GLuint boundFbo_ = 0;
    bool bound_ = false;
    GLuint samplerPoint_ = 0, samplerLinear_ = 0;
    GLuint vs_ = 0;
    std::map<ProgramKey, Program> programs_;
    Program* program_ = nullptr;
    GLuint vao_ = 0;
    // The merged draw not yet sent.
    std::vector<GpuVertex> pending_;
    DrawState pendingState_;
    GLenum pendingMode_ = GL_TRIANGLES;
    GLuint pendingTex_ = 0;  // 0: untextured
    GLuint vbo_ = 0;
    int64_t ringBytes_ = 0, ringPos_ = 0;
    GLuint boundTex_ = 0;
    // The draw area of the current target; empty: all of it.
    int32_t areaX_ = 0, areaY_ = 0, areaW_ = 0, areaH_ = 0;
    bool scissorOn_ = false;
    // Blend, depth and sampler state as last sent to GL.
    bool stateValid_ = false;
    bool blendOn_ = false, depthOn_ = false, depthWrite_ = true;
    GLenum blendEq_ = 0, blendSrc_ = 0, blendDst_ = 0;
    GLuint sampler_ = 0;
    std::vector<std::string> loggedOnce_;
};

void GlBackend::LogOnce(const std::string& what) {
    for (const auto& s : loggedOnce_)
        if (s == what) return;
    if (loggedOnce_.size() < 64) loggedOnce_.push_back(what);
    Log("ERR", "RenderBackend", what);
}

bool GlBackend::Open(const GlBackendConfig& config, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return false;
    };
    if (config.backBufferWidth < 1 || config.backBufferHeight < 1 || config.backBufferWidth > kMaxTextureSide ||
        config.backBufferHeight > kMaxTextureSide)
        return fail("back buffer size out of range");
    std::string why;
    if (config.window && config.window->HasGLSurface())
        ctx_ = CreateWindowContext(*config.window, &why);
    else
        ctx_ = CreateSurfacelessContext(&why);
    if (!ctx_) return fail(why);
    tCurrent = this;
    std::string missing;
    if (!gl.Load([this](const char* n) { return ctx_->GetProc(n); }, &missing))
        return fail("OpenGL entry point missing: " + missing);
    GLint major = 0, minor = 0;
    gl.GetIntegerv(GL_MAJOR_VERSION, &major);
    gl.GetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 33) return fail("OpenGL 3.3 is not available");
    DrainErrors();

    bbW_ = config.backBufferWidth;
    bbH_ = config.backBufferHeight;
    if (!EnsureDepth(bbW_, bbH_)) return fail("could not create the depth buffer");
    gl.GenTextures(1, &bb_.tex);
    BindTexture(bb_.tex);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, bbW_, bbH_, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    if (gl.GetError() != GL_NO_ERROR || !MakeTargetFbo(bb_.tex, bb_.fbo)) return fail("could not create the back buffer");
    bb_.w = bbW_;
    bb_.h = bbH_;
    bb_.live = true;

    gl.GenSamplers(1, &samplerPoint_);
    gl.GenSamplers(1, &samplerLinear_);
    for (GLuint s : {samplerPoint_, samplerLinear_}) {
        GLint f = s == samplerPoint_ ? GL_NEAREST : GL_LINEAR;
        gl.SamplerParameteri(s, GL_TEXTURE_MIN_FILTER, f);
        gl.SamplerParameteri(s, GL_TEXTURE_MAG_FILTER, f);
        gl.SamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_REPEAT);
        gl.SamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_REPEAT);
    }

    vs_ = gl.CreateShader(GL_VERTEX_SHADER);
    gl.ShaderSource(vs_, 1, &kVertexShader, nullptr);
    gl.CompileShader(vs_);
    GLint ok = 0;
    gl.GetShaderiv(vs_, GL_COMPILE_STATUS, &ok);
    if (!ok) return fail("vertex shader does not compile");

    gl.GenBuffers(1, &vbo_);
    gl.BindBuffer(GL_ARRAY_BUFFER, vbo_);
    ringBytes_ = kInitialRingBytes;
    gl.BufferData(GL_ARRAY_BUFFER, ringBytes_, nullptr, GL_STREAM_DRAW);
    gl.GenVertexArrays(1, &vao_);
    gl.BindVertexArray(vao_);
    for (GLuint i = 0; i < 4; ++i) gl.EnableVertexAttribArray(i);
    gl.VertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(0));
    // ARGB in a little-endian word is B, G, R, A in memory.
    gl.VertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GpuVertex), reinterpret_cast<void*>(12));
    gl.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(16));
    gl.VertexAttribPointer(3, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GpuVertex), reinterpret_cast<void*>(24));

    gl.Disable(GL_CULL_FACE);
    gl.Disable(GL_SCISSOR_TEST);
    gl.Disable(GL_DITHER);
    // Depths outside 0..1 are held at the limits instead of clipping the primitive away.
    gl.Enable(GL_DEPTH_CLAMP);
    gl.DepthFunc(GL_LEQUAL);
    gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.ActiveTexture(GL_TEXTURE0);

    if (!SetRenderTarget(0)) return fail("could not select the back buffer");
    Clear(true, 0xFF000000u, true, 1.0f);
    if (gl.GetError() != GL_NO_ERROR) return fail("OpenGL error during set-up");
    return true;
}

GlBackend::~GlBackend() {
    if (!ctx_) return;
    // Our context becomes current for the clean-up, so no backend is current after.
    ctx_->MakeCurrent();
    tCurrent = nullptr;
    if (gl.DeleteTextures) {
        for (auto& t : textures_) {
            if (t.fbo) gl.DeleteFramebuffers(1, &t.fbo);
            if (t.tex) gl.DeleteTextures(1, &t.tex);
        }
        if (bb_.fbo) gl.DeleteFramebuffers(1, &bb_.fbo);
        if (bb_.tex) gl.DeleteTextures(1, &bb_.tex);
        if (depth_) gl.DeleteRenderbuffers(1, &depth_);
        for (auto& p : programs_) gl.DeleteProgram(p.second.id);
        if (vs_) gl.DeleteShader(vs_);
        if (samplerPoint_) gl.DeleteSamplers(1, &samplerPoint_);
        if (samplerLinear_) gl.DeleteSamplers(1, &samplerLinear_);
        if (vao_) gl.DeleteVertexArrays(1, &vao_);
        if (vbo_) gl.DeleteBuffers(1, &vbo_);
        gl.Finish();
    }
    ctx_.reset();
}

bool GlBackend::EnsureDepth(int32_t needW, int32_t needH) {
    if (depth_ && needW <= depthW_ && needH <= depthH_) return true;
    int32_t w = std::max({needW, depthW_, bbW_}), h = std::max({needH, depthH_, bbH_});
    if (!depth_) gl.GenRenderbuffers(1, &depth_);
    DrainErrors();
    gl.BindRenderbuffer(GL_RENDERBUFFER, depth_);
    // Re-specifying the storage keeps every framebuffer's attachment; the
    // contents are undefined, but each scene clears depth before drawing.
    gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, w, h);
    if (gl.GetError() != GL_NO_ERROR) {
        if (depthW_ > 0) gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, depthW_, depthH_);
        return false;
    }
    depthW_ = w;
    depthH_ = h;
    return true;
}

void GlBackend::ApplyScissor(bool allowed) {
    const bool want = allowed && areaW_ > 0 && areaH_ > 0 && (areaW_ < targetW_ || areaH_ < targetH_);
    if (want) {
        // Rows are kept top-down, so GL's row 0 is the top row here too.
        gl.Scissor(areaX_, areaY_, areaW_, areaH_);
        if (!scissorOn_) gl.Enable(GL_SCISSOR_TEST);
    } else if (scissorOn_) {
        gl.Disable(GL_SCISSOR_TEST);
    }
    scissorOn_ = want;
}

void GlBackend::SetDrawArea(int32_t x, int32_t y, int32_t w, int32_t h) {
    const int64_t x0 = std::clamp<int64_t>(x, 0, targetW_), y0 = std::clamp<int64_t>(y, 0, targetH_);
    const int64_t x1 = std::clamp<int64_t>(int64_t(x) + std::max(w, 0), x0, targetW_);
    const int64_t y1 = std::clamp<int64_t>(int64_t(y) + std::max(h, 0), y0, targetH_);
    // Nothing of the target left (or nothing asked for): no limit. Drawing
    // more than needed is only slower.
    int32_t ax = int32_t(x0), ay = int32_t(y0), aw = int32_t(x1 - x0), ah = int32_t(y1 - y0);
    if (aw <= 0 || ah <= 0) ax = ay = aw = ah = 0;
    if (ax == areaX_ && ay == areaY_ && aw == areaW_ && ah == areaH_) return;
    FlushPending();
    Current();
    areaX_ = ax;
    areaY_ = ay;
    areaW_ = aw;
    areaH_ = ah;
    ApplyScissor();
}

bool GlBackend::MakeTargetFbo(GLuint tex, GLuint& fbo, bool depth) {
    gl.GenFramebuffers(1, &fbo);
    gl.BindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
    if (depth) gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    bool complete = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    // Back to whatever was bound.
    gl.BindFramebuffer(GL_FRAMEBUFFER, boundFbo_);
    if (!complete) {
        gl.DeleteFramebuffers(1, &fbo);
        fbo = 0;
    }
    return complete;
}

TextureId GlBackend::CreateTexture(int32_t w, int32_t h, const uint8_t* rgba) {
    FlushPending();
    if (w < 1 || h < 1 || w > kMaxTextureSide || h > kMaxTextureSide) return 0;
    Current();
    std::vector<uint8_t> zeros;
    if (!rgba) {
        zeros.assign(size_t(w) * size_t(h) * 4, 0);
        rgba = zeros.data();
    }
    DrainErrors();
    Tex t;
    gl.GenTextures(1, &t.tex);
    BindTexture(t.tex);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    if (gl.GetError() != GL_NO_ERROR) {
        gl.DeleteTextures(1, &t.tex);
        boundTex_ = 0;
        return 0;
    }
    t.w = w;
    t.h = h;
    t.live = true;
    textures_.push_back(t);
    return TextureId(textures_.size() - 1);
}

bool GlBackend::UpdateTexture(TextureId id, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* rgba) {
    FlushPending();
    const Tex* t = Find(id);
    if (!t || !rgba || x < 0 || y < 0 || w < 0 || h < 0 || int64_t(x) + w > t->w || int64_t(y) + h > t->h) return false;
    if (w == 0 || h == 0) return true;
    Current();
    BindTexture(t->tex);
    gl.TexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return true;
}

void GlBackend::DeleteTexture(TextureId id) {
    FlushPending();
    if (!Find(id)) return;
    Current();
    if (target_ == id) SetRenderTarget(0);
    Tex& t = textures_[id];
    if (boundTex_ == t.tex) boundTex_ = 0;
    // A bound framebuffer that goes leaves none bound.
    if (t.fbo && boundFbo_ == t.fbo) {
        boundFbo_ = 0;
        bound_ = false;
    }
    if (t.fbo) gl.DeleteFramebuffers(1, &t.fbo);
    gl.DeleteTextures(1, &t.tex);
    t = Tex{};
}

bool GlBackend::TextureSize(TextureId id, int32_t& w, int32_t& h) const {
    const Tex* t = Find(id);
    if (!t) return false;
    w = t->w;
    h = t->h;
    return true;
}

TextureId GlBackend::CreateRenderTarget(int32_t side) { return MakeRenderTarget(side, true); }

TextureId GlBackend::CreateRenderTargetWithoutDepth(int32_t side) { return MakeRenderTarget(side, false); }

TextureId GlBackend::MakeRenderTarget(int32_t side, bool depth) {
    FlushPending();
    if (side < 1 || side > kMaxTargetSide) return 0;
    Current();
    if (depth && !EnsureDepth(side, side)) return 0;
    DrainErrors();
    Tex t;
    gl.GenTextures(1, &t.tex);
    BindTexture(t.tex);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    if (gl.GetError() != GL_NO_ERROR || !MakeTargetFbo(t.tex, t.fbo, depth)) {
        gl.DeleteTextures(1, &t.tex);
        boundTex_ = 0;
        return 0;
    }
    // A new target starts transparent black rather than with stale memory.
    gl.BindFramebuffer(GL_FRAMEBUFFER, t.fbo);
    const GLfloat zero[4] = {0, 0, 0, 0};
    gl.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    ApplyScissor(false);
    gl.ClearBufferfv(GL_COLOR, 0, zero);
    ApplyScissor();
    gl.BindFramebuffer(GL_FRAMEBUFFER, boundFbo_);
    t.w = t.h = side;
    t.live = true;
    textures_.push_back(t);
    return TextureId(textures_.size() - 1);
}

bool GlBackend::SetRenderTarget(TextureId id) {
    FlushPending();
    const Tex* t = id == 0 ? &bb_ : Find(id);
    if (!t || !t->fbo) return false;
    if (id != target_) bound_ = false;
    target_ = id;
    targetW_ = t->w;
    targetH_ = t->h;
    areaX_ = areaY_ = areaW_ = areaH_ = 0;
    if (bound_) {
        Current();
        ApplyScissor();
    }
    return true;
}

void GlBackend::Bind() {
    Current();
    if (bound_) return;
    const GLuint fbo = SelectedFbo();
    if (fbo != boundFbo_) gl.BindFramebuffer(GL_FRAMEBUFFER, fbo);
    gl.Viewport(0, 0, targetW_, targetH_);
    boundFbo_ = fbo;
    bound_ = true;
    ApplyScissor();
}

void GlBackend::Clear(bool color, uint32_t argb, bool depth, float z) {
    FlushPending();
    Bind();
    // A clear of the whole target is the renderer's cheap one; a clipped
    // clear would be drawn as a quad.
    const bool clipped = scissorOn_;
    if (clipped) ApplyScissor(false);
    struct Reclip {
        GlBackend& b;
        bool on;
        ~Reclip() {
            if (on) b.ApplyScissor();
        }
    } reclip{*this, clipped};
    if (color) {
        const GLfloat c[4] = {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
                              ((argb >> 24) & 0xFF) / 255.0f};
        gl.ClearBufferfv(GL_COLOR, 0, c);
    }
    if (depth) {
        if (!depthWrite_) gl.DepthMask(GL_TRUE);
        gl.ClearBufferfv(GL_DEPTH, 0, &z);
        if (!depthWrite_) gl.DepthMask(GL_FALSE);
    }
}

Program* GlBackend::ProgramFor(const DrawState& s, bool hasTex) {
    ProgramKey key = MakeKey(s, hasTex);
    auto it = programs_.find(key);
    if (it != programs_.end()) return it->second.id ? &it->second : nullptr;
    Program& p = programs_[key];  // a failed build is remembered as id 0
    std::string src = FragmentShader(key);
    const char* text = src.c_str();
    GLuint fs = gl.CreateShader(GL_FRAGMENT_SHADER);
    gl.ShaderSource(fs, 1, &text, nullptr);
    gl.CompileShader(fs);
    GLint ok = 0;
    gl.GetShaderiv(fs, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char info[512] = {};
        gl.GetShaderInfoLog(fs, sizeof info - 1, nullptr, info);
        gl.DeleteShader(fs);
        LogOnce(std::string("fragment shader does not compile: ") + info);
        return nullptr;
    }
    GLuint prog = gl.CreateProgram();
    gl.AttachShader(prog, vs_);
    gl.AttachShader(prog, fs);
    gl.BindAttribLocation(prog, 0, "aPos");
    gl.BindAttribLocation(prog, 1, "aColor");
    gl.BindAttribLocation(prog, 2, "aUV");
    gl.BindAttribLocation(prog, 3, "aTFactor");
    gl.BindFragDataLocation(prog, 0, "fragColor");
    gl.LinkProgram(prog);
    gl.DeleteShader(fs);
    gl.GetProgramiv(prog, GL_LINK_STATUS, &ok);
    if (!ok) {
        char info[512] = {};
        gl.GetProgramInfoLog(prog, sizeof info - 1, nullptr, info);
        gl.DeleteProgram(prog);
        LogOnce(std::string("shader program does not link: ") + info);
        return nullptr;
    }
    p.id = prog;
    p.scale = gl.GetUniformLocation(prog, "uScale");
    p.alphaRef = gl.GetUniformLocation(prog, "uAlphaRef");
    gl.UseProgram(prog);
    GLint texLoc = gl.GetUniformLocation(prog, "uTex");
    if (texLoc >= 0) gl.Uniform1i(texLoc, 0);
    if (program_) gl.UseProgram(program_->id);
    return &p;
}

bool GlBackend::ApplyState(const DrawState& s, bool hasTex) {
    Program* p = ProgramFor(s, hasTex);
    if (!p) return false;
    if (p != program_) {
        gl.UseProgram(p->id);
        program_ = p;
    }
    float sx = 2.0f / float(targetW_), sy = 2.0f / float(targetH_);
    if (p->lastScaleX != sx || p->lastScaleY != sy) {
        gl.Uniform2f(p->scale, sx, sy);
        p->lastScaleX = sx;
        p->lastScaleY = sy;
    }
    int32_t ref = std::clamp(s.AlphaRef, 0, 255);
    if (p->alphaRef >= 0 && p->lastRef != ref) {
        gl.Uniform1f(p->alphaRef, float(ref));
        p->lastRef = ref;
    }

    if (!stateValid_ || s.AlphaBlendEnable != blendOn_) {
        if (s.AlphaBlendEnable) gl.Enable(GL_BLEND);
        else gl.Disable(GL_BLEND);
        blendOn_ = s.AlphaBlendEnable;
    }
    if (s.AlphaBlendEnable) {
        GLenum eq = GlBlendOp(s.BlendOp), src = GlBlendFactor(s.SrcBlend), dst = GlBlendFactor(s.DestBlend);
        // The "both" factors set the destination from the source side.
        if (s.SrcBlend == 12) src = GL_SRC_ALPHA, dst = GL_ONE_MINUS_SRC_ALPHA;
        if (s.SrcBlend == 13) src = GL_ONE_MINUS_SRC_ALPHA, dst = GL_SRC_ALPHA;
        if (!stateValid_ || eq != blendEq_) {
            gl.BlendEquation(eq);
            blendEq_ = eq;
        }
        if (!stateValid_ || src != blendSrc_ || dst != blendDst_) {
            gl.BlendFunc(src, dst);
            blendSrc_ = src;
            blendDst_ = dst;
        }
    }
    if (!stateValid_ || s.ZEnable != depthOn_) {
        if (s.ZEnable) gl.Enable(GL_DEPTH_TEST);
        else gl.Disable(GL_DEPTH_TEST);
        depthOn_ = s.ZEnable;
    }
    if (!stateValid_ || s.ZWriteEnable != depthWrite_) {
        gl.DepthMask(s.ZWriteEnable ? GL_TRUE : GL_FALSE);
        depthWrite_ = s.ZWriteEnable;
    }
    GLuint sampler = (s.Filter == TexFilter::Linear || s.Filter == TexFilter::Anisotropic) ? samplerLinear_ : samplerPoint_;
    if (!stateValid_ || sampler != sampler_) {
        gl.BindSampler(0, sampler);
        sampler_ = sampler;
    }
    stateValid_ = true;
    return true;
}

GLint GlBackend::Upload(const void* data, int64_t bytes, int32_t stride) {
    int64_t pos = (ringPos_ + stride - 1) / stride * stride;
    if (pos + bytes > ringBytes_) {
        if (bytes > ringBytes_) {
            while (ringBytes_ < bytes) ringBytes_ *= 2;
        }
        // A fresh store: draws still using the old one keep it.
        gl.BufferData(GL_ARRAY_BUFFER, ringBytes_, nullptr, GL_STREAM_DRAW);
        pos = 0;
    }
    void* dst = gl.MapBufferRange(GL_ARRAY_BUFFER, pos, bytes,
                                  GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (!dst) return -1;
    std::memcpy(dst, data, size_t(bytes));
    gl.UnmapBuffer(GL_ARRAY_BUFFER);
    ringPos_ = pos + bytes;
    return GLint(pos / stride);
}

void GlBackend::FlushPending() {
    if (pending_.empty()) return;
    Bind();
    if (ApplyState(pendingState_, pendingTex_ != 0)) {
        if (pendingTex_) BindTexture(pendingTex_);
        GLint first = Upload(pending_.data(), int64_t(pending_.size()) * int64_t(sizeof(GpuVertex)), sizeof(GpuVertex));
        if (first >= 0) gl.DrawArrays(pendingMode_, first, GLsizei(pending_.size()));
        else LogOnce("vertex upload failed");
    }
    pending_.clear();
}

// Equal in everything but the texture factor, which rides on the vertices.
static bool SameButFactor(const DrawState& a, const DrawState& b) {
    DrawState x = a;
    x.TextureFactor = b.TextureFactor;
    return x == b;
}

template <class V>
void GlBackend::Queue(const DrawState& state, Primitive prim, const V* v, int32_t count, TextureId texture) {
    count = WholePrimitiveCount(prim, count);
    if (!v || count <= 0) return;
    if (count > kMaxDrawVertices) return LogOnce("draw of too many vertices refused");
    const Tex* t = Find(texture);
    GLuint tex = t ? t->tex : 0;
    GLenum mode = prim == Primitive::LineList ? GL_LINES : prim == Primitive::PointList ? GL_POINTS : GL_TRIANGLES;
    size_t add = prim == Primitive::TriangleStrip ? size_t(count - 2) * 3 : size_t(count);
    if (!pending_.empty() && (mode != pendingMode_ || tex != pendingTex_ || !SameButFactor(state, pendingState_) ||
                              pending_.size() + add > size_t(kMaxDrawVertices)))
        FlushPending();
    pendingState_ = state;
    pendingMode_ = mode;
    pendingTex_ = tex;
    const uint32_t f = state.TextureFactor;
    auto put = [&](const V& s) {
        if constexpr (std::is_same_v<V, TLVertex>)
            pending_.push_back(GpuVertex{s.X, s.Y, s.Z, s.Color, s.TU, s.TV, f});
        else
            pending_.push_back(GpuVertex{s.X, s.Y, s.Z, s.Color, 0.0f, 0.0f, f});
    };
    if (prim == Primitive::TriangleStrip) {
        // As separate triangles; with culling off the winding does not matter.
        for (int32_t i = 0; i + 2 < count; ++i) {
            put(v[i]);
            put(v[i + 1]);
            put(v[i + 2]);
        }
    } else {
        for (int32_t i = 0; i < count; ++i) put(v[i]);
    }
}

void GlBackend::DrawTextured(const DrawState& state, Primitive prim, const TLVertex* v, int32_t count,
                             TextureId texture) {
    Queue(state, prim, v, count, texture);
}

void GlBackend::DrawColored(const DrawState& state, Primitive prim, const ColorVertex* v, int32_t count) {
    Queue(state, prim, v, count, 0);
}

bool GlBackend::ReadPixels(int32_t x, int32_t y, int32_t w, int32_t h, std::vector<uint8_t>& rgba) {
    FlushPending();
    if (x < 0 || y < 0 || w < 0 || h < 0 || int64_t(x) + w > targetW_ || int64_t(y) + h > targetH_) return false;
    rgba.assign(size_t(w) * size_t(h) * 4, 0);
    if (w == 0 || h == 0) return true;
    Bind();
    gl.ReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return gl.GetError() == GL_NO_ERROR;
}

void GlBackend::Present(int32_t srcW, int32_t srcH) {
    FlushPending();
    Bind();
    if (!ctx_->HasWindow()) {
        gl.Flush();
        return;
    }
    srcW = std::clamp(srcW, 1, bbW_);
    srcH = std::clamp(srcH, 1, bbH_);
    int32_t dw = 0, dh = 0;
    ctx_->DrawableSize(dw, dh);
    if (dw > 0 && dh > 0) {
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, bb_.fbo);
        gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        GLenum filter = (dw == srcW && dh == srcH) ? GL_NEAREST : GL_LINEAR;
        // The scissor would cut the copy to the window as well.
        ApplyScissor(false);
        gl.BlitFramebuffer(0, 0, srcW, srcH, 0, dh, dw, 0, GL_COLOR_BUFFER_BIT, filter);
        ctx_->Swap();
        gl.BindFramebuffer(GL_FRAMEBUFFER, boundFbo_);
        ApplyScissor();
    }
}

}  // namespace

std::unique_ptr<RenderBackend> CreateGlBackend(const GlBackendConfig& config, std::string* error) {
    auto b = std::make_unique<GlBackend>();
    std::string why;
    if (!b->Open(config, &why)) {
        if (error) *error = why;
        return nullptr;
    }
    return b;
}

}  // namespace zun
