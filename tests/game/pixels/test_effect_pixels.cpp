// Light, shadow and weather on the real OpenGL frame (offscreen): each effect
// on and then off in the same scene, compared where it must show.
#include <gtest/gtest.h>

#include <memory>
#include <string>

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
