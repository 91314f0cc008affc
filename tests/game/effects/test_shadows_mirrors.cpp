// Shadow and mirror geometry: the point-light shadow's strength by distance
// and its quad, the sun shadow and its collision test, the contact shadow,
// the silhouette, the reflections, and the walks over an item layer's cells.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "EffectsTestSupport.h"
#include "game/effects/gMirrors.h"
#include "game/effects/gShadows.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zSprite.h"

namespace tarv::test {
namespace {

using namespace zun;

class ShadowTest : public EffectsTest {
protected:
    zSprite s;

    void SetUp() override {
        EffectsTest::SetUp();
        // A 32 x 64 figure standing on its foot at (200, 200).
        s.Texture = particleTex;
        s.W = 32;
        s.H = 64;
        s.OriginX = 16;
        s.OriginY = 64;
        s.x = 200;
        s.y = 200;
    }
    // The transparency of the single shadow drawn for a light at (lx, ly); -1 when none.
    float ShadowAt(float lx, float ly) {
        RenderSpriteShadow(s, *cam, lx, ly);
        auto q = Drawn();
        if (q.empty()) return -1;
        EXPECT_EQ(q.size(), 1u);
        return q[0].Transparency();
    }
    std::shared_ptr<zItemMap> Layer(int32_t tile = 64, int32_t cells = 20) {
        auto m = std::make_shared<zItemMap>();
        m->SetSize(tile, cells - 1, cells - 1);
        return m;
    }
    std::shared_ptr<zItem> Place(zItemMap& m, float x, float y, bool shadow, bool mirrored) {
        auto i = std::make_shared<zItem>();
        *i->Sprite = s;
        i->Sprite->x = x;
        i->Sprite->y = y;
        i->Shadow = shadow;
        i->Mirrored = mirrored;
        i->Visible = true;
        m.AddItem(i, false);
        return i;
    }
};

TEST_F(ShadowTest, APointLightShadowIsDarkestOneHeightAwayAndGoneOutsideItsRange) {
    // L = 64: darkest at 64, half way to invisible at 160, nothing beyond 256 or nearer than 32.
    EXPECT_NEAR(ShadowAt(200, 264), 0.5f, 0.01f);
    EXPECT_NEAR(ShadowAt(200 + 160, 200), 0.75f, 0.01f);
    EXPECT_NEAR(ShadowAt(200, 200 - 256), 1.0f, 0.01f);
    EXPECT_EQ(ShadowAt(200, 200 - 257), -1);
    EXPECT_NEAR(ShadowAt(200, 248), 0.625f, 0.01f);  // 48 away: 0.5 + 0.5 * (16 / 32)^2
    EXPECT_NEAR(ShadowAt(200, 232), 1.0f, 0.01f);
    EXPECT_EQ(ShadowAt(200, 231), -1);
    EXPECT_EQ(ShadowAt(200, 200), -1);  // a light on the foot casts nothing

    // Heights are held to 16..128.
    s.H = 8;
    EXPECT_NEAR(ShadowAt(200, 216), 0.5f, 0.01f);
    EXPECT_EQ(ShadowAt(200, 265), -1);
    s.H = 300;
    EXPECT_NEAR(ShadowAt(200, 328), 0.5f, 0.01f);
    EXPECT_NEAR(ShadowAt(200, 712), 1.0f, 0.01f);
    EXPECT_EQ(ShadowAt(200, 713), -1);
}

TEST_F(ShadowTest, APointLightShadowStartsAtTheFootAndReachesAwayFromTheLight) {
    RenderSpriteShadow(s, *cam, 200, 264);  // light straight below, one height away
    auto q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    const Quad& a = q[0].Q;
    EXPECT_EQ(a.Texture, TexId(shadowTex));
    EXPECT_EQ(a.Color, 0xFFFFFFFFu);
    // Corners P1, P3, P4, P2 take the texture's corners in order.
    EXPECT_NEAR(a.U[0], 0, 1e-5);
    EXPECT_NEAR(a.U[1], 1, 1e-5);
    EXPECT_NEAR(a.V[2], 1, 1e-5);
    EXPECT_NEAR(a.V[3], 1, 1e-5);
    // Foot corners a little below the foot, a third of the width to each side.
    const double side = 32 * std::cos(3 * 3.141593 / 4) / 1.5, down = 32 * std::sin(3 * 3.141593 / 4) / 2;
    EXPECT_NEAR(a.X[0], 200 + side, 1e-3);
    EXPECT_NEAR(a.Y[0], 200 + down, 1e-3);
    EXPECT_NEAR(a.X[3], 200 - side, 1e-3);
    EXPECT_NEAR(a.Y[3], 200 + down, 1e-3);
    // Far corners above the foot (away from the light), each on its foot
    // corner's side, w / 4 + D^0.9 from the foot.
    const double len = 8 + std::pow(64.0, 0.9);
    EXPECT_LT(a.Y[1], 200 - len * 0.9);
    EXPECT_LT(a.Y[2], 200 - len * 0.9);
    EXPECT_LT(a.X[1], 200);
    EXPECT_GT(a.X[2], 200);
    EXPECT_NEAR(std::hypot(a.X[1] - 200, a.Y[1] - 200), len, 1e-3);

    // Raised by 20: every corner moves the same way, further from the light.
    s.Z = 20;
    cam->x = 10.5f;
    RenderSpriteShadow(s, *cam, 200, 264);
    auto r = Drawn();
    ASSERT_EQ(r.size(), 1u);
    const double dx = r[0].Q.X[0] - (a.X[0] - 11), dy = r[0].Q.Y[0] - a.Y[0];
    EXPECT_LT(dy, -5);
    for (int k = 1; k < 4; ++k) {
        EXPECT_NEAR(r[0].Q.X[k] - (a.X[k] - 11), dx, 1e-3);
        EXPECT_NEAR(r[0].Q.Y[k] - a.Y[k], dy, 1e-3);
    }
    EXPECT_NEAR(std::hypot(dx, 2 * dy), 20, 1e-3);
}

TEST_F(ShadowTest, TheLayerCastsShadowsOfFlaggedItemsWhosePointIsNearTheLight) {
    auto m = Layer();
    Place(*m, 200, 200, true, false);
    Place(*m, 230, 200, false, false);                  // casts no shadow
    auto far = Place(*m, 200, 264 + 192, true, false);  // 192 from the light: outside the search
    far->Sprite->H = 128;                               // its own range (4 x 128) would still reach
    auto raised = Place(*m, 300, 300, true, false);
    raised->Sprite->Z = 120;  // its point (300, 180) is near the light at (200, 200 + 64)
    SpriteMap_RenderShadows(*m, *cam, 200, 264);
    EXPECT_EQ(Drawn().size(), 2u);
    RenderSpriteShadow(*far->Sprite, *cam, 200, 264);
    EXPECT_EQ(Drawn().size(), 1u);

    // The walks name themselves as the current procedure.
    auto plain = Layer();
    Place(*plain, 200, 200, false, false);
    SpriteMap_RenderShadows(*plain, *cam, 200, 264);
    EXPECT_EQ(zCore.CurrentProc, "SpriteMap_RenderShadows");
    ItemMapRenderAmbientShadows(*plain, nullptr, *cam, 0, 50, 0.3f);
    EXPECT_EQ(zCore.CurrentProc, "ItemMapRenderAmbientShadows");
    ItemMapRenderMirrors(*plain, *cam, 0.75f);
    EXPECT_EQ(zCore.CurrentProc, "ItemMapRenderMirrors");

    // A layer without columns, rows or cell size shows nothing.
    for (auto [tile, w, h] : {std::tuple{64, 0, 19}, std::tuple{64, 19, 0}, std::tuple{0, 19, 19}}) {
        auto e = Layer();
        Place(*e, 200, 200, true, true);
        e->TileW = tile;
        e->W = w;
        e->H = h;
        SpriteMap_RenderShadows(*e, *cam, 200, 264);
        ItemMapRenderAmbientShadows(*e, nullptr, *cam, 0, 50, 0.3f);
        ItemMapRenderMirrors(*e, *cam, 0.75f);
        EXPECT_TRUE(Drawn().empty());
    }
}

TEST_F(ShadowTest, ASunShadowReachesItsLengthAwayFromTheSunUnlessItsTestPointIsBlocked) {
    RenderAmbientShadow(s, nullptr, *cam, 0.0f, 50.0f, 0.3f);  // sun to the right
    auto q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    const Quad a = q[0].Q;
    EXPECT_NEAR(q[0].Transparency(), 0.3f, 0.01f);
    EXPECT_GT(a.X[0], 200);  // foot corners on the sun's side
    EXPECT_GT(a.X[3], 200);
    EXPECT_LT(a.X[1], 160);  // far corners about 50 away on the other side
    EXPECT_LT(a.X[2], 160);
    EXPECT_NEAR(std::hypot(a.X[1] - 200, a.Y[1] - 200), 50, 1e-3);
    EXPECT_GT(a.Y[1], 200);  // P3 continues P1's side, P4 P2's
    EXPECT_LT(a.Y[2], 200);

    // Height plays no part.
    s.Z = 40;
    RenderAmbientShadow(s, nullptr, *cam, 0.0f, 50.0f, 0.3f);
    q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.X[1], a.X[1]);
    EXPECT_FLOAT_EQ(q[0].Q.Y[1], a.Y[1]);

    // The collision test point lies half a cell left of the foot: (184, 200) in cell (5, 6).
    zCollisionMap coll;
    coll.SetTileSize(32);
    coll.SetSize(20, 20);
    coll.SetTile(6, 6, 1, 0);  // the foot's own cell is blocked: still a shadow
    RenderAmbientShadow(s, &coll, *cam, 0.0f, 50.0f, 0.3f);
    EXPECT_EQ(Drawn().size(), 1u);
    coll.SetTile(5, 6, 1, 0);
    RenderAmbientShadow(s, &coll, *cam, 0.0f, 50.0f, 0.3f);
    EXPECT_TRUE(Drawn().empty());

    // The layer walk: flagged items only; invisible ones at transparency 1.
    auto m = Layer();
    Place(*m, 200, 200, true, false);
    Place(*m, 400, 300, true, false);
    Place(*m, 300, 300, false, false);
    ItemMapRenderAmbientShadows(*m, &coll, *cam, 0.0f, 50.0f, 1.0f);
    q = Drawn();
    ASSERT_EQ(q.size(), 1u);  // the first stands on a blocked test point
    EXPECT_FLOAT_EQ(q[0].Transparency(), 1.0f);
}

TEST_F(ShadowTest, TheContactShadowIsAFlatEllipseUnderTheFootThatShrinksAsTheSpriteRises) {
    RenderBaseShadow(s, *cam);
    auto q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Left(), 184);
    EXPECT_FLOAT_EQ(q[0].Q.Top(), 192);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 32);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 16);
    // Turned a quarter: the texture's bottom-left corner lands top-left.
    EXPECT_NEAR(q[0].Q.U[0], 0, 1e-5);
    EXPECT_NEAR(q[0].Q.V[0], 1, 1e-3);
    EXPECT_EQ(q[0].Q.Texture, TexId(shadowTex));

    s.Z = 12;
    cam->x = 0.5f;
    cam->y = 100.5f;
    RenderBaseShadow(s, *cam);
    q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 20);
    EXPECT_FLOAT_EQ(q[0].Q.Left(), 190);
    EXPECT_FLOAT_EQ(q[0].Q.Top(), 195 - 100);

    s.Z = 30;
    RenderBaseShadow(s, *cam);
    q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 8);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 4);
}

TEST_F(ShadowTest, TheSilhouetteIsTheSpriteUnmirroredAtItsZoomInTheCurrentTransparency) {
    s.Flipped = 4;
    s.Alpha = 0.5f;
    s.Z = 8;
    zDDraw.SetAlphaMode(127);
    zDDraw.SetAlphaValue(0.3f, 100);
    zDDraw.DiffuseColor = int32_t(0xFFFFFFFF);
    RenderCharShadow(s, *cam, 2.0f);
    EXPECT_FLOAT_EQ(zDDraw.GlobalAlpha, 0.3f);
    auto q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Left(), 200 - 32);
    EXPECT_FLOAT_EQ(q[0].Q.Top(), 200 - 128 - 8);
    EXPECT_FLOAT_EQ(q[0].Q.Width(), 64);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 128);
    EXPECT_LT(q[0].Q.U[0], q[0].Q.U[3]);  // not mirrored
    EXPECT_EQ(q[0].Q.Color, 0xFFFFFFFFu);
    EXPECT_NEAR(q[0].Transparency(), 0.3f, 0.01f);
    EXPECT_TRUE(SameBlend(q[0].State, ModeState(127)));
}

TEST_F(ShadowTest, AReflectionHangsUpsideDownFromTheGroundPointSquashedButNotNarrowed) {
    s.Alpha = 0.5f;
    s.Flipped = 4;
    for (float k : {1.0f, 0.75f}) {
        RenderMirrorItem(s, *cam, k);
        auto q = Drawn();
        ASSERT_EQ(q.size(), 1u);
        EXPECT_FLOAT_EQ(q[0].Q.Left(), 184);
        EXPECT_FLOAT_EQ(q[0].Q.Width(), 32);
        EXPECT_FLOAT_EQ(q[0].Q.Top(), 200);
        EXPECT_FLOAT_EQ(q[0].Q.Height(), 64 * k);
        // Upside down: the corner at the ground shows the texture's bottom row.
        const int top = q[0].Q.Y[0] < q[0].Q.Y[1] ? 0 : 1, bottom = 1 - top;
        EXPECT_GT(q[0].Q.V[top], q[0].Q.V[bottom]);
        EXPECT_LT(q[0].Q.U[0], q[0].Q.U[3]);         // flip bits ignored
        EXPECT_FLOAT_EQ(q[0].Transparency(), 0.0f);  // the sprite's own transparency ignored
    }
    // Raised: lowered by Z times k.
    s.Z = 10;
    RenderMirrorItem(s, *cam, 0.75f);
    auto q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Top(), 207.5f);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 48);

    // Turned the other way about the ground point.
    s.Z = 0;
    s.R = 0.3f;
    RenderMirrorItem(s, *cam, 1.0f);
    q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    const Quad& a = q[0].Q;
    // Corners 1 and 2 are the ones at the ground.
    EXPECT_NEAR((a.X[1] + a.X[2]) / 2, 200, 1.0);
    EXPECT_NEAR((a.Y[1] + a.Y[2]) / 2, 200, 1.0);
    // Turning by -0.3 lifts the right ground corner.
    EXPECT_LT(a.Y[2], a.Y[1]);

    // Below the ground line: upright, unsquashed, -Z lower than the sprite itself.
    s.R = 0;
    s.Z = -10;
    RenderMirrorItem(s, *cam, 0.5f);
    q = Drawn();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Q.Top(), 200 - 64 + 10 + 10);
    EXPECT_FLOAT_EQ(q[0].Q.Height(), 64);
    const int top = q[0].Q.Y[0] < q[0].Q.Y[1] ? 0 : 1;
    EXPECT_LT(q[0].Q.V[top], q[0].Q.V[1 - top]);
}

TEST_F(ShadowTest, TheLayerGivesEachReflectionItsDepthAndSkipsUnmirroredItems) {
    auto m = Layer();
    m->Meta->SetSingle("_z", 0.9f);
    m->Meta->SetSingle("_z2", 0.1f);
    Place(*m, 100, 120, false, true);
    Place(*m, 300, 360, false, true);
    Place(*m, 500, 240, true, false);
    ItemMapRenderMirrors(*m, *cam, 0.75f);
    auto q = Drawn();
    ASSERT_EQ(q.size(), 2u);
    std::vector<float> depth{q[0].Q.Z, q[1].Q.Z};
    std::sort(depth.begin(), depth.end());
    EXPECT_NEAR(depth[0], 0.3f, 1e-5);
    EXPECT_NEAR(depth[1], 0.7f, 1e-5);

    m->Meta->SetSingle("_z2", 0.9f);
    ItemMapRenderMirrors(*m, *cam, 0.75f);
    q = Drawn();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_NEAR(q[0].Q.Z, 0.9f, 1e-5);
    EXPECT_NEAR(q[1].Q.Z, 0.9f, 1e-5);

    // Only the cells in view are walked.
    cam->x = 2000;
    ItemMapRenderMirrors(*m, *cam, 0.75f);
    EXPECT_TRUE(Drawn().empty());
}

}  // namespace
}  // namespace tarv::test
