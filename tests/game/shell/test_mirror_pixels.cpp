// The reflection laid over the ground on the OpenGL backend (offscreen): drawn
// in parts around the water the mirrors pass drew on, it must leave every
// pixel, alpha and depth value exactly as the plain wave strips over the
// whole view leave them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "core/zCore.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gCharTest.h"
#include "game/world/mClock.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zPictureLayer.h"

namespace tarv::test {
namespace {

using namespace zun;

class MirrorPixels : public ::testing::Test {
protected:
    void SetUp() override {
        zDDraw = zDDrawModule{};
        zFont = zFontModule{};
        zCore.Initialized = true;
        zDDraw.AdapterInfo.DesktopMode = {640, 480, 60, 22};
        ASSERT_TRUE(zDDraw.Device_Initialize());
        ASSERT_TRUE(zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false))
            << "no OpenGL device: " << zCore.LogText;
        gCharTest = gCharTestModule{};
        frmMain = frmMainForm{};
        // The wave moves with the time of day: both ways of drawing see the same moment.
        mClock.Source = [] { return 43200.5; };
        frmMain.Camera = std::make_shared<zCamera>();
        frmMain.Camera->W = 640;
        frmMain.Camera->H = 480;
        auto& g = gCharTest;
        g.MirrorTarget = zDDraw.CreateRenderTarget(512);
        ASSERT_GT(g.MirrorTarget, 0);
        // Water in two pools away from the view's edges, in a picture of
        // every colour so that any texel out of place shows.
        g.mapWater = std::make_shared<zCollisionMap>();
        g.mapWater->SetTileSize(32);
        g.mapWater->SetSize(40, 30);
        for (int32_t y = 5; y <= 8; ++y)
            for (int32_t x = 6; x <= 11; ++x) g.mapWater->SetTile(x, y, 1, 0);
        g.mapWater->SetTile(15, 11, 1, 0);
        g.picWater = std::make_shared<zPictureLayer>();
        std::vector<uint8_t> rgba(64 * 64 * 4);
        for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 37 % 251);
        for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = uint8_t(128 + i % 128);
        TextureEntry e;
        e.W = e.H = 64;
        e.Loaded = true;
        e.Texture = zDDraw.Device->CreateTexture(64, 64, rgba.data());
        zDDraw.Textures.push_back(e);
        zDDraw.TextureCount += 1;
        g.picWater->Texture = zDDraw.TextureCount;
        g.picWater->Meta = std::make_shared<zValues>();
        g.picWater->Meta->SetLong("_StretchMode", 1);  // over the whole view
    }
    void TearDown() override {
        mClock.Source = nullptr;
        gCharTest = gCharTestModule{};
        frmMain = frmMainForm{};
        zDDraw.Device_Release();
        zDDraw = zDDrawModule{};
        zCore.Initialized = false;
    }

    // One frame: the mirrors pass, then a ground of two depths and alphas,
    // the reflection over it, and a red probe just behind the reflection's
    // depth that shows wherever the reflection did not reach. The whole view
    // comes back, alpha included.
    std::vector<uint8_t> Frame(bool plain, float zoom) {
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
        const std::vector<uint8_t> parts = Frame(false, zoom), plain = Frame(true, zoom);
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

}  // namespace
}  // namespace tarv::test
