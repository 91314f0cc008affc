// The off-screen passes on the recording backend: what the light, shadow and
// mirror passes draw into their targets, at which zoom and depth, and the
// reflections laid back over the ground.
#include "RenderTestSupport.h"
#include "game/effects/gWeather.h"
#include "scene/zCollisionMap.h"

namespace tarv::test {
namespace {

class PassTest : public RenderTest {
protected:
    std::shared_ptr<gChar> other;

    void SetUp() override {
        RenderTest::SetUp();
        gWeather = gWeatherModule{};
        other = Char(200, 150);
        other->Sprite->Texture = AddTexture(24, 32);
        gCharTest.Chars = {gCharTest.Player, other};
    }
    void TearDown() override {
        gWeather = gWeatherModule{};
        RenderTest::TearDown();
    }
    std::vector<RecordedDraw> Run(void (*pass)()) {
        rec->ClearLog();
        pass();
        zDDraw.EndScene(false);
        return rec->Draws;
    }
    // Quads drawn with the shadow texture into the shadow map.
    int Shadows() { return QuadCount(Run(RenderShadows), gEffects.ShadowTexture, gCharTest.ShadowTarget); }
};

TEST_F(PassTest, TheLightMapIsDrawnAtZoomOneAndShadowedOnlyWhenShadowsAreOn) {
    zDDraw.RenderZoom = 2.0f;
    Set("Shadows", 1);
    auto d = Run(RenderLights);
    // Only the player's two glows (the target's 256 texels span the 640-pixel screen).
    std::vector<const RecordedDraw*> glows;
    for (const auto& r : d)
        if (r.Textured && r.Texture == Id(gCharTest.LightTexture)) glows.push_back(&r);
    ASSERT_EQ(glows.size(), 2u);
    EXPECT_EQ(glows[0]->Target, Id(gCharTest.LightTarget));
    auto span = [](const RecordedDraw& r) {
        float lo = 1e9f, hi = -1e9f;
        for (const auto& p : r.Vertices) lo = std::min(lo, p.X), hi = std::max(hi, p.X);
        return std::make_pair(lo, hi - lo);
    };
    EXPECT_NEAR(span(*glows[0]).first, (100 - 25) * 0.4f, 0.01f);
    EXPECT_NEAR(span(*glows[0]).second, 50 * 0.4f, 0.01f);
    EXPECT_NEAR(span(*glows[1]).second, 120 * 0.4f, 0.01f);
    EXPECT_EQ(QuadCount(d, gCharTest.ShadowTarget, gCharTest.LightTarget), 1);
    EXPECT_EQ(uint32_t(d.back().Vertices[0].Color), 0xFF336699u);  // the ambient colour last
    EXPECT_EQ(zDDraw.RenderZoom, 2.0f);

    Set("Shadows", 0);
    gCharTest.TorchEnabled = true;
    d = Run(RenderLights);
    EXPECT_EQ(QuadCount(d, gCharTest.LightTexture, gCharTest.LightTarget), 4);
    EXPECT_EQ(QuadCount(d, gCharTest.ShadowTarget, gCharTest.LightTarget), 0);
}

TEST_F(PassTest, ShadowsFallOnlyFromFlaggedCharactersAndEveryoneIsCutOut) {
    gCharTest.Player->Item->Shadow = true;
    // With every shadow switch off only the white cut-outs are drawn.
    auto d = Run(RenderShadows);
    EXPECT_EQ(QuadCount(d, gEffects.ShadowTexture, gCharTest.ShadowTarget), 0);
    for (const auto& c : gCharTest.Chars) {
        const int at = First(d, c->Sprite->Texture, gCharTest.ShadowTarget);
        ASSERT_GE(at, 0);
        EXPECT_TRUE(Blend(d[size_t(at)], 127));
    }

    // Base shadows: the flagged player only, deeper the lower it stands in the view.
    Set("BaseShadows", 1);
    auto depth = [&] {
        for (const auto& r : Run(RenderShadows))
            if (r.Texture == Id(gEffects.ShadowTexture)) return double(r.Vertices[0].Z) / 0.999999;
        return -1.0;
    };
    gCharTest.Player->Sprite->SetPosition(100, 0);
    EXPECT_NEAR(depth(), 0.8, 1e-4);
    gCharTest.Player->Sprite->SetPosition(100, 480);
    EXPECT_NEAR(depth(), 0.5, 1e-4);
    EXPECT_EQ(Shadows(), 1);
    Set("BaseShadows", 0);

    // Sun shadows need the player light switch, the sun switch, an outdoor level and a visible sun.
    gWeather.Sun = {0.5f, 40.0f, 0.3f};
    gCharTest.LevelObject = zScriptObject::New();
    gCharTest.LevelObject->SetClass("Game");
    gCharTest.LevelObject->Locals->SetNameValue("type", HostValue(std::string("outdoor")));
    Set("AmbientShadows", 1);
    EXPECT_EQ(Shadows(), 0);
    Set("CursorShadows", 1);
    EXPECT_EQ(Shadows(), 1);
    gCharTest.LevelObject->Locals->SetNameValue("type", HostValue(std::string("Outdoor")));
    EXPECT_EQ(Shadows(), 0);
    gCharTest.LevelObject.reset();
    EXPECT_EQ(Shadows(), 0);
}

TEST_F(PassTest, ReflectionsOfMirroredObjectsAndTheCameraComesBack) {
    gCharTest.mapWater = std::make_shared<zCollisionMap>();
    gCharTest.mapWater->SetTileSize(32);
    gCharTest.mapWater->SetSize(4, 4);
    frmMain.Camera->x = 13.3f;
    frmMain.Camera->y = 7.7f;
    gCharTest.Player->Item->Mirrored = gCharTest.Player->Item->Colored = true;
    gCharTest.Player->Item->Values->SetLong("_color", int32_t(0xFFFF0000u));
    auto deco = Char(60, 60);
    deco->Sprite->Texture = AddTexture(16, 16);
    deco->Item->Mirrored = true;
    gCharTest.Deco = {deco};
    Set("MirrorObjects", 1);
    gCharTest.Settings->SetByte("EnableDeco", 2);  // any value but 0

    auto d = Run(RenderMirrors);
    const int32_t t = gCharTest.MirrorTarget;
    ASSERT_EQ(QuadCount(d, gCharTest.Player->Sprite->Texture, t), 1);
    EXPECT_EQ(uint32_t(d[size_t(First(d, gCharTest.Player->Sprite->Texture, t))].Vertices[0].Color), 0xFFFF0000u);
    EXPECT_EQ(QuadCount(d, other->Sprite->Texture, t), 0);
    EXPECT_EQ(QuadCount(d, deco->Sprite->Texture, t), 1);
    EXPECT_EQ(QuadCount(d, gCharTest.Cursor->Texture, t), 1);
    EXPECT_EQ(frmMain.Camera->x, 13.3f);
    EXPECT_EQ(frmMain.Camera->y, 7.7f);

    gCharTest.Settings->SetByte("EnableDeco", 0);
    EXPECT_EQ(QuadCount(Run(RenderMirrors), deco->Sprite->Texture, t), 0);
}

TEST_F(PassTest, TheReflectionIsLaidOnWholeOrInWaveStrips) {
    const int32_t t = gCharTest.MirrorTarget, red = int32_t(0xFFFF0000u);
    auto draw = [&](int32_t size, float factor, bool connected) {
        rec->ClearLog();
        DrawMirrors(red, size, factor, connected);
        zDDraw.EndScene(false);
        std::vector<TLVertex> v;
        for (const auto& r : rec->Draws)
            if (r.Texture == Id(t)) v.insert(v.end(), r.Vertices.begin(), r.Vertices.end());
        return std::make_pair(size, v);
    };
    // No wave: the whole target once, in white whatever the colour; a strip height of 0 is written back as 1.
    auto [size, v] = draw(0, 0, true);
    EXPECT_EQ(size, 1);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].Color, 0xFFFFFFFFu);

    // 480 / 40 = 12 strips; connected, strip 0 draws nothing and each strip starts where the last ended.
    std::tie(size, v) = draw(40, 3.0f, true);
    ASSERT_EQ(v.size(), 11u * 6u);
    EXPECT_EQ(v[0].Color, uint32_t(red));
    for (size_t s = 1; s < 11; ++s) {
        EXPECT_FLOAT_EQ(v[s * 6].X, v[(s - 1) * 6 + 5].X);      // top left = previous bottom left
        EXPECT_FLOAT_EQ(v[s * 6 + 1].X, v[(s - 1) * 6 + 2].X);  // top right = previous bottom right
    }
    std::tie(size, v) = draw(40, 3.0f, false);
    EXPECT_EQ(v.size(), 12u * 6u);
}

}  // namespace
}  // namespace tarv::test
