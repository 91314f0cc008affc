// The set-up of the real-frame tests: the OpenGL device offscreen at 640 x
// 480, a fresh game with the default settings, the pass targets as the game
// makes them, a grey ground over the whole view, a fixed time of day, and
// readers of the frame's pixels. A test builds its scene, draws whole frames
// through RenderGamePre and RenderGame, and compares regions of them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "devices/zFont.h"
#include "game/effects/gEffects.h"
#include "game/effects/gParticleSystem.h"
#include "game/effects/gWeather.h"
#include "game/effects/pRain.h"
#include "game/effects/pSnow.h"
#include "game/shell/frmMain.h"
#include "game/shell/gRender.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/mClock.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"

namespace tarv::test {

using namespace zun;

struct Rgb {
    int R = 0, G = 0, B = 0;
    int Sum() const { return R + G + B; }
};

// One frame read back: R, G, B, A bytes, rows top to bottom.
struct Frame {
    std::vector<uint8_t> Px;
    Rgb At(int x, int y) const {
        const size_t i = (size_t(y) * 640 + size_t(x)) * 4;
        return {Px[i], Px[i + 1], Px[i + 2]};
    }
    // The mean colour of the pixels [x0, x1) x [y0, y1).
    Rgb Mean(int x0, int y0, int x1, int y1) const {
        long r = 0, g = 0, b = 0, n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const Rgb c = At(x, y);
                r += c.R, g += c.G, b += c.B, n += 1;
            }
        return n ? Rgb{int(r / n), int(g / n), int(b / n)} : Rgb{};
    }
    // The number of pixels of [x0, x1) x [y0, y1) that differ from another frame's by more than 2.
    size_t Differ(const Frame& o, int x0 = 0, int y0 = 0, int x1 = 640, int y1 = 480) const {
        size_t n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const Rgb a = At(x, y), b = o.At(x, y);
                if (std::abs(a.R - b.R) > 2 || std::abs(a.G - b.G) > 2 || std::abs(a.B - b.B) > 2) n += 1;
            }
        return n;
    }
};

class PixelTest : public ::testing::Test {
protected:
    void SetUp() override {
        zDDraw = zDDrawModule{};
        zFont = zFontModule{};
        zCore.Initialized = true;
        zCore.FrameCounter = 0;
        zDDraw.AdapterInfo.DesktopMode = {640, 480, 60, 22};
        ASSERT_TRUE(zDDraw.Device_Initialize());
        ASSERT_TRUE(zDDraw.Device_InitWindowed(nullptr, 640, 480, 1.0f, 0, false))
            << "no OpenGL device: " << zCore.LogText;
        gCharTest = gCharTestModule{};
        frmMain = frmMainForm{};
        gEffects = EffectsState{};
        gWeather = gWeatherModule{};
        SeedRandom(20261209u);
        // The wave moves with the time of day: every frame sees the same moment.
        mClock.Source = [] { return 43200.5; };
        auto cam = std::make_shared<zCamera>();
        cam->W = cam->ScreenW = 640;
        cam->H = cam->ScreenH = 480;
        frmMain.Camera = cam;
        frmMain.AmbientColor = -1;  // white: the light of day changes nothing
        auto& g = gCharTest;
        g.SetDefaultSettings();
        // The targets the game makes at start-up, at the default quality.
        g.MirrorTarget = zDDraw.CreateRenderTarget(512);
        g.LightTarget = zDDraw.CreateRenderTarget(512);
        g.ShadowTarget = zDDraw.CreateRenderTarget(512);
        ASSERT_TRUE(g.MirrorTarget > 0 && g.LightTarget > 0 && g.ShadowTarget > 0);
        g.Particles = std::make_shared<gParticleSystem>();
        g.Particles->AddManager(std::make_shared<pRain>());
        g.Particles->AddManager(std::make_shared<pSnow>());
        g.LightParticles = std::make_shared<gParticleSystem>();
        gEffects.Particles = g.Particles;
        gWeather.Camera = cam;
        // A grey ground of 32-pixel cells over the whole view.
        const int32_t groundTex = Texture(64, 64, [](int, int) { return Rgb{96, 96, 96}; });
        auto set = std::make_shared<zTileSet>();
        set->SetTileSize(32);
        set->Texture = groundTex;
        g.solidGround = std::make_shared<zTileMap>();
        g.solidGround->SetTileSize(32);
        g.solidGround->SetSize(19, 14);
        g.solidGround->AddTileSet(set);
        // Behind everything drawn over it, as the demo's ground lies.
        g.solidGround->Meta = std::make_shared<zValues>();
        g.solidGround->Meta->SetSingle("_z", 0.95f);
        g.solidGround->Meta->SetSingle("_z2", 0.95f);
        for (int32_t y = 0; y <= 14; ++y)
            for (int32_t x = 0; x <= 19; ++x) g.solidGround->SetTile(x, y, 1, 1, 0);
        white = Texture(32, 32, [](int, int) { return Rgb{255, 255, 255}; });
    }
    void TearDown() override {
        mClock.Source = nullptr;
        gCharTest = gCharTestModule{};
        frmMain = frmMainForm{};
        gEffects = EffectsState{};
        gWeather = gWeatherModule{};
        zDDraw.Device_Release();
        zDDraw = zDDrawModule{};
        zCore.FrameCounter = 0;
        zCore.Initialized = false;
    }

    int32_t white = 0;  // an opaque white texture, 32 x 32

    // A texture of opaque pixels painted by a function of the pixel; alpha 0 where it gives a negative red.
    static int32_t Texture(int32_t w, int32_t h, const std::function<Rgb(int, int)>& paint) {
        std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb c = paint(x, y);
                uint8_t* p = &rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
                p[0] = uint8_t(std::max(c.R, 0)), p[1] = uint8_t(c.G), p[2] = uint8_t(c.B);
                p[3] = c.R < 0 ? 0 : 255;
            }
        return Texture(w, h, rgba);
    }

    // A texture straight from pixels (R, G, B, A bytes), entered in the table.
    static int32_t Texture(int32_t w, int32_t h, const std::vector<uint8_t>& rgba) {
        TextureEntry e;
        e.W = w;
        e.H = h;
        e.Loaded = true;
        e.Texture = zDDraw.Device->CreateTexture(w, h, rgba.data());
        zDDraw.Textures.push_back(e);
        zDDraw.TextureCount += 1;
        return zDDraw.TextureCount;
    }

    // A water map of w x h cells of 32 pixels, with the cells x0..x1 x y0..y1 wet.
    static std::shared_ptr<zCollisionMap> Pool(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        auto water = std::make_shared<zCollisionMap>();
        water->SetTileSize(32);
        water->SetSize(w, h);
        for (int32_t y = y0; y <= y1; ++y)
            for (int32_t x = x0; x <= x1; ++x) water->SetTile(x, y, 1, 0);
        return water;
    }

    // A visible item whose sprite is the whole of a texture, its foot (the
    // origin) at the middle of its bottom edge, at (x, y).
    static std::shared_ptr<zItem> Thing(int32_t tex, float x, float y, int32_t w = 24, int32_t h = 32) {
        auto i = std::make_shared<zItem>();
        i->Visible = true;
        i->Values = std::make_shared<zValues>();
        zSprite& s = *i->Sprite;
        s.Texture = tex;
        s.W = w;
        s.H = h;
        s.OriginX = float(w) / 2;
        s.OriginY = float(h);
        s.SetPosition(x, y);
        return i;
    }
    // An item layer of 128-pixel cells over the view, at the depths of the demo's layers.
    static std::shared_ptr<zItemMap> Layer(const std::vector<std::shared_ptr<zItem>>& items) {
        auto m = std::make_shared<zItemMap>();
        m->SetSize(128, 5, 4);
        m->Meta = std::make_shared<zValues>();
        m->Meta->SetSingle("_z", 0.8f);
        m->Meta->SetSingle("_z2", 0.5f);
        for (const auto& i : items) m->AddItem(i, false);
        return m;
    }
    // A character standing with its foot at (x, y), drawn as a white figure.
    std::shared_ptr<gChar> Figure(float x, float y) const {
        auto c = std::make_shared<gChar>();
        auto item = Thing(white, x, y);
        c->Item = item;
        c->Sprite = item->Sprite;
        return c;
    }

    void Set(const std::string& key, int32_t v) { gCharTest.Settings->SetLong(key, v); }
    void SetByte(const std::string& key, uint8_t v) { gCharTest.Settings->SetByte(key, v); }

    // One whole frame as the game draws it, read back from the back buffer.
    static Frame Draw() {
        RenderGamePre();
        RenderGame();
        Frame f;
        EXPECT_TRUE(zDDraw.Device->ReadPixels(0, 0, 640, 480, f.Px));
        EXPECT_EQ(f.Px.size(), size_t(640 * 480 * 4));
        if (f.Px.size() != size_t(640 * 480 * 4)) f.Px.assign(size_t(640 * 480 * 4), 0);
        return f;
    }
};

}  // namespace tarv::test
