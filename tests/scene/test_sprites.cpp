// Sprites (drawing, depth, stored form) and the sprite map (buckets, depth
// sort, culling, drawing order and depth).
#include <gtest/gtest.h>

#include "ObjectTestSupport.h"
#include "core/zValues.h"
#include "scene/zSprite.h"
#include "scene/zSpriteMap.h"
#include "support/LevelBytes.h"

namespace zun::test::layers {
namespace {

class SpriteTest : public ObjectTest {
protected:
    std::shared_ptr<zSprite> Sprite(float x, float y, float z = 0, int32_t tex = 0) {
        auto s = std::make_shared<zSprite>();
        s->x = x;
        s->y = y;
        s->Z = z;
        s->Texture = tex;
        s->W = 16;
        s->H = 16;
        s->OriginX = 8;
        s->OriginY = 16;
        return s;
    }
};

TEST_F(SpriteTest, NoTextureDrawsNothingAndTouchesNothing) {
    zSprite s;
    s.Alpha = 0.5f;
    zDDraw.RenderZ = 0.25f;
    const float alpha = zDDraw.GlobalAlpha;
    const zCamera cam = Camera(0, 0, 320, 240);
    s.Render(cam);
    s.RenderDepth(cam, 1, 0);
    EXPECT_EQ(zDDraw.RenderZ, 0.25f);
    EXPECT_EQ(zDDraw.GlobalAlpha, alpha);
    EXPECT_TRUE(Quads().empty());
}

TEST_F(SpriteTest, PlacementZoomAndTransparency) {
    const int32_t tex = AddTexture(64, 64);
    zSprite s;
    s.Texture = tex;
    s.x = 20;
    s.y = 50;
    s.Z = 5;
    s.W = 10;
    s.H = 20;
    s.OriginX = 5;
    s.OriginY = 20;
    // The camera position is floored: x 10.7 puts the anchor at 20 - 10.
    s.Render(Camera(10.7f, 0.2f, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Left(), 10 - 5);
    EXPECT_FLOAT_EQ(q[0].Top(), 50 - 20 - 5);
    EXPECT_FLOAT_EQ(q[0].Width(), 10);
    EXPECT_FLOAT_EQ(q[0].Height(), 20);

    // Twice the zoom: twice the size, the anchor stays on the same screen point.
    s.Render(Camera(10.7f, 0.2f, 320, 240), 2.0f);
    q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_FLOAT_EQ(q[0].Width(), 20);
    EXPECT_FLOAT_EQ(q[0].Height(), 40);
    EXPECT_FLOAT_EQ(q[0].Left() + 5 * 2, 10);
    EXPECT_FLOAT_EQ(q[0].Top() + 20 * 2, 50 - 5);

    // A transparency above 1 is clamped by the device and written back; one
    // below 0 is left alone and leaves the global transparency alone too.
    s.Alpha = 1.5f;
    s.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(s.Alpha, 1.0f);
    EXPECT_EQ(zDDraw.GlobalAlpha, 1.0f);
    zDDraw.SetAlphaValue(0.3f, 100);
    s.Alpha = -0.2f;
    s.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(s.Alpha, -0.2f);
    EXPECT_FLOAT_EQ(zDDraw.GlobalAlpha, 0.3f);
}

TEST_F(SpriteTest, DepthFromTheGroundLineInTheView) {
    const int32_t tex = AddTexture(16, 16);
    zSprite s;
    s.Texture = tex;
    s.W = s.H = 16;
    s.Z = 100;  // the height does not count
    const zCamera cam = Camera(0, 100.5f, 320, 200);
    s.y = 100.5f;
    s.RenderDepth(cam, 0.8f, 0.4f);
    EXPECT_FLOAT_EQ(zDDraw.RenderZ, 0.8f);
    s.y = 300.5f;
    s.RenderDepth(cam, 0.8f, 0.4f);
    EXPECT_FLOAT_EQ(zDDraw.RenderZ, 0.4f);
    s.y = 200.5f;
    s.RenderDepth(cam, 0.8f, 0.4f);
    EXPECT_FLOAT_EQ(zDDraw.RenderZ, 0.6f);
    // A view without height cannot place it.
    EXPECT_EQ(FailureOf([&] { s.RenderDepth(Camera(0, 0, 320, 0), 1, 0); }), "Division by zero");
}

TEST_F(SpriteTest, StoredFormAndTextureLoad) {
    zSprite s;
    s.x = 1; s.y = 2; s.Z = 3; s.R = 0.5f;
    s.Alpha = 0.25f; s.ZoomX = 2; s.ZoomY = 3;
    s.SrcX = 4; s.SrcY = 5; s.W = 6; s.H = 7; s.OriginX = 1.5f; s.OriginY = 2.5f;
    s.Flipped = 4;
    s.Texture = 99;
    zStream plain;
    s.Export(plain, false);
    const auto expected = Bytes().Single(1).Single(2).Single(3).Single(0.5f)
                              .Single(0.25f).Single(2).Single(3)
                              .Long(4).Long(5).Long(6).Long(7)
                              .Single(1.5f).Single(2.5f).b;
    EXPECT_EQ(plain.Bytes(), expected);
    zSprite back;
    back.Texture = 42;
    plain.Cursor = 0;
    back.Import(plain, false);
    EXPECT_EQ(back.Texture, 42);
    EXPECT_EQ(back.Flipped, 0);
    EXPECT_EQ(back.R, 0.5f);
    EXPECT_EQ(back.OriginY, 2.5f);

    // With its texture: the reference sits after R, and loading it sets the handle.
    WriteTexture("hero.png", 33, 20);
    zSprite t;
    t.LoadTexture("hero.png", false, 0);
    ASSERT_GT(t.Texture, 0);
    EXPECT_EQ(t.W, 33);
    EXPECT_EQ(t.H, 20);
    EXPECT_EQ(t.OriginX, 16.5f);
    EXPECT_EQ(t.OriginY, 10.0f);
    zStream full;
    t.Export(full);
    EXPECT_EQ(full.GetLength(), 52 + 9 + 8);
    const std::vector<uint8_t> ref(full.Bytes().begin() + 16, full.Bytes().begin() + 16 + 17);
    EXPECT_EQ(ref, TexRef("hero.png"));
    zSprite u;
    full.Cursor = 0;
    u.Import(full);
    EXPECT_EQ(u.Texture, t.Texture);  // the cache gives the loaded entry again
    EXPECT_EQ(u.W, 33);
}

TEST_F(SpriteTest, MapBucketsAndDepthSort) {
    zSpriteMap m;
    EXPECT_EQ(m.TileW, 128);
    EXPECT_EQ(m.TileW2, 64);
    m.SetSize(32, 9, 9);
    auto a = Sprite(10, 20), b = Sprite(12, 20), c = Sprite(14, 19);
    m.AddSprite(a, false);
    m.AddSprite(b, false);
    m.AddSprite(c, false);
    m.AddSprite(a, true);  // already there: nothing changes
    ASSERT_EQ(m.Sprites().size(), 3u);
    auto bucket = m.GetTile(0, 0);
    ASSERT_TRUE(bucket);
    EXPECT_EQ(bucket->size(), 3u);
    // Keys 20 (a), 20 (b), 19 (c) end as c, b, a.
    m.DepthSort(0, 0);
    EXPECT_EQ((*bucket)[0], c);
    EXPECT_EQ((*bucket)[1], b);
    EXPECT_EQ((*bucket)[2], a);

    // The cell comes from y - Z.
    auto high = Sprite(40, 100, 40);
    m.AddSprite(high, false);
    EXPECT_TRUE(m.GetTile(1, 1));
    EXPECT_FALSE(m.GetTile(1, 3));
    // Outside the grid: listed, in no bucket, and neither lookups nor sorts fail.
    auto above = Sprite(40, 10, 20);
    m.AddSprite(above, true);
    EXPECT_EQ(m.FindSprite(above), 5);
    EXPECT_FALSE(m.GetTile(-1, 0));
    EXPECT_FALSE(m.GetTile(10, 0));
    m.DepthSort(-1, 0);
    m.DepthSort(3, 3);

    m.RemoveSprite(b);
    EXPECT_EQ(m.FindSprite(b), 0);
    EXPECT_EQ(bucket->size(), 2u);

    // SetSize empties the buckets; Resize files everything again.
    m.SetSize(64, 4, 4);
    EXPECT_FALSE(m.GetTile(0, 0));
    m.Resize(64, 4, 4);
    ASSERT_TRUE(m.GetTile(0, 0));
    EXPECT_EQ(m.GetTile(0, 0)->size(), 3u);
    EXPECT_EQ(m.GetTile(0, 0)->front(), c);

    EXPECT_EQ(FailureOf([&] { m.SetSize(32, 100000, 1); }), "Out of memory");
    m.SetSize(0, 4, 4);
    EXPECT_EQ(FailureOf([&] { m.AddSprite(Sprite(1, 1), false); }), "Division by zero");
}

TEST_F(SpriteTest, MapDrawsInViewByGroundLineAtInterpolatedDepth) {
    const int32_t tex = AddTexture(16, 16);
    zSpriteMap m;
    m.SetSize(32, 19, 19);
    m.Meta->SetSingle("_z", 1.0f);
    m.Meta->SetSingle("_z2", 0.0f);
    // Two cells apart, the lower one added first; one far out of view; one
    // hovering high above its ground line.
    auto low = Sprite(40, 200, 0, tex), top = Sprite(100, 100, 0, tex), far = Sprite(600, 600, 0, tex);
    auto hover = Sprite(70, 150, 60, tex);
    for (auto& s : {low, top, far, hover}) m.AddSprite(s, true);
    const zCamera cam = Camera(0, 100, 320, 200);
    m.Render(cam);
    auto q = Quads();
    ASSERT_EQ(q.size(), 3u);
    // Drawn by ascending ground y, whatever the cells.
    EXPECT_FLOAT_EQ(q[0].Left(), 100 - 8);
    EXPECT_FLOAT_EQ(q[1].Left(), 70 - 8);
    EXPECT_FLOAT_EQ(q[2].Left(), 40 - 8);
    EXPECT_NEAR(q[0].Z, 1.0f, 1e-5);   // top edge of the view
    EXPECT_NEAR(q[1].Z, 0.75f, 1e-5);  // the ground line counts, not the height
    EXPECT_NEAR(q[2].Z, 0.5f, 1e-5);

    // Without depth values everything is at 0; a map of one row draws nothing.
    zSpriteMap flat;
    flat.SetSize(32, 19, 19);
    flat.AddSprite(Sprite(100, 100, 0, tex), false);
    flat.Render(cam);
    q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_NEAR(q[0].Z, 0.0f, 1e-6);
    flat.SetSize(32, 19, 0);
    flat.Resize(32, 19, 0);
    zCore.CurrentProc = "";
    flat.Render(cam);
    EXPECT_EQ(zCore.CurrentProc, "SpriteMap_Render");
    EXPECT_TRUE(Quads().empty());
}

TEST_F(SpriteTest, MapStoredFormKeepsEarlierSpritesListed) {
    zSpriteMap m;
    m.SetSize(32, 3, 3);
    auto s1 = Sprite(10, 10), s2 = Sprite(20, 12);
    m.AddSprite(s1, false);
    m.AddSprite(s2, false);
    zStream out;
    m.Export(out);
    zStream one;
    s1->Export(one);
    EXPECT_EQ(out.GetLength(), 32 + 4 + 2 * one.GetLength());

    zSpriteMap back;
    auto old = Sprite(5, 5);
    back.AddSprite(old, false);
    out.Cursor = 0;
    back.Import(out);
    ASSERT_EQ(back.Sprites().size(), 3u);
    EXPECT_EQ(back.Sprites()[0], old);
    ASSERT_TRUE(back.GetTile(0, 0));
    EXPECT_EQ(back.GetTile(0, 0)->size(), 2u);
    // Sorted on load: y 10 before 12 even though stored in that order anyway;
    // the old sprite lost its bucket.
    EXPECT_EQ((*back.GetTile(0, 0))[0]->y, 10);
    EXPECT_EQ(back.W, 3);

    // A stored grid beyond the cap fails and leaves an empty small grid.
    zStream bad(Bytes().Raw(Header(0, 0, 32, 16, 50000, 2)).Long(0).b);
    zSpriteMap c;
    EXPECT_EQ(FailureOf([&] { c.Import(bad); }), "Out of memory");
    EXPECT_EQ(c.W, 0);
}

}  // namespace
}  // namespace zun::test::layers
