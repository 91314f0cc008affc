// The device drawing real pixels on the OpenGL backend (offscreen): each blend
// mode over a known background against a CPU reference of its formula, the
// colour key, render targets that keep their contents, and screenshots.
#include <algorithm>
#include <cmath>
#include <optional>

#include "DeviceTestSupport.h"
#include "core/zFileSystem.h"
#include "platform/Image.h"

namespace zun::test {
namespace {

struct Rgb {
    int r, g, b;
};

// Screenshots go to the program folder: the test's folder for as long as
// this lives.
struct ProgramFolderHere {
    explicit ProgramFolderHere(const TempDir& dir) {
        SetApplicationFolder(dir.Host());
        FileSystem_Initialize();
    }
    ~ProgramFolderHere() {
        SetApplicationFolder("");
        FileSystem_Initialize();
    }
};

class Pixels : public ::testing::Test {
protected:
    static constexpr int32_t kSide = 64;
    TempDir dir;

    void SetUp() override {
        zDDraw = zDDrawModule{};
        zFont = zFontModule{};
        zCore.Initialized = true;
        zDDraw.AdapterInfo.DesktopMode = {kSide, kSide, 60, 22};
        ASSERT_TRUE(zDDraw.Device_Initialize());
        ASSERT_TRUE(zDDraw.Device_InitWindowed(nullptr, kSide, kSide, 1.0f, 0, false))
            << "no OpenGL device: " << zCore.LogText;
        zDDraw.TexturePath = dir.Path();
    }
    void TearDown() override {
        zDDraw.Device_Release();
        zDDraw = zDDrawModule{};
        zCore.Initialized = false;
    }

    // A texture straight from pixels (R, G, B, A bytes), entered in the table.
    int32_t Texture(int32_t w, int32_t h, const std::vector<uint8_t>& rgba) {
        TextureEntry e;
        e.W = w;
        e.H = h;
        e.Loaded = true;
        e.Texture = zDDraw.Device->CreateTexture(w, h, rgba.data());
        zDDraw.Textures.push_back(e);
        zDDraw.TextureCount += 1;
        return zDDraw.TextureCount;
    }

    Rgb At(int32_t x, int32_t y) {
        std::vector<uint8_t> px;
        EXPECT_TRUE(zDDraw.Device->ReadPixels(x, y, 1, 1, px));
        if (px.size() < 4) return {-1, -1, -1};
        return {px[0], px[1], px[2]};
    }
};

void ExpectNear(const Rgb& got, const Rgb& want, const std::string& what) {
    EXPECT_NEAR(got.r, want.r, 1) << what;
    EXPECT_NEAR(got.g, want.g, 1) << what;
    EXPECT_NEAR(got.b, want.b, 1) << what;
}

// ---- the CPU reference: each mode's formula on values 0..1 ----------------

struct Px {
    double r, g, b, a;
};
Px Unit(uint32_t argb) {
    return {((argb >> 16) & 255) / 255.0, ((argb >> 8) & 255) / 255.0, (argb & 255) / 255.0, (argb >> 24) / 255.0};
}
int Byte(double v) { return int(std::floor(std::clamp(v, 0.0, 1.0) * 255 + 0.5)); }

// The pixel a texel T drawn with vertex colour V over D gives in a mode, or
// nothing when the alpha test keeps D. ga is the transparency of mode 2.
std::optional<Rgb> Reference(int mode, Px T, Px V, Px D, double ga, Px grey) {
    Px S{T.r * V.r, T.g * V.g, T.b * V.b, T.a};
    if (mode == 2) S.a = T.a * (Byte(1 - ga) / 255.0);
    if (mode == 6) S.a = T.a * V.a;
    if (mode == 127) S = Px{V.r, V.g, V.b, T.a};
    if (mode == 128) {
        double d = 4 * ((T.r - 0.5) * (grey.r - 0.5) + (T.g - 0.5) * (grey.g - 0.5) + (T.b - 0.5) * (grey.b - 0.5));
        d = std::clamp(d, 0.0, 1.0);
        if (!(Byte(d) < 255)) return std::nullopt;
        return Rgb{Byte(1 - d), Byte(1 - d), Byte(1 - d)};
    }
    if (mode != 0 && !(Byte(S.a) > 0)) return std::nullopt;
    auto per = [&](double s, double dst) {
        const double a = S.a;
        switch (mode) {
            case 0: case 1: case 127: return s;
            case 2: case 6: return s * a + dst * (1 - a);
            case 3: return s * s + dst * (1 - s);
            case 4: return s * (1 - s) + dst * s;
            case 5: return s * dst + dst * (1 - dst);
            case 7: case 10: return s + dst;
            case 11: return s + dst * (1 - s);
            case 12: return s * s + dst;
            case 13: return dst - s * dst;
            case 14: return dst * s;
            case 20: return dst - s;
            case 21: return s - dst;
            case 30: return std::min(s, dst);
            case 31: return std::max(s, dst);
        }
        return -1.0;
    };
    return Rgb{Byte(per(S.r, D.r)), Byte(per(S.g, D.g)), Byte(per(S.b, D.b))};
}

TEST_F(Pixels, EveryBlendModeMatchesItsFormula) {
    const uint32_t background = 0xFF3C78B4u;  // (60, 120, 180)
    const uint32_t vertex = 0xC8FF80FFu;      // (255, 128, 255), alpha 200
    // Two texels: a partly transparent one and a fully transparent one.
    const std::vector<uint8_t> texels = {200, 100, 50, 160, 90, 200, 30, 0};
    int32_t tex = Texture(2, 1, texels);
    const Px grey = Unit(uint32_t(zDDraw.GreyscaleColor));
    const Px V = Unit(vertex), D = Unit(background);
    const Px T0{200 / 255.0, 100 / 255.0, 50 / 255.0, 160 / 255.0}, T1{90 / 255.0, 200 / 255.0, 30 / 255.0, 0};

    for (int mode : {0, 1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 20, 21, 30, 31, 127, 128, 7}) {
        ASSERT_TRUE(zDDraw.BeginScene(int32_t(background), 0));
        if (mode == 7) zDDraw.SetAlphaMode(10);  // 7 keeps the factors 10 left
        zDDraw.SetAlphaMode(mode);
        float ga = 0.3f;
        if (mode == 2) zDDraw.SetAlphaValue(ga, 100);
        zDDraw.Blt(tex, 8, 8, 32, 16, 0, 0, 0, 0, int32_t(vertex), 1);
        zDDraw.EndScene(false);
        const std::string what = "mode " + std::to_string(mode);
        auto left = Reference(mode, T0, V, D, 0.3, grey), right = Reference(mode, T1, V, D, 0.3, grey);
        const Rgb bg{60, 120, 180};
        ExpectNear(At(16, 16), left.value_or(bg), what + " opaque texel");
        ExpectNear(At(32, 16), right.value_or(bg), what + " transparent texel");
        ExpectNear(At(4, 4), bg, what + " outside");
    }
}

TEST_F(Pixels, UntexturedDrawingTakesTheVertexColourAndAlpha) {
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFF000000u), 0));
    zDDraw.SetAlphaMode(2);
    float half = 0.5f;
    zDDraw.SetAlphaValue(half, 100);  // untextured: the transparency goes on the vertex alpha
    zDDraw.BltSurface(0, 0, 32, 32, int32_t(0xFFC86400u));
    zDDraw.EndScene(false);
    ExpectNear(At(10, 10), Rgb{Byte(200 / 255.0 * 0.498), Byte(100 / 255.0 * 0.498), 0}, "surface");
}

TEST_F(Pixels, TheColourKeyMakesExactlyItsColourTransparent) {
    // Magenta is the key; a pixel one step off it stays. Under transparent
    // texels (the last row) the key colour is cleared and any other colour
    // stays: a mode that ignores alpha draws the picture as it was stored.
    WritePng(dir.HostPath("Keyed.png"), 2, 3,
             {255, 0, 255, 255, 255, 0, 254, 255,  //
              10, 20, 30, 255, 255, 0, 255, 255,   //
              10, 200, 30, 0, 255, 0, 255, 0});
    int32_t t = zDDraw.LoadTexture("Keyed.png", false, int32_t(0xFFFF00FFu), 1, 0);
    ASSERT_GT(t, 0);
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFF204060u), 0));
    zDDraw.SetAlphaMode(1);
    zDDraw.Blt(t, 0, 0, 32, 32, 0, 0, 2, 2, zDDraw.DiffuseColor, 1);
    zDDraw.SetAlphaMode(0);
    zDDraw.Blt(t, 0, 40, 64, 16, 0, 2, 2, 1, zDDraw.DiffuseColor, 1);
    zDDraw.EndScene(false);
    ExpectNear(At(8, 8), Rgb{32, 64, 96}, "keyed");
    ExpectNear(At(24, 8), Rgb{255, 0, 254}, "near the key");
    ExpectNear(At(8, 24), Rgb{10, 20, 30}, "plain");
    ExpectNear(At(24, 24), Rgb{32, 64, 96}, "keyed");
    ExpectNear(At(16, 48), Rgb{10, 200, 30}, "another colour under alpha 0");
    ExpectNear(At(48, 48), Rgb{0, 0, 0}, "the key under alpha 0");
}

TEST_F(Pixels, RenderTargetsKeepTheirContentsAcrossFrames) {
    int32_t rt = zDDraw.CreateRenderTarget(32);
    ASSERT_GT(rt, 0);
    // Frame 1: fill the target red, then a green corner.
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFFFF0000u), rt));
    zDDraw.EndTextureScene();
    zDDraw.UpdateFrameRate();
    // Frame 2: colour 0 keeps what is there; draw only the corner.
    ASSERT_TRUE(zDDraw.BeginScene(0, rt));
    zDDraw.SetAlphaMode(0);
    zDDraw.BltSurface(0, 0, 16, 16, int32_t(0xFF00FF00u));  // a quarter of the screen
    zDDraw.EndScene(false);
    // Frame 3: show the target on the back buffer.
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFF000000u), 0));
    zDDraw.SetAlphaMode(0);
    zDDraw.Blt(rt, 0, 0, 64, 64, 0, 0, 0, 0, zDDraw.DiffuseColor, 1);
    zDDraw.EndScene(false);
    ExpectNear(At(4, 4), Rgb{0, 255, 0}, "corner drawn in frame 2");
    ExpectNear(At(40, 40), Rgb{255, 0, 0}, "cleared in frame 1");
}

TEST_F(Pixels, BatchesMeetInDepthOrderAcrossTextures) {
    int32_t red = Texture(1, 1, {255, 0, 0, 255}), blue = Texture(1, 1, {0, 0, 255, 255});
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFF000000u), 0));
    zDDraw.SetAlphaMode(1);
    zDDraw.RenderZ = 0.2f;
    zDDraw.Blt(red, 0, 0, 32, 32, 0, 0, 0, 0, zDDraw.DiffuseColor, 1);  // drawn first, but nearer
    zDDraw.RenderZ = 0.6f;
    zDDraw.Blt(blue, 16, 16, 32, 32, 0, 0, 0, 0, zDDraw.DiffuseColor, 1);
    zDDraw.RenderZ = 0.2f;
    zDDraw.Blt(red, 40, 40, 8, 8, 0, 0, 0, 0, zDDraw.DiffuseColor, 1);  // same depth, later: on top
    zDDraw.EndScene(false);
    ExpectNear(At(20, 20), Rgb{255, 0, 0}, "overlap");
    ExpectNear(At(40, 20), Rgb{0, 0, 255}, "blue alone");
    ExpectNear(At(44, 44), Rgb{255, 0, 0}, "equal depth passes");
}

TEST_F(Pixels, ScreenshotIsABottomUpBitmapOfTheArea) {
    ProgramFolderHere here(dir);
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFF0A141Eu), 0));  // (10, 20, 30)
    zDDraw.SetAlphaMode(0);
    zDDraw.BltSurface(0, 0, 2, 1, int32_t(0xFFFF8000u));  // top-left two pixels
    zDDraw.EndScene(false);
    RECT area{0, 0, 3, 0};
    LogCapture log;
    ASSERT_TRUE(zDDraw.SaveScreenShot(zFileSystem.AppPath + "shot.bmp", area, 0));
    EXPECT_EQ(area.Bottom, kSide);
    EXPECT_TRUE(log.Contains("INF\tScreenshot saved"));
    auto bmp = ReadHostFile(dir.HostPath("shot.bmp"));
    const size_t row = 12;  // 3 pixels of 3 bytes, padded to 4
    ASSERT_EQ(bmp.size(), 54 + row * kSide);
    auto le32 = [&](size_t at) { return uint32_t(bmp[at]) | bmp[at + 1] << 8 | bmp[at + 2] << 16 | uint32_t(bmp[at + 3]) << 24; };
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(le32(2), bmp.size());
    EXPECT_EQ(le32(10), 54u);
    EXPECT_EQ(le32(18), 3u);
    EXPECT_EQ(le32(22), uint32_t(kSide));
    EXPECT_EQ(bmp[28], 24);
    // The top row is stored last, blue first.
    const size_t top = 54 + row * (kSide - 1);
    EXPECT_EQ(bmp[top + 0], 0);
    EXPECT_EQ(bmp[top + 1], 128);
    EXPECT_EQ(bmp[top + 2], 255);
    EXPECT_EQ(bmp[top + 6], 30);  // the third pixel is background
    EXPECT_EQ(bmp[top + 8], 10);
    EXPECT_EQ(bmp[54 + 0], 30);  // bottom-left
}

TEST_F(Pixels, EveryScreenshotFormatLoadsBackAsAnOpaqueTexture) {
    ProgramFolderHere here(dir);
    ASSERT_TRUE(zDDraw.BeginScene(int32_t(0xFF0A141Eu), 0));
    zDDraw.SetAlphaMode(0);
    zDDraw.BltSurface(0, 0, 8, 8, int32_t(0xFFFF8000u));
    // Half transparent: the back buffer's alpha drops where it lands.
    zDDraw.SetAlphaMode(1);
    zDDraw.BltSurface(8, 0, 8, 8, int32_t(0x80FFFFFFu));
    zDDraw.EndScene(false);
    std::vector<uint8_t> back;
    ASSERT_TRUE(zDDraw.Device->ReadPixels(10, 2, 1, 1, back));
    ASSERT_LT(back[3], 255);
    const std::pair<int32_t, const char*> formats[] = {
        {0, "shot.bmp"}, {1, "shot.jpg"}, {2, "shot.tga"}, {3, "shot.png"}, {6, "shot.dib"}};
    for (const auto& [code, name] : formats) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(zDDraw.SaveScreenShot(zFileSystem.AppPath + name, RECT{0, 0, 16, 12}, code));
        Image img;
        std::string error;
        ASSERT_TRUE(LoadImageFile(dir.HostPath(name), img, &error)) << error;
        EXPECT_EQ(img.Width, 16);
        EXPECT_EQ(img.Height, 12);
        const int tolerance = code == 1 ? 24 : 1;  // JPEG is lossy
        for (const auto& [x, y, want] : {std::tuple{2, 2, 0xFFFF8000u}, std::tuple{12, 10, 0xFF0A141Eu}})
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int(img.ARGB(x, y) >> shift & 0xFF), int(want >> shift & 0xFF), tolerance);
        // The picture on screen has no holes, whatever the frame left in alpha.
        int holes = 0;
        for (size_t i = 3; i < img.Pixels.size(); i += 4) holes += img.Pixels[i] != 255;
        EXPECT_EQ(holes, 0);
        const int32_t t = zDDraw.LoadTexture(name, false, 0, 1, 0);
        ASSERT_GT(t, 0);
        EXPECT_EQ(zDDraw.Textures[size_t(t)].W, 16);
        EXPECT_EQ(zDDraw.Textures[size_t(t)].H, 12);
        // Known by its header as a screenshot of this program: taken again,
        // of another size too, it is replaced.
        EXPECT_TRUE(zDDraw.SaveScreenShot(zFileSystem.AppPath + name, RECT{0, 0, 5, 3}, code));
        ASSERT_TRUE(LoadImageFile(dir.HostPath(name), img, &error)) << error;
        EXPECT_EQ(img.Width, 5);
    }
}

}  // namespace
}  // namespace zun::test
