// Reflections in water on the real OpenGL frame (offscreen): what the mirrors
// pass puts in the water reaches the screen below the feet of items and
// characters, and nowhere else; the wave moves it; and the reflection drawn in
// parts around the water leaves exactly what the plain wave strips leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "PixelTestSupport.h"
#include "core/zCore.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gCharTest.h"
#include "game/world/mClock.h"
#include "platform/Image.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zPictureLayer.h"
#include "support/TestSupport.h"

namespace tarv::test {
namespace {

using namespace zun;

class MirrorPixels : public PixelTest {
protected:
    void SetUp() override {
        PixelTest::SetUp();
        if (HasFatalFailure()) return;
        auto& g = gCharTest;
        // Water in two pools away from the view's edges, in a picture of
        // every colour so that any texel out of place shows.
        g.mapWater = Pool(40, 30, 6, 5, 11, 8);
        g.mapWater->SetTile(15, 11, 1, 0);
        g.picWater = std::make_shared<zPictureLayer>();
        std::vector<uint8_t> rgba(64 * 64 * 4);
        for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 37 % 251);
        for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = uint8_t(128 + i % 128);
        g.picWater->Texture = Texture(64, 64, rgba);
        g.picWater->Meta = std::make_shared<zValues>();
        g.picWater->Meta->SetLong("_StretchMode", 1);  // over the whole view
    }
    // One frame: the mirrors pass, then a ground of two depths and alphas,
    // the reflection over it, and a red probe just behind the reflection's
    // depth that shows wherever the reflection did not reach. The whole view
    // comes back, alpha included.
    std::vector<uint8_t> Layered(bool plain, float zoom) {
        RenderMirrors();
        // Any scene begun in the target since makes the mirrors' record stale.
        if (plain) zDDraw.Textures[size_t(gCharTest.MirrorTarget)].Scenes += 1;
        zDDraw.RenderZoom = zoom;
        EXPECT_TRUE(zDDraw.BeginScene(zDDraw.GetGrayColor(0.0f), 0));
        const zDDrawModule::DrawArea kept = zDDraw.Limit;
        zDDraw.SetAlphaMode(0);
        zDDraw.RenderZ = 0.95f;
        zDDraw.BltSurface(0, 0, 640, 480, int32_t(0x80406080u));
        zDDraw.RenderZ = 0.5f;
        zDDraw.BltSurface(400, 0, 240, 480, int32_t(0xFF204020u));
        zDDraw.RenderZ = 0.9f;
        zDDraw.SetAlphaMode(11);
        int32_t waveSize = 1;
        DrawMirrors(zDDraw.GetColorRGB(1, 1, 1), waveSize, 3.0f, true);
        const zDDrawModule::DrawArea after = zDDraw.Limit;
        EXPECT_TRUE(after.X == kept.X && after.Y == kept.Y && after.W == kept.W && after.H == kept.H);
        zDDraw.SetAlphaMode(0);
        zDDraw.RenderZ = 0.92f;
        zDDraw.BltSurface(0, 0, 640, 480, int32_t(0xFFFF0000u));
        zDDraw.EndScene(false);
        std::vector<uint8_t> px;
        EXPECT_TRUE(zDDraw.Device->ReadPixels(0, 0, 640, 480, px));
        zDDraw.RenderZoom = 1.0f;
        return px;
    }
};

TEST_F(MirrorPixels, TheReflectionInPartsLeavesExactlyWhatThePlainStripsLeave) {
    auto& cam = *frmMain.Camera;
    for (const auto& [x, y, zoom] :
         {std::tuple{13.3f, 7.7f, 1.0f}, std::tuple{101.0f, 64.5f, 1.0f}, std::tuple{57.8f, 20.2f, 2.0f}}) {
        cam.x = x;
        cam.y = y;
        const std::vector<uint8_t> parts = Layered(false, zoom), plain = Layered(true, zoom);
        ASSERT_EQ(parts.size(), size_t(640 * 480 * 4));
        size_t differ = 0, red = 0, reflected = 0;
        for (size_t i = 0; i < parts.size(); i += 4) {
            if (!std::equal(parts.begin() + long(i), parts.begin() + long(i) + 4, plain.begin() + long(i)))
                differ += 1;
            if (plain[i] == 255 && plain[i + 1] == 0 && plain[i + 2] == 0)
                red += 1;
            else if (plain[i] != 0x40 && plain[i] != 0x20 && plain[i] != 0)
                reflected += 1;
        }
        EXPECT_EQ(differ, 0u) << "camera " << x << ", " << y << " at zoom " << zoom;
        // The frame tells the cases apart: the probe shows where the strips'
        // ends swing short of the view's edges, and the pools reflect.
        EXPECT_GT(red, 0u);
        EXPECT_LT(red, size_t(640 * 480 / 4));
        EXPECT_GT(reflected, 1000u);
    }
}

// A pool of water (cells 4..11 x 5..10: pixels 128..384 x 160..352) in a
// ground of grey, the water picture in deep blue over the whole view, and the
// reflections taken in the still water (no wave) unless a test asks for one.
class Reflections : public PixelTest {
protected:
    void SetUp() override {
        PixelTest::SetUp();
        if (HasFatalFailure()) return;
        auto& g = gCharTest;
        g.mapWater = Pool(19, 14, 4, 5, 11, 10);
        g.picWater = std::make_shared<zPictureLayer>();
        g.picWater->Texture = Texture(64, 64, [](int, int) { return Rgb{20, 40, 80}; });
        g.picWater->Meta = std::make_shared<zValues>();
        g.picWater->Meta->SetLong("_StretchMode", 4);
        Set("WaveFactor", 0);
    }

    // The band below a foot where a 32-pixel figure's reflection, squashed to
    // three quarters, hangs: 24 rows, inset from its edges.
    static Rgb Below(const Frame& f, float x, float y) {
        return f.Mean(int(x) - 8, int(y) + 4, int(x) + 8, int(y) + 19);
    }
};

TEST_F(Reflections, ItemsCharactersAndTheCursorAreSeenInTheWaterBelowThemWhateverTheWaterLayersDepths) {
    auto& g = gCharTest;
    // In the pool: a mirrored item, an unmirrored one; on dry ground: a mirrored one.
    auto item = Thing(white, 180, 220), plain = Thing(white, 350, 300), dry = Thing(white, 520, 220);
    item->Mirrored = dry->Mirrored = true;
    g.mapItems = Layer({item, plain, dry});
    // Two characters in the pool, the second tinted red.
    auto hero = Figure(290, 220), red = Figure(220, 300);
    hero->Item->Mirrored = red->Item->Mirrored = true;
    red->Item->Colored = true;
    red->Item->Values->SetLong("_color", int32_t(0xFFFF0000u));
    g.Chars = {hero, red};
    // The cursor over the pool: reflected whole, not squashed.
    g.Cursor = Thing(white, 240, 170)->Sprite;

    // The water picture at the default depth and at the demo's, the mask at
    // the default and behind the reflections.
    g.mapWater->Meta = std::make_shared<zValues>();
    for (const auto& [z, mask] : {std::pair{0.0f, 0.0f}, std::pair{0.1f, 0.9f}}) {
        SCOPED_TRACE("water picture at depth " + std::to_string(z) + ", mask at " + std::to_string(mask));
        g.picWater->Meta->SetSingle("_z", z);
        g.mapWater->Meta->SetSingle("_z", mask);
        SetByte("MirrorObjects", 1);
        const Frame on = Draw();
        SetByte("MirrorObjects", 0);
        const Frame off = Draw();
        SetByte("Mirrors", 0);
        const Frame none = Draw();
        SetByte("Mirrors", 1);

        // The still water shows its picture at half brightness over the ground.
        const Rgb water = off.Mean(140, 170, 160, 190);
        EXPECT_GT(water.B, water.R + 10) << "no water picture in the pool";
        for (const auto& [who, x, y] :
             {std::tuple{"the item", 180.0f, 220.0f}, std::tuple{"the hero", 290.0f, 220.0f}}) {
            const Rgb a = Below(on, x, y), b = Below(off, x, y);
            EXPECT_GE(a.Sum() - b.Sum(), 150)
                << who << "'s reflection: " << a.Sum() << " against " << b.Sum();
            // Three quarters of the figure's 32 rows, and no more.
            const Rgb end = on.Mean(int(x) - 8, int(y) + 26, int(x) + 8, int(y) + 32);
            const Rgb endOff = off.Mean(int(x) - 8, int(y) + 26, int(x) + 8, int(y) + 32);
            EXPECT_LE(std::abs(end.Sum() - endOff.Sum()), 6) << who << "'s reflection is longer than 24 rows";
        }
        const Rgb tip = on.Mean(232, 170 + 26, 248, 170 + 31), tipOff = off.Mean(232, 170 + 26, 248, 170 + 31);
        EXPECT_GE(tip.Sum() - tipOff.Sum(), 150) << "the cursor's reflection is squashed";
        // Tinted by its colour: red rises, green and blue stay.
        const Rgb r = Below(on, 220, 300), r0 = Below(off, 220, 300);
        EXPECT_GE(r.R - r0.R, 60);
        EXPECT_LE(std::abs(r.G - r0.G) + std::abs(r.B - r0.B), 12);
        // Nothing below the unmirrored item, nothing on dry ground.
        EXPECT_EQ(on.Differ(off, 342, 304, 358, 319), 0u) << "the unmirrored item has a reflection";
        EXPECT_EQ(on.Differ(none, 500, 200, 540, 260), 0u) << "a reflection on dry ground";
    }
}

// A picture loaded with a key colour, as painted by many tools: the key
// colour also lies under the texels that are transparent already. The
// reflections are drawn filtered, between texels; none may show the key.
TEST_F(Reflections, NoReflectionShowsAPicturesKeyColour) {
    auto& g = gCharTest;
    const zun::test::TempDir dir;
    std::vector<uint8_t> rgba(32 * 32 * 4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = &rgba[size_t(y * 32 + x) * 4];
            const bool figure = (x - 16) * (x - 16) + (y - 16) * (y - 16) < 100 || (x >= 14 && x < 18);
            const uint8_t alpha = figure ? 255 : (x + y) % 7 == 0 ? 255 : 0;
            p[0] = figure ? 250 : 255, p[1] = figure ? 240 : 0, p[2] = figure ? 230 : 255, p[3] = alpha;
        }
    ASSERT_TRUE(SaveImage(dir.HostPath("Keyed.png"), int32_t(ImageFileFormat::Png), rgba.data(), 32, 32));
    zDDraw.TexturePath = dir.Path();
    const int32_t keyed = zDDraw.LoadTexture("Keyed.png", false, int32_t(0xFFFF00FFu), 1, 0);
    ASSERT_GT(keyed, 0);

    auto item = Thing(keyed, 180, 220, 32, 32);
    item->Mirrored = true;
    g.mapItems = Layer({item});
    auto hero = Figure(290, 220);
    hero->Sprite->Texture = keyed;
    hero->Sprite->W = hero->Sprite->H = 32;
    hero->Item->Mirrored = true;
    g.Chars = {hero};
    g.Cursor = Thing(keyed, 240, 170, 32, 32)->Sprite;

    SetByte("MirrorObjects", 1);
    const Frame on = Draw();
    SetByte("MirrorObjects", 0);
    const Frame off = Draw();
    EXPECT_GT(on.Differ(off, 128, 160, 384, 352), 600u) << "no reflections to look at";
    size_t key = 0;
    for (int y = 160; y < 352; ++y)
        for (int x = 128; x < 384; ++x) {
            const Rgb c = on.At(x, y);
            if (c.R - c.G > 24 && c.B - c.G > 24) key += 1;
        }
    EXPECT_EQ(key, 0u) << "pixels of the key colour in the water";
}

TEST_F(Reflections, TheWaveShiftsRowsSidewaysOnlyWhenItsFactorIsAboveZero) {
    auto& g = gCharTest;
    auto item = Thing(white, 200, 220);
    item->Mirrored = true;
    g.mapItems = Layer({item});
    // The reflection's left edge in each of its rows: the first column from
    // the water's side that is nearer the reflection's brightness.
    const auto edges = [](const Frame& f) {
        const int water = f.Mean(150, 230, 170, 240).Sum(), bright = f.Mean(196, 228, 204, 236).Sum();
        std::vector<int> out;
        for (int y = 226; y < 238; ++y) {
            int x = 170;
            while (x < 230 && f.At(x, y).Sum() < (water + bright) / 2) ++x;
            out.push_back(x);
        }
        return out;
    };
    Set("WaveFactor", 0);
    const Frame still = Draw();
    Set("WaveFactor", -10);
    const Frame negative = Draw();
    Set("WaveFactor", 30);
    const Frame wave = Draw();

    EXPECT_EQ(negative.Differ(still), 0u) << "a negative factor moves the water";
    const std::vector<int> e0 = edges(still), e1 = edges(wave);
    for (int x : e0) EXPECT_EQ(x, e0[0]) << "still water with a ragged edge";
    EXPECT_GT(e0[0], 180);
    EXPECT_LT(e0[0], 196);
    int moved = 0;
    for (size_t i = 0; i < e1.size(); ++i) {
        // The factor of 3 pixels moves a row at most that far, and a little for the texels.
        EXPECT_LE(std::abs(e1[i] - e0[i]), 5) << "row " << 226 + i;
        if (e1[i] != e1[0]) moved += 1;
    }
    EXPECT_GT(moved, 0) << "the wave moved no row";
}

}  // namespace
}  // namespace tarv::test
