// The picture layer's stretch modes and drift, and the value-set map's
// regions, renumbering, overlay and stored form.
#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zPictureLayer.h"
#include "scene/zValueSetMap.h"
#include "support/LevelBytes.h"

namespace zun::test::layers {
namespace {

class PictureTest : public LayerTest {
protected:
    zPictureLayer pic;

    void Picture(const std::string& name, int32_t w, int32_t h, int32_t mode) {
        WriteTexture(name, w, h);
        pic.Texture = zDDraw.LoadTexture(name, false, 0, 1, 0);
        ASSERT_GT(pic.Texture, 0);
        pic.SetStretchMode(mode);
    }
};

TEST_F(PictureTest, NoTextureDrawsNothingAndKeepsTheDepth) {
    pic.Meta->SetSingle("_z", 0.3f);
    zDDraw.RenderZ = 0.7f;
    pic.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(zDDraw.RenderZ, 0.7f);
    EXPECT_TRUE(Quads().empty());
}

TEST_F(PictureTest, SinglePictureModes) {
    Picture("sky.png", 512, 512, 1);
    pic.Meta->SetSingle("_z", 0.3f);
    pic.Render(Camera(40, 50, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].Left(), 0);
    EXPECT_EQ(q[0].Top(), 0);
    EXPECT_EQ(q[0].Width(), 320);
    EXPECT_EQ(q[0].Height(), 240);
    EXPECT_NEAR(q[0].Z, 0.3, 1e-6);

    zPictureLayer centred;
    WriteTexture("sun.png", 100, 50);
    centred.Texture = zDDraw.LoadTexture("sun.png", false, 0, 1, 0);
    centred.SetStretchMode(5);
    centred.Zoom = 2;
    centred.Render(Camera(999, 999, 320, 240));
    q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].Left(), 60);
    EXPECT_EQ(q[0].Top(), 70);
    EXPECT_EQ(q[0].Width(), 200);
    EXPECT_EQ(q[0].Height(), 100);

    // Mode 0 ignores the camera; the offsets go through the parallax.
    centred.SetStretchMode(0);
    EXPECT_EQ(centred.Meta->GetLong("_StretchMode", -1), -1);  // 0 removes the key
    centred.x = 30;
    centred.Parallax = 2;
    centred.Render(Camera(999, 999, 320, 240));
    q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].Left(), 15);
    EXPECT_EQ(q[0].Width(), 200);
}

TEST_F(PictureTest, RepeatedModesFollowTheScrollPhase) {
    Picture("fog.png", 100, 64, 2);
    pic.Parallax = 2;
    pic.Render(Camera(100, 0, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 5u);
    const float xs[] = {-70, 30, 130, 230, 330};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_NEAR(q[i].Left(), xs[i], 1e-3) << i;
        EXPECT_EQ(q[i].Top(), 0);
        EXPECT_EQ(q[i].Width(), 100);
        EXPECT_EQ(q[i].Height(), 240);
    }

    pic.SetStretchMode(3);
    pic.Parallax = 1;
    pic.Render(Camera(0, 10, 320, 240));
    q = Quads();
    ASSERT_EQ(q.size(), 5u);  // Int(240 / 64) + 1 = 4, pieces 0..4
    EXPECT_EQ(q[0].Top(), -10);
    EXPECT_EQ(q[0].Width(), 320);
    EXPECT_EQ(q[1].Top(), 54);

    zPictureLayer tiles;
    WriteTexture("clouds.png", 64, 64);
    tiles.Texture = zDDraw.LoadTexture("clouds.png", false, 0, 1, 0);
    tiles.SetStretchMode(4);
    tiles.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(Quads().size(), 35u);

    // Any other mode only sets the depth.
    tiles.SetStretchMode(7);
    tiles.Meta->SetSingle("_z", 0.6f);
    tiles.Render(Camera(0, 0, 320, 240));
    EXPECT_TRUE(Quads().empty());
    EXPECT_EQ(zDDraw.RenderZ, 0.6f);
}

TEST_F(PictureTest, ZeroSizesFailAndTinyPicturesDoNotStall) {
    Picture("fog.png", 100, 64, 4);
    pic.Zoom = 0;
    try {
        pic.Render(Camera(0, 0, 320, 240));
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Description, "Division by zero");
    }
    pic.Zoom = 1;
    pic.Parallax = 0;
    EXPECT_THROW(pic.Render(Camera(0, 0, 320, 240)), RuntimeError);
    pic.SetStretchMode(0);
    EXPECT_THROW(pic.Render(Camera(0, 0, 320, 240)), RuntimeError);
    pic.Parallax = 1;
    pic.SetStretchMode(4);
    pic.Zoom = 1e-6f;
    pic.Render(Camera(0, 0, 320, 240));
    EXPECT_TRUE(Quads().empty());
}

TEST_F(PictureTest, DriftAndStoredForm) {
    pic.Meta->SetSingle("_MoveX", 0.5f);
    pic.Meta->SetSingle("_MoveY", -1);
    for (int i = 0; i < 60; ++i) pic.Update();
    EXPECT_EQ(pic.x, 30);
    EXPECT_EQ(pic.y, -60);

    Picture("water.png", 32, 32, 2);
    pic.Parallax = 1.5f;
    pic.Zoom = 2;
    zStream s;
    pic.Export(s);
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(Bytes().Single(30).Single(-60).Single(1.5f).Single(2).Raw(TexRef("water.png")).b));
    zPictureLayer back;
    s.Cursor = 0;
    back.Import(s);
    EXPECT_EQ(back.Texture, pic.Texture);
    EXPECT_EQ(back.Parallax, 1.5f);
    zStream again;
    back.Export(again);
    EXPECT_EQ(again.Bytes(), s.Bytes());
}

// ---- value-set map ---------------------------------------------------------

class ValueSetTest : public LayerTest {};

TEST_F(ValueSetTest, CreateUpToTheLimit) {
    zValueSetMap m;
    ASSERT_NE(m.GetValueSet(0), nullptr);
    EXPECT_EQ(m.GetValueSet(1), nullptr);
    EXPECT_EQ(m.CreateValueSet(), 1);
    EXPECT_EQ(m.CreateValueSet(), 2);
    for (int i = 3; i <= 255; ++i) ASSERT_EQ(m.CreateValueSet(), i);
    EXPECT_EQ(m.CreateValueSet(), 0);
    EXPECT_EQ(m.ValueSetCount, 255);
    EXPECT_NE(m.GetValueSet(255), nullptr);
}

TEST_F(ValueSetTest, RemovingARegionRenumbersTheCells) {
    zValueSetMap m;
    m.SetSize(3, 0);
    for (int i = 0; i < 3; ++i) m.CreateValueSet();
    auto third = m.GetValueSet(3);
    for (int x = 0; x <= 3; ++x) m.SetTile(x, 0, uint8_t(x));
    m.RemoveValueSet(2);
    uint8_t n;
    const uint8_t want[] = {0, 1, 0, 2};
    for (int x = 0; x <= 3; ++x) {
        m.GetTile(x, 0, n);
        EXPECT_EQ(n, want[x]) << x;
    }
    EXPECT_EQ(m.ValueSetCount, 2);
    EXPECT_EQ(m.GetValueSet(2), third);
    EXPECT_EQ(m.GetValueSet(3), nullptr);
    m.RemoveValueSet(0);
    m.RemoveValueSet(3);
    EXPECT_EQ(m.ValueSetCount, 2);

    std::vector<std::shared_ptr<zValues>> list;
    m.CreateValueSet();
    EXPECT_EQ(m.GetValueSets(list), 3);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], nullptr);
    EXPECT_EQ(list[2], third);
}

TEST_F(ValueSetTest, CellAccessAndIndexes) {
    zValueSetMap m;
    m.SetTileSize(32);
    m.SetSize(2, 2);
    uint8_t n = 42;
    m.SetTile(3, 0, 9);
    m.SetTile(0, -1, 9);
    m.GetTile(3, 0, n);
    m.GetTile(-1, 0, n);
    EXPECT_EQ(n, 42);
    m.SetTile(2, 2, 200);  // not compared with the count
    m.GetTile(2, 2, n);
    EXPECT_EQ(n, 200);
    EXPECT_EQ(m.GetTileIndex(3, 2), 19);
    zValueSetMap unsized;
    EXPECT_EQ(unsized.GetTileIndex(3, 2), 0);

    m.Resize(1, 1);
    m.SetTile(1, 1, 4);
    m.Resize(3, 3);
    m.GetTile(1, 1, n);
    EXPECT_EQ(n, 4);
}

TEST_F(ValueSetTest, OverlayColoursEachRegion) {
    zValueSetMap m;
    m.SetTileSize(32);
    m.SetSize(2, 1);
    m.CreateValueSet();
    m.GetValueSet(1)->SetSingle("__R", 1);
    m.GetValueSet(1)->SetSingle("__B", 0.5f);
    m.Meta->SetSingle("_Alpha", 0.25f);
    m.Meta->SetSingle("_z", 0.4f);
    m.SetTile(0, 0, 1);
    m.SetTile(1, 0, 0);
    m.SetTile(2, 1, 9);  // no such set: nothing to show
    rec->ClearLog();
    m.Render(Camera(0, 0, 320, 240));
    ASSERT_EQ(rec->Draws.size(), 1u);
    Raster r(96, 64);
    r.Paint(rec->Draws);
    EXPECT_EQ(r.At(3, 3), 0xBFFF0080u);
    EXPECT_EQ(r.At(35, 3), 0u);
    EXPECT_FLOAT_EQ(rec->Draws[0].Vertices[0].Z, 0.4f);

    rec->ClearLog();
    m.SetSize(0, 3);
    m.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(zCore.CurrentProc, "ValueSetMap_Render");
    EXPECT_TRUE(rec->Draws.empty());
}

TEST_F(ValueSetTest, StoredForm) {
    zValueSetMap only;
    only.SetTileSize(16);
    only.SetSize(1, 0);
    zStream s;
    only.Export(s);
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(Bytes()
                                          .Raw(Header(0, 0, 16, 8, 1, 0))
                                          .Byte(0)
                                          .Raw(ValuesRecord())
                                          .Grid(2, 1, [](int, int) { return 0; })
                                          .b));

    zValueSetMap m;
    m.SetTileSize(32);
    m.SetSize(1, 1);
    m.CreateValueSet();
    m.GetValueSet(1)->SetString("material", "grass");
    m.SetTile(1, 1, 1);
    zStream a;
    m.Export(a);
    zValueSetMap back;
    a.Cursor = 0;
    back.Import(a);
    EXPECT_EQ(back.ValueSetCount, 1);
    EXPECT_EQ(back.GetValueSet(1)->GetString("material"), "grass");
    zStream b;
    back.Export(b);
    EXPECT_EQ(b.Bytes(), a.Bytes());

    // The grid must match the header; the old content stays when it does not.
    zStream bad(Bytes().Raw(Header(0, 0, 32, 16, 1, 1)).Byte(0).Raw(ValuesRecord()).Grid(3, 2, [](int, int) {
        return 0;
    }).b);
    EXPECT_THROW(back.Import(bad), RuntimeError);
    EXPECT_EQ(back.GetValueSet(1)->GetString("material"), "grass");
}

}  // namespace
}  // namespace zun::test::layers
