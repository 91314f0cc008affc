// Pixel tests of the OpenGL backend on an offscreen context: each blend set-up
// the device uses is drawn over a known background and compared with a CPU
// reference of the combiner and blend formulas, one 8-bit step of tolerance.
#include <gtest/gtest.h>

#include "devices/zDDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "platform/RenderBackend.h"

using namespace zun;

namespace {

struct Px {
    double r, g, b, a;
};

uint8_t Byte(double v) { return uint8_t(std::floor(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5)); }
double Q(double v) { return Byte(v) / 255.0; }  // as the blend unit sees a value

Px FromRGBA(const uint8_t* p) { return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, p[3] / 255.0}; }
Px FromARGB(uint32_t c) {
    return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0, (c >> 24) / 255.0};
}
uint32_t ARGB(double r, double g, double b, double a) {
    return uint32_t(Byte(a)) << 24 | uint32_t(Byte(r)) << 16 | uint32_t(Byte(g)) << 8 | Byte(b);
}

// Deterministic pseudo-random bytes.
struct Lcg {
    uint32_t s;
    uint8_t Next() {
        s = s * 1664525u + 1013904223u;
        return uint8_t(s >> 24);
    }
};

// The device's blend modes as state changes on top of the previous state.
void ApplyMode(DrawState& s, int mode, uint32_t greyscale = 0) { ApplyBlendMode(s, mode, greyscale); }

// Blend of one channel, both factors taken as the blend unit takes them.
double Factor(int32_t f, const Px& S, const Px& D, double sc, double dc) {
    switch (f) {
    case Blend::Zero: return 0;
    case Blend::One: return 1;
    case Blend::SrcColor: return sc;
    case Blend::InvSrcColor: return 1 - sc;
    case Blend::SrcAlpha: return S.a;
    case Blend::InvSrcAlpha: return 1 - S.a;
    case Blend::DestColor: return dc;
    case Blend::InvDestColor: return 1 - dc;
    default: ADD_FAILURE() << "factor " << f; return 0;
    }
}

double BlendChannel(const DrawState& st, const Px& S, const Px& D, double sc, double dc) {
    double fs = Factor(st.SrcBlend, S, D, sc, dc), fd = Factor(st.DestBlend, S, D, sc, dc);
    switch (st.BlendOp) {
    case BlendOp::Add: return sc * fs + dc * fd;
    case BlendOp::Subtract: return sc * fs - dc * fd;
    case BlendOp::RevSubtract: return dc * fd - sc * fs;
    case BlendOp::Min: return std::min(sc, dc);
    case BlendOp::Max: return std::max(sc, dc);
    default: ADD_FAILURE(); return 0;
    }
}

// Source colour and alpha of each mode, written from the mode's description
// rather than from the stage set-up.
Px ModeSource(int mode, const Px& T, const Px& Dif, const Px& TF) {
    Px S{T.r * Dif.r, T.g * Dif.g, T.b * Dif.b, T.a};
    if (mode == 2) S.a = T.a * TF.a;
    if (mode == 6) S.a = T.a * Dif.a;
    if (mode == 127) S = {Dif.r, Dif.g, Dif.b, T.a};
    if (mode == 128) {
        double d = 4 * ((T.r - 0.5) * (TF.r - 0.5) + (T.g - 0.5) * (TF.g - 0.5) + (T.b - 0.5) * (TF.b - 0.5));
        d = std::clamp(d, 0.0, 1.0);
        S = {1 - d, 1 - d, 1 - d, d};
    }
    return S;
}

// The expected pixel, or nothing drawn (the background stays).
Px Expected(int mode, const DrawState& st, const Px& T, const Px& Dif, const Px& D) {
    Px TF = FromARGB(st.TextureFactor);
    Px S = ModeSource(mode, T, Dif, TF);
    S = {Q(S.r), Q(S.g), Q(S.b), Q(S.a)};
    if (st.AlphaTestEnable) {
        int a8 = Byte(S.a);
        bool pass = st.AlphaFunc == Cmp::Greater ? a8 > st.AlphaRef : a8 < st.AlphaRef;
        if (!pass) return D;
    }
    if (!st.AlphaBlendEnable) return S;
    return {BlendChannel(st, S, D, S.r, D.r), BlendChannel(st, S, D, S.g, D.g), BlendChannel(st, S, D, S.b, D.b),
            BlendChannel(st, S, D, S.a, D.a)};
}

void Quad(TLVertex* v, float x0, float y0, float x1, float y1, float z, uint32_t color) {
    TLVertex a{x0, y0, z, 1, color, 0, 0}, b{x1, y0, z, 1, color, 1, 0}, c{x1, y1, z, 1, color, 1, 1},
        d{x0, y1, z, 1, color, 0, 1};
    v[0] = a, v[1] = b, v[2] = c, v[3] = a, v[4] = c, v[5] = d;
}

class GlBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        backend = CreateGlBackend(GlBackendConfig{nullptr, 64, 48}, &error);
        if (!backend) GTEST_SKIP() << "no offscreen OpenGL 3.3 context on this machine: " << error;
    }

    // Fills the current target (side n) with the texture, unblended.
    void Cover(TextureId tex, int n, float z = 0.5f, uint32_t color = 0xFFFFFFFFu) {
        DrawState s;
        ApplyMode(s, 0);
        TLVertex v[6];
        Quad(v, -0.5f, -0.5f, n - 0.5f, n - 0.5f, z, color);
        backend->DrawTextured(s, Primitive::TriangleList, v, 6, tex);
    }

    std::vector<uint8_t> Read(int x, int y, int w, int h) {
        std::vector<uint8_t> px;
        EXPECT_TRUE(backend->ReadPixels(x, y, w, h, px));
        return px;
    }

    std::unique_ptr<RenderBackend> backend;
};

bool Near(const uint8_t* got, const Px& want, int tol, std::string* why) {
    int w[4] = {Byte(want.r), Byte(want.g), Byte(want.b), Byte(want.a)};
    for (int i = 0; i < 4; ++i) {
        if (std::abs(int(got[i]) - w[i]) > tol) {
            char buf[128];
            std::snprintf(buf, sizeof buf, "got %02x%02x%02x%02x want %02x%02x%02x%02x", got[0], got[1], got[2],
                          got[3], w[0], w[1], w[2], w[3]);
            *why = buf;
            return false;
        }
    }
    return true;
}

}  // namespace

TEST_F(GlBackendTest, EveryBlendModeMatchesTheReferenceFormula) {
    constexpr int N = 8;
    Lcg rng{12345};
    std::vector<uint8_t> bg(N * N * 4), fg(N * N * 4);
    for (auto& b : bg) b = rng.Next();
    for (auto& b : fg) b = rng.Next();
    // Make sure the edge values of the alpha test are present.
    fg[3] = 0, fg[7] = 255, fg[11] = 1, fg[15] = 254;
    fg[16] = fg[17] = fg[18] = 255, fg[19] = 255;  // opaque white: greyscale gives alpha 1 there
    TextureId bgTex = backend->CreateTexture(N, N, bg.data());
    TextureId fgTex = backend->CreateTexture(N, N, fg.data());
    TextureId target = backend->CreateRenderTarget(N);
    ASSERT_NE(bgTex, 0u);
    ASSERT_NE(fgTex, 0u);
    ASSERT_NE(target, 0u);
    ASSERT_TRUE(backend->SetRenderTarget(target));

    const uint32_t diffuse = 0xC080FF40u;
    const uint32_t greyscale = ARGB(0.4, 0.35, 0.25, 1.0);
    struct Case {
        std::vector<int> modes;  // applied in turn; the last one is drawn
        float globalAlpha;
    };
    const std::vector<Case> cases = {
        {{0}, 0}, {{1}, 0}, {{2}, 0.3f}, {{2}, 0}, {{3}, 0}, {{4}, 0}, {{5}, 0}, {{6}, 0}, {{10}, 0},
        {{11}, 0}, {{12}, 0}, {{13}, 0}, {{14}, 0}, {{20}, 0}, {{21}, 0}, {{30}, 0}, {{31}, 0},
        {{127}, 0}, {{128}, 0},
        // An unknown mode keeps the blend of the mode before it.
        {{10, 7}, 0}, {{13, 7}, 0},
        // Modes that only switch blending off leave op and factors for later.
        {{3, 0, 7}, 0}, {{30, 128, 99}, 0},
    };
    for (const Case& c : cases) {
        DrawState st;
        for (int m : c.modes) ApplyMode(st, m, greyscale);
        if (c.globalAlpha > 0) st.TextureFactor = uint32_t(Byte(1.0 - c.globalAlpha)) << 24;
        int mode = c.modes.back();
        int refMode = (mode == 7 || mode == 99) ? 7 : mode;

        backend->Clear(true, 0, true);
        Cover(bgTex, N);
        TLVertex v[6];
        Quad(v, -0.5f, -0.5f, N - 0.5f, N - 0.5f, 0.5f, diffuse);
        backend->DrawTextured(st, Primitive::TriangleList, v, 6, fgTex);
        std::vector<uint8_t> px = Read(0, 0, N, N);
        int bad = 0;
        for (int i = 0; i < N * N && bad < 3; ++i) {
            Px want = Expected(refMode, st, FromRGBA(&fg[i * 4]), FromARGB(diffuse), FromRGBA(&bg[i * 4]));
            std::string why;
            if (!Near(&px[i * 4], want, 1, &why)) {
                ++bad;
                ADD_FAILURE() << "mode " << mode << " (after " << c.modes.front() << ") pixel " << i << ": " << why;
            }
        }
    }
}

TEST_F(GlBackendTest, DrawsThatDifferOnlyInTextureFactorBlendInOrder) {
    // Three overlapping half-transparent quads of one texture, each with its
    // own factor alpha, blend one after the other exactly as separate draws.
    const uint8_t white[4] = {255, 255, 255, 255};
    TextureId tex = backend->CreateTexture(1, 1, white);
    TextureId target = backend->CreateRenderTarget(4);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0xFF000000u, true);
    DrawState st;
    ApplyMode(st, 2);
    const uint32_t colors[3] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    const double alphas[3] = {0.5, 0.25, 0.75};
    Px want{0, 0, 0, 1};
    for (int i = 0; i < 3; ++i) {
        st.TextureFactor = uint32_t(Byte(alphas[i])) << 24;
        TLVertex v[6];
        Quad(v, -0.5f, -0.5f, 3.5f, 3.5f, 0.5f, colors[i]);
        backend->DrawTextured(st, Primitive::TriangleList, v, 6, tex);
        Px S = FromARGB(colors[i]);
        double a = Q(alphas[i]);
        want = {Q(S.r * a + want.r * (1 - a)), Q(S.g * a + want.g * (1 - a)), Q(S.b * a + want.b * (1 - a)),
                Q(a * a + want.a * (1 - a))};
    }
    std::string why;
    EXPECT_TRUE(Near(Read(1, 1, 1, 1).data(), want, 1, &why)) << why;
}

TEST_F(GlBackendTest, UntexturedDrawingTakesVertexColourAndAlpha) {
    TextureId target = backend->CreateRenderTarget(4);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0xFF204060u, true);
    DrawState st;
    ApplyMode(st, 2);  // alpha blend by source alpha; stage alpha would be texture x factor
    const uint32_t color = 0x80FF8000u;
    ColorVertex v[4] = {{-0.5f, -0.5f, 0, 1, color}, {3.5f, -0.5f, 0, 1, color}, {-0.5f, 3.5f, 0, 1, color},
                        {3.5f, 3.5f, 0, 1, color}};
    backend->DrawColored(st, Primitive::TriangleStrip, v, 4);
    std::vector<uint8_t> px = Read(1, 1, 1, 1);
    Px S = FromARGB(color), D = FromARGB(0xFF204060u);
    double a = S.a;
    Px want{S.r * a + D.r * (1 - a), S.g * a + D.g * (1 - a), S.b * a + D.b * (1 - a), a * a + D.a * (1 - a)};
    std::string why;
    EXPECT_TRUE(Near(px.data(), want, 1, &why)) << why;

    // The same through the textured path with no texture.
    backend->Clear(true, 0xFF204060u, true);
    TLVertex q[6];
    Quad(q, -0.5f, -0.5f, 3.5f, 3.5f, 0, color);
    backend->DrawTextured(st, Primitive::TriangleList, q, 6, 0);
    px = Read(2, 2, 1, 1);
    EXPECT_TRUE(Near(px.data(), want, 1, &why)) << why;
}

TEST_F(GlBackendTest, DepthTestPassesNearerOrEqual) {
    TextureId target = backend->CreateRenderTarget(4);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0xFF000000u, true);
    DrawState st;
    ApplyMode(st, 0);
    auto draw = [&](float z, uint32_t color) {
        ColorVertex v[4] = {{-0.5f, -0.5f, z, 1, color}, {3.5f, -0.5f, z, 1, color}, {-0.5f, 3.5f, z, 1, color},
                            {3.5f, 3.5f, z, 1, color}};
        backend->DrawColored(st, Primitive::TriangleStrip, v, 4);
        return Read(1, 1, 1, 1);
    };
    EXPECT_EQ(draw(0.5f, 0xFFFF0000u), (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(draw(0.7f, 0xFF00FF00u), (std::vector<uint8_t>{255, 0, 0, 255})) << "farther is hidden";
    EXPECT_EQ(draw(0.5f, 0xFF0000FFu), (std::vector<uint8_t>{0, 0, 255, 255})) << "equal depth passes";
    EXPECT_EQ(draw(0.2f, 0xFFFFFFFFu), (std::vector<uint8_t>{255, 255, 255, 255}));
    // Depth writes can be switched off, and the test with them.
    st.ZWriteEnable = false;
    draw(0.1f, 0xFF00FF00u);
    EXPECT_EQ(draw(0.15f, 0xFFFF0000u), (std::vector<uint8_t>{255, 0, 0, 255}));
    st.ZEnable = false;
    EXPECT_EQ(draw(0.9f, 0xFF0000FFu), (std::vector<uint8_t>{0, 0, 255, 255}));
}

TEST_F(GlBackendTest, RenderTargetKeepsItsContentsAcrossFramesAndDrawsAsTexture) {
    TextureId target = backend->CreateRenderTarget(16);
    ASSERT_NE(target, 0u);
    int32_t w = 0, h = 0;
    EXPECT_TRUE(backend->TextureSize(target, w, h));
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);

    // Frame 1: into the target, top half red, bottom half blue.
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0xFF0000FFu, true);
    DrawState st;
    ApplyMode(st, 0);
    ColorVertex v[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFF0000u}, {15.5f, -0.5f, 0, 1, 0xFFFF0000u},
                        {-0.5f, 7.5f, 0, 1, 0xFFFF0000u}, {15.5f, 7.5f, 0, 1, 0xFFFF0000u}};
    backend->DrawColored(st, Primitive::TriangleStrip, v, 4);
    ASSERT_TRUE(backend->SetRenderTarget(0));
    backend->Clear(true, 0xFF000000u, true);
    backend->Present(64, 48);

    // Frame 2: the target is selected again and only its depth is cleared.
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(false, 0, true);
    EXPECT_EQ(Read(3, 2, 1, 1), (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(Read(3, 12, 1, 1), (std::vector<uint8_t>{0, 0, 255, 255}));

    // Drawn as a texture onto the back buffer, the top row stays on top.
    ASSERT_TRUE(backend->SetRenderTarget(0));
    int32_t tw = 0, th = 0;
    backend->CurrentTargetSize(tw, th);
    EXPECT_EQ(tw, 64);
    EXPECT_EQ(th, 48);
    Cover(target, 16);
    EXPECT_EQ(Read(5, 1, 1, 1), (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(Read(5, 14, 1, 1), (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_EQ(Read(20, 20, 1, 1), (std::vector<uint8_t>{0, 0, 0, 255})) << "outside the quad";
}

TEST_F(GlBackendTest, TextureRowsAndCornersKeepTheirPlaces) {
    // 2 x 2: red, green / blue, white; drawn over 4 x 4 pixels.
    const uint8_t px[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    TextureId tex = backend->CreateTexture(2, 2, px);
    TextureId target = backend->CreateRenderTarget(4);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0xFF000000u, true);
    Cover(tex, 4);
    std::vector<uint8_t> got = Read(0, 0, 4, 4);
    auto at = [&](int x, int y) { return std::vector<uint8_t>(&got[(y * 4 + x) * 4], &got[(y * 4 + x) * 4 + 4]); };
    EXPECT_EQ(at(0, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(at(3, 0), (std::vector<uint8_t>{0, 255, 0, 255}));
    EXPECT_EQ(at(0, 3), (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_EQ(at(3, 3), (std::vector<uint8_t>{255, 255, 255, 255}));

    // A region update replaces just that texel.
    const uint8_t black[4] = {0, 0, 0, 255};
    EXPECT_TRUE(backend->UpdateTexture(tex, 1, 1, 1, 1, black));
    EXPECT_FALSE(backend->UpdateTexture(tex, 1, 1, 2, 1, black));
    Cover(tex, 4);
    got = Read(0, 0, 4, 4);
    EXPECT_EQ(at(3, 3), (std::vector<uint8_t>{0, 0, 0, 255}));
    EXPECT_EQ(at(0, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
}

TEST_F(GlBackendTest, FilterSelectsPointOrLinearSampling) {
    const uint8_t px[8] = {0, 0, 0, 255, 255, 255, 255, 255};
    TextureId tex = backend->CreateTexture(2, 1, px);
    TextureId target = backend->CreateRenderTarget(16);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    DrawState st;
    ApplyMode(st, 0);
    TLVertex v[6];
    Quad(v, -0.5f, -0.5f, 15.5f, 0.5f, 0, 0xFFFFFFFFu);
    auto row = [&](int32_t filter) {
        st.Filter = filter;
        backend->DrawTextured(st, Primitive::TriangleList, v, 6, tex);
        return Read(0, 0, 16, 1);
    };
    std::vector<uint8_t> point = row(TexFilter::Point);
    EXPECT_EQ(point[6 * 4], 0);
    EXPECT_EQ(point[9 * 4], 255);
    std::vector<uint8_t> linear = row(TexFilter::Linear);
    EXPECT_GT(linear[6 * 4], 0);
    EXPECT_LT(linear[9 * 4], 255);
    EXPECT_EQ(row(TexFilter::None)[6 * 4], 0) << "no filter samples like point";
}

TEST_F(GlBackendTest, LinesAndPointsHitTheirPixels) {
    TextureId target = backend->CreateRenderTarget(8);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0xFF000000u, true);
    DrawState st;
    ApplyMode(st, 0);
    ColorVertex line[2] = {{0, 2, 0, 1, 0xFFFF0000u}, {7, 2, 0, 1, 0xFFFF0000u}};
    backend->DrawColored(st, Primitive::LineList, line, 2);
    ColorVertex point[1] = {{5, 6, 0, 1, 0xFF00FF00u}};
    backend->DrawColored(st, Primitive::PointList, point, 1);
    std::vector<uint8_t> px = Read(0, 0, 8, 8);
    auto red = [&](int x, int y) { return px[(y * 8 + x) * 4]; };
    auto green = [&](int x, int y) { return px[(y * 8 + x) * 4 + 1]; };
    for (int x = 1; x <= 5; ++x) EXPECT_EQ(red(x, 2), 255) << x;
    EXPECT_EQ(red(3, 1), 0);
    EXPECT_EQ(red(3, 3), 0);
    EXPECT_EQ(green(5, 6), 255);
    EXPECT_EQ(green(4, 6), 0);
    EXPECT_EQ(green(5, 5), 0);
}

TEST_F(GlBackendTest, ClearOfDepthAloneKeepsThePixels) {
    TextureId target = backend->CreateRenderTarget(4);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0x80112233u, true);
    EXPECT_EQ(Read(0, 0, 1, 1), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x80}));
    backend->Clear(false, 0xFFFFFFFFu, true);
    EXPECT_EQ(Read(3, 3, 1, 1), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x80}));
}

TEST_F(GlBackendTest, RefusesBadSizesIdsAndRectangles) {
    EXPECT_EQ(backend->CreateRenderTarget(kMaxTargetSide + 1), 0u);
    EXPECT_EQ(backend->CreateRenderTarget(0), 0u);
    EXPECT_EQ(backend->CreateTexture(0, 4, nullptr), 0u);
    EXPECT_EQ(backend->CreateTexture(kMaxTextureSide + 1, 1, nullptr), 0u);
    TextureId tex = backend->CreateTexture(4, 4, nullptr);
    ASSERT_NE(tex, 0u);
    EXPECT_FALSE(backend->SetRenderTarget(tex)) << "a plain texture is no target";
    EXPECT_FALSE(backend->SetRenderTarget(999));
    EXPECT_EQ(backend->CurrentTarget(), 0u);
    std::vector<uint8_t> px;
    EXPECT_FALSE(backend->ReadPixels(60, 0, 5, 1, px));
    EXPECT_FALSE(backend->ReadPixels(-1, 0, 1, 1, px));
    EXPECT_TRUE(backend->ReadPixels(63, 47, 1, 1, px));

    // A deleted render target that is selected gives the back buffer back.
    TextureId target = backend->CreateRenderTarget(8);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->DeleteTexture(target);
    EXPECT_EQ(backend->CurrentTarget(), 0u);
    int32_t w, h;
    EXPECT_FALSE(backend->TextureSize(target, w, h));
    backend->DeleteTexture(target);  // twice is harmless

    // Drawing with a deleted texture draws untextured; partial primitives are dropped.
    backend->DeleteTexture(tex);
    backend->Clear(true, 0xFF000000u, true);
    DrawState st;
    ApplyMode(st, 0);
    TLVertex v[7];
    Quad(v, -0.5f, -0.5f, 3.5f, 3.5f, 0, 0xFF00FF00u);
    v[6] = v[0];
    backend->DrawTextured(st, Primitive::TriangleList, v, 7, tex);
    EXPECT_EQ(Read(1, 1, 1, 1), (std::vector<uint8_t>{0, 255, 0, 255}));
    backend->DrawTextured(st, Primitive::TriangleList, nullptr, 6, 0);
    backend->DrawTextured(st, Primitive::TriangleList, v, -5, 0);
}

TEST_F(GlBackendTest, ManyDrawsShareTheVertexStream) {
    // More vertex data than the initial stream holds, in many small and one
    // large draw, must all land.
    TextureId target = backend->CreateRenderTarget(32);
    ASSERT_TRUE(backend->SetRenderTarget(target));
    backend->Clear(true, 0xFF000000u, true);
    DrawState st;
    ApplyMode(st, 10);  // additive: every draw counts
    ColorVertex tri[3] = {{-0.5f, -0.5f, 0, 1, 0xFF010101u}, {40, -0.5f, 0, 1, 0xFF010101u},
                          {-0.5f, 40, 0, 1, 0xFF010101u}};
    // 6 MB of degenerate triangles ending in one real one.
    std::vector<ColorVertex> big(300000, ColorVertex{0, 0, 0, 1, 0xFF010101u});
    std::copy(tri, tri + 3, big.end() - 3);
    for (int i = 0; i < 20; ++i) backend->DrawColored(st, Primitive::TriangleList, tri, 3);
    backend->DrawColored(st, Primitive::TriangleList, big.data(), int32_t(big.size()));
    for (int i = 0; i < 9; ++i) backend->DrawColored(st, Primitive::TriangleList, tri, 3);
    EXPECT_EQ(Read(2, 2, 1, 1)[0], 30);
}

TEST_F(GlBackendTest, TwoBackendsLiveSideBySide) {
    std::string error;
    auto other = CreateGlBackend(GlBackendConfig{nullptr, 8, 8}, &error);
    ASSERT_TRUE(other) << error;
    other->Clear(true, 0xFF00FF00u, true);
    backend->Clear(true, 0xFFFF0000u, true);
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(other->ReadPixels(0, 0, 1, 1, b));
    ASSERT_TRUE(backend->ReadPixels(0, 0, 1, 1, a));
    EXPECT_EQ(a, (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(b, (std::vector<uint8_t>{0, 255, 0, 255}));
    other.reset();
    backend->Clear(true, 0xFF0000FFu, true);
    ASSERT_TRUE(backend->ReadPixels(0, 0, 1, 1, a));
    EXPECT_EQ(a, (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_EQ(backend->Status(), DeviceStatus::Ok);
}
