// Light, shadow and weather on the real OpenGL frame (offscreen): each effect
// on and then off in the same scene, compared where it must show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>

#include "PixelTestSupport.h"

namespace tarv::test {
namespace {

class EffectPixels : public PixelTest {
protected:
    // A disc of white, radius r, in an opaque black square of side 2r + 8.
    static int32_t Disc(int r) {
        const int side = 2 * r + 8, c = side / 2;
        return Texture(side, side, [=](int x, int y) {
            const int dx = x - c, dy = y - c;
            return dx * dx + dy * dy <= r * r ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
        });
    }
    // A lamp of the light layer centred on (x, y), lighting a disc of radius r.
    static std::shared_ptr<zItem> Lamp(float x, float y, int r) {
        const int side = 2 * r + 8;
        auto l = Thing(Disc(r), x, y, side, side);
        l->Sprite->OriginY = float(side) / 2;
        return l;
    }
};

TEST_F(EffectPixels, ALampLightsItsSurroundingsAtNightAndACasterDarkensTheGroundBehindIt) {
    auto& g = gCharTest;
    frmMain.AmbientColor = zDDraw.GetColorRGB(0.1f, 0.1f, 0.1f);
    auto lamp = Lamp(400, 300, 120);
    lamp->Shadow = true;
    g.mapLights = Layer({lamp});
    // A tall post 70 pixels right of the lamp: its shadow falls further right.
    gEffects.ShadowTexture = Texture(64, 64, [](int, int) { return Rgb{0, 0, 0}; });
    auto post = Thing(white, 470, 300, 24, 64);
    post->Shadow = true;
    g.mapItems = Layer({post});

    const Frame lit = Draw();
    lamp->Visible = false;
    const Frame dark = Draw();
    lamp->Visible = true;
    post->Shadow = false;
    const Frame unshadowed = Draw();

    // The lamp lights the ground around it (left of it, away from the post), and nothing far away.
    const Rgb near = lit.Mean(340, 280, 380, 320), night = dark.Mean(340, 280, 380, 320);
    EXPECT_GE(near.Sum() - night.Sum(), 120) << near.Sum() << " against " << night.Sum();
    EXPECT_EQ(lit.Differ(dark, 20, 20, 200, 120), 0u) << "the lamp lights the far corner";
    // Behind the post, seen from the lamp, the ground is darker than without its shadow;
    // in front of it nothing changes.
    const Rgb behind = lit.Mean(492, 294, 512, 306), bare = unshadowed.Mean(492, 294, 512, 306);
    EXPECT_GE(bare.Sum() - behind.Sum(), 30) << behind.Sum() << " against " << bare.Sum();
    EXPECT_EQ(lit.Differ(unshadowed, 410, 290, 440, 310), 0u) << "a shadow between the lamp and the post";
}

// Where a change shows: the mean position of the pixels that differ by more
// than a threshold between two frames, and how many they are.
struct Spot {
    double X = 0, Y = 0;
    size_t N = 0;
};
Spot Changed(const Frame& a, const Frame& b, int threshold = 24) {
    Spot s;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (std::abs(a.At(x, y).Sum() - b.At(x, y).Sum()) > threshold) s.X += x, s.Y += y, s.N += 1;
    if (s.N) s.X /= double(s.N), s.Y /= double(s.N);
    return s;
}

// At every zoom the keys and the game allow, each off-screen map is laid where
// the scene is: the lamp's light, the contact shadow and the reflection (still
// and rippling) gather round the one figure they belong to, found in the frame
// itself. The figure is put at another place of the screen at each zoom.
TEST_F(EffectPixels, EveryMapOfTheOffScreenPassesLiesUnderTheSceneAtEveryZoom) {
    auto& g = gCharTest;
    gEffects.ShadowTexture = Texture(64, 64, [](int, int) { return Rgb{0, 0, 0}; });
    g.mapWater = Pool(19, 14, 8, 6, 13, 10);
    g.picWater = std::make_shared<zPictureLayer>();
    g.picWater->Texture = Texture(64, 64, [](int, int) { return Rgb{20, 40, 80}; });
    g.picWater->Meta = std::make_shared<zValues>();
    g.picWater->Meta->SetLong("_StretchMode", 4);
    // A white figure standing in the pool with a lamp over its foot.
    constexpr float kFootX = 330, kFootY = 250;
    auto figure = Figure(kFootX, kFootY);
    figure->Item->Mirrored = figure->Item->Shadow = true;
    g.Chars = {figure};
    auto lamp = Lamp(kFootX, kFootY, 40);
    g.mapLights = Layer({lamp});
    Set("WaveFactor", 0);
    for (const auto& [zoom, atX, atY] : {std::tuple{1.0f, 200.0f, 150.0f}, std::tuple{2.0f, 420.0f, 300.0f},
                                         std::tuple{3.8f, 330.0f, 220.0f}}) {
        SCOPED_TRACE("zoom " + std::to_string(zoom));
        float z = zoom;
        frmMain.SetRenderZoom(z);
        ASSERT_EQ(zDDraw.RenderZoom, zoom);
        auto& cam = *frmMain.Camera;
        cam.x = kFootX - atX / zoom + 0.3f;
        cam.y = kFootY - atY / zoom + 0.6f;
        // A texel of the 512-texel maps over the 640 pixels of the screen, at this zoom.
        const double texel = 1.25 * zoom, near = 2 + 2 * texel;

        // The figure by day, no map but the still water's: its foot is the bottom middle of its white.
        SetByte("Lighting", 0), SetByte("Shadows", 0), SetByte("MirrorObjects", 0);
        frmMain.AmbientColor = -1;
        const Frame plain = Draw();
        int left = 640, right = -1, bottom = -1;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (plain.At(x, y).Sum() >= 760)
                    left = std::min(left, x), right = std::max(right, x), bottom = y;
        ASSERT_GT(right, left) << "no figure in view";
        const double footX = (left + right + 1) / 2.0, footY = bottom + 1;
        EXPECT_NEAR(footX, atX, near);
        EXPECT_NEAR(footY, atY, near);

        // Its reflection hangs from its foot, three quarters of its 32 rows long, and the
        // wave moves it sideways by no more than the wave's 3 pixels.
        SetByte("MirrorObjects", 1);
        const Spot still = Changed(Draw(), plain);
        EXPECT_GT(still.N, size_t(24 * 24 * zoom * zoom / 2)) << "no reflection";
        EXPECT_NEAR(still.X, footX, near);
        EXPECT_NEAR(still.Y, footY + 12 * zoom, near);
        Set("WaveFactor", 30);
        const Frame rippled = Draw();
        SetByte("MirrorObjects", 0);
        const Spot rippling = Changed(rippled, Draw());
        Set("WaveFactor", 0);
        EXPECT_NEAR(rippling.X, footX, near + 3 * zoom);
        EXPECT_NEAR(rippling.Y, footY + 12 * zoom, near);

        // Its contact shadow lies on the ground round its foot, below its body.
        SetByte("Shadows", 1);
        SetByte("BaseShadows", 0);
        const Frame unshaded = Draw();
        SetByte("BaseShadows", 1);
        const Spot shadow = Changed(Draw(), unshaded, 12);
        EXPECT_GT(shadow.N, size_t(12 * 4 * zoom * zoom)) << "no contact shadow";
        EXPECT_NEAR(shadow.X, footX, near);
        EXPECT_NEAR(shadow.Y, footY + 3 * zoom, near);
        SetByte("Shadows", 0);

        // At night the lamp lights a disc round the foot.
        SetByte("Lighting", 1);
        frmMain.AmbientColor = zDDraw.GetColorRGB(0.1f, 0.1f, 0.1f);
        lamp->Visible = false;
        const Frame dark = Draw();
        lamp->Visible = true;
        const Spot light = Changed(Draw(), dark);
        EXPECT_GT(light.N, size_t(3 * 40 * 40 * zoom * zoom / 2)) << "the lamp lights too little";
        EXPECT_NEAR(light.X, footX, near);
        EXPECT_NEAR(light.Y, footY, near);
    }
}

TEST_F(EffectPixels, RainAndSnowFallOverTheViewOnlyWhileTheirDensityIsAboveZero) {
    // A streak and a flake in the middle of the particle cell, the rest clear.
    const auto cell = [](int x0, int x1, int y0, int y1) {
        return Texture(256, 256, [=](int x, int y) {
            return x >= x0 && x < x1 && y >= y0 && y < y1 ? Rgb{255, 255, 255} : Rgb{-1, 0, 0};
        });
    };
    gWeather.RainTexture = cell(120, 136, 64, 256);
    gWeather.SnowTexture = cell(96, 160, 96, 160);
    const Frame clear = Draw();
    for (const bool rain : {true, false}) {
        SCOPED_TRACE(rain ? "rain" : "snow");
        const auto fall = [&](float density) {
            gCharTest.Particles->Reset();
            SeedRandom(7);
            (rain ? gWeather.RainDensity : gWeather.SnowDensity) = density;
            for (int i = 0; i < 30; ++i) {
                zCore.FrameCounter += 1;
                gWeather.UpdateWeather(0.5f);
                gCharTest.Particles->UpdateParticles();
            }
            (rain ? gWeather.RainDensity : gWeather.SnowDensity) = 0;
            return Draw();
        };
        const Frame falling = fall(1.0f), dry = fall(0.0f);
        EXPECT_GT(falling.Differ(dry), 2000u);
        EXPECT_EQ(dry.Differ(clear), 0u);
    }
}

TEST_F(EffectPixels, ALightningFlashBrightensTheWholeViewWhileItLasts) {
    const Frame before = Draw();
    gWeather.Flash(10, 1.0f);
    zCore.FrameCounter = 12;
    const Frame flash = Draw();
    zCore.FrameCounter = 30;
    const Frame after = Draw();
    for (const auto& [x, y] : {std::pair{40, 40}, std::pair{320, 240}, std::pair{600, 440}}) {
        EXPECT_GE(
            flash.Mean(x - 8, y - 8, x + 8, y + 8).Sum() - before.Mean(x - 8, y - 8, x + 8, y + 8).Sum(), 300)
            << "at " << x << ", " << y;
    }
    EXPECT_EQ(after.Differ(before), 0u) << "the flash outlasts its curve";
}

}  // namespace
}  // namespace tarv::test
