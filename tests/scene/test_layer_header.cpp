// The layer header's conversions and stored prologue, the camera, the visible
// cell range and the cell buckets.
#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zCellBuckets.h"
#include "scene/zCollisionMap.h"
#include "scene/zVisibleCells.h"
#include "support/LevelBytes.h"

namespace zun::test::layers {
namespace {

class HeaderTest : public LayerTest {};

TEST_F(HeaderTest, TileSizeHalvesToEven) {
    zCollisionMap m;
    const std::pair<int32_t, int32_t> cases[] = {{1, 0}, {3, 2}, {5, 2}, {7, 4}, {32, 16}};
    for (auto [w, half] : cases) {
        m.SetTileSize(w);
        EXPECT_EQ(m.TileW, w);
        EXPECT_EQ(m.TileW2, half) << w;
    }
}

TEST_F(HeaderTest, WindowPixelToCellAndLayerPixel) {
    zCollisionMap m;
    m.SetTileSize(32);
    zCamera cam = Camera(100.7f, 0, 320, 240);
    zDDraw.RenderZoom = 2;
    int32_t cx = -9, cy = -9, px = -9, py = -9;
    m.GetMapPosition(cam, 60, 10, cx, cy);
    m.GetPixelPosition(cam, 60, 10, px, py);
    EXPECT_EQ(cx, 4);
    EXPECT_EQ(cy, 0);
    EXPECT_EQ(px, 130);
    EXPECT_EQ(py, 5);

    // The camera offset is floored before the parallax divides it: 101 / 2 = 50.5.
    zDDraw.RenderZoom = 1;
    m.Parallax = 2;
    cam.x = 101;
    m.GetPixelPosition(cam, 0, 0, px, py);
    EXPECT_EQ(px, 50);

    // Left of the origin the cell is negative, never 0.
    m.Parallax = 1;
    m.x = 10;
    cam.x = 0;
    m.GetMapPosition(cam, 0, 0, cx, cy);
    EXPECT_EQ(cx, -1);
}

TEST_F(HeaderTest, UnsizedLayerLeavesOutputsAndZeroDivisorsRaise) {
    zCollisionMap m;
    const zCamera cam = Camera(0, 0, 320, 240);
    int32_t ox = 7, oy = 8;
    m.GetMapPosition(cam, 10, 10, ox, oy);
    m.GetPixelPosition(cam, 10, 10, ox, oy);
    EXPECT_EQ(ox, 7);
    EXPECT_EQ(oy, 8);

    m.SetTileSize(32);
    for (auto bad : {&zCollisionMap::Parallax, &zCollisionMap::Zoom}) {
        zCollisionMap n;
        n.SetTileSize(32);
        n.*bad = 0;
        try {
            n.GetMapPosition(cam, 10, 10, ox, oy);
            ADD_FAILURE() << "no failure";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Description, "Division by zero");
        }
    }
    zDDraw.RenderZoom = 0;
    EXPECT_THROW(m.GetPixelPosition(cam, 10, 10, ox, oy), RuntimeError);
    zDDraw.RenderZoom = 1;
}

TEST_F(HeaderTest, ClipPosition) {
    zCollisionMap m;
    m.SetSize(5, 5);
    int32_t x = -3, y = 7;
    EXPECT_TRUE(m.ClipPosition(x, y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 5);
    x = 5;
    y = 5;
    EXPECT_FALSE(m.ClipPosition(x, y));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
}

TEST_F(HeaderTest, StoredHeaderIsThirtyTwoBytesReadBackExactly) {
    zCollisionMap m;
    m.x = -12.5f;
    m.y = 3.25f;
    m.SetTileSize(32);
    m.TileW2 = 11;  // taken as stored, not recomputed
    m.SetSize(2, 1);
    m.Parallax = 1.5f;
    m.Zoom = 0.75f;
    zStream s;
    m.Export(s);
    const auto header = Header(-12.5f, 3.25f, 32, 11, 2, 1, 1.5f, 0.75f);
    ASSERT_GE(s.Bytes().size(), 32u);
    EXPECT_EQ(std::vector<uint8_t>(s.Bytes().begin(), s.Bytes().begin() + 32), header);

    zCollisionMap back;
    s.Cursor = 0;
    back.Import(s);
    EXPECT_EQ(back.x, -12.5f);
    EXPECT_EQ(back.y, 3.25f);
    EXPECT_EQ(back.TileW, 32);
    EXPECT_EQ(back.TileW2, 11);
    EXPECT_EQ(back.W, 2);
    EXPECT_EQ(back.H, 1);
    EXPECT_EQ(back.Parallax, 1.5f);
    EXPECT_EQ(back.Zoom, 0.75f);
}

// ---- camera ------------------------------------------------------------

class CameraTest : public LayerTest {};

TEST_F(CameraTest, ConfigureSizesTheViewByTheRenderZoom) {
    zDDraw.RenderZoom = 2;
    zCamera cam;
    cam.Configure(640, 480, true);
    EXPECT_EQ(cam.W, 320);
    EXPECT_EQ(cam.H, 240);
    EXPECT_EQ(zDDraw.ViewW, 640);
    EXPECT_EQ(zDDraw.ViewH, 480);
    EXPECT_EQ(gCameraViewport.Width, 640);
    EXPECT_EQ(gCameraViewport.Height, 480);
    EXPECT_EQ(gCameraViewport.MaxZ, 1.0f);
    EXPECT_TRUE(cam.CenterTarget);

    zDDraw.RenderZoom = 3;
    cam.SetSize(640, 480);
    EXPECT_EQ(cam.W, 213);
    zDDraw.RenderZoom = 2;
    cam.SetSize(645, 480);
    EXPECT_EQ(cam.W, 322);  // 322.5 goes to the even neighbour

    zDDraw.RenderZoom = 0;
    EXPECT_THROW(cam.SetSize(640, 480), RuntimeError);
}

TEST_F(CameraTest, MakingACameraThroughTheFactoryResetsTheRenderZoom) {
    zDDraw.RenderZoom = 2;
    auto cam = CreateClass("zCamera");
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(zDDraw.RenderZoom, 1.0f);
    EXPECT_EQ(std::static_pointer_cast<zCamera>(cam)->MoveSpeed, 10.0f);
}

TEST_F(CameraTest, WithoutADeviceTheViewportIsSkipped) {
    zDDraw.Device_Release();
    zDDraw.Device.reset();
    zCamera cam;
    cam.Configure(640, 480, false);
    EXPECT_EQ(cam.W, 640);
    EXPECT_EQ(gCameraViewport.Requests, 0);
}

TEST_F(CameraTest, CentredPositionAndSmoothFollow) {
    zCamera cam;
    cam.Configure(320, 240, true);
    cam.SetPosition(1000, 500);
    EXPECT_EQ(cam.x, 840);
    EXPECT_EQ(cam.y, 380);
    cam.Configure(321, 240, true);
    cam.SetPosition(1000, 500);
    EXPECT_EQ(cam.x, 839.5f);

    zCamera f;
    f.SetTarget(100, 0);
    f.Update();
    EXPECT_EQ(f.x, 10);
    f.Update();
    EXPECT_EQ(f.x, 19);
    f.x = 0;
    f.SetTarget(1000, 0);
    f.Update();
    EXPECT_EQ(f.x, 16);
    f.x = 0;
    f.SetTarget(0.5f, 0);
    f.Update();
    EXPECT_EQ(f.x, 0.5f);
    f.MoveSpeed = 0;
    f.SetTarget(50, 0);
    f.Update();
    EXPECT_EQ(f.x, 0.5f);
}

TEST_F(CameraTest, ClipToMap) {
    zCamera cam = Camera(1500, 900, 320, 240);
    cam.ClipToMap(0, 0, 49, 29, 32, 1, 1);
    EXPECT_EQ(cam.x, 1280);  // right edge 1600
    EXPECT_EQ(cam.y, 720);   // bottom edge 960
    cam.x = -20;
    cam.y = -5;
    cam.ClipToMap(0, 0, 49, 29, 32, 1, 1);
    EXPECT_EQ(cam.x, 0);
    EXPECT_EQ(cam.y, 0);

    // A map narrower than the view shows centred.
    cam.x = 37;
    cam.ClipToMap(0, 0, 4, 29, 32, 1, 1);
    EXPECT_EQ(cam.x, -80);

    cam.x = 5000;
    for (float zero : {0.0f}) {
        cam.ClipToMap(0, 0, zero, 29, 32, 1, 1);
        cam.ClipToMap(0, 0, 49, zero, 32, 1, 1);
        cam.ClipToMap(0, 0, 49, 29, 32, zero, 1);
        cam.ClipToMap(0, 0, 49, 29, 32, 1, zero);
    }
    EXPECT_EQ(cam.x, 5000);
}

TEST_F(CameraTest, BackupPositionDropsZeroValues) {
    zCamera cam;
    cam.x = 0;
    cam.y = 5;
    cam.R = 1.5f;
    cam.BackupPosition();
    std::vector<std::string> names;
    cam.Meta->GetSingleList(names);
    EXPECT_EQ(names, (std::vector<std::string>{"lY", "lR"}));
    EXPECT_EQ(cam.Meta->GetSingle("lY"), 5.0f);
}

TEST_F(CameraTest, StoredFormRoundTripLeavesTheDeviceAlone) {
    zCamera a;
    a.x = 1.5f; a.y = -2; a.Z = 3; a.R = 0.25f;
    a.W = 320; a.H = 240; a.ScreenW = 640; a.ScreenH = 480;
    a.dX = 7; a.dY = 8; a.MoveSpeed = 12;
    a.CenterTarget = true;
    zStream s;
    a.Export(s);
    EXPECT_EQ(s.Bytes(), Bytes().Single(1.5f).Single(-2).Single(3).Single(0.25f).Long(320).Long(240).Long(640)
                             .Long(480).Single(7).Single(8).Single(12).b);
    zDDraw.ViewW = 111;
    const int32_t requests = gCameraViewport.Requests;
    zCamera b;
    s.Cursor = 0;
    b.Import(s);
    EXPECT_EQ(b.x, 1.5f); EXPECT_EQ(b.y, -2.0f); EXPECT_EQ(b.Z, 3.0f); EXPECT_EQ(b.R, 0.25f);
    EXPECT_EQ(b.W, 320); EXPECT_EQ(b.H, 240); EXPECT_EQ(b.ScreenW, 640); EXPECT_EQ(b.ScreenH, 480);
    EXPECT_EQ(b.dX, 7.0f); EXPECT_EQ(b.dY, 8.0f); EXPECT_EQ(b.MoveSpeed, 12.0f);
    EXPECT_FALSE(b.CenterTarget);
    EXPECT_EQ(zDDraw.ViewW, 111);
    EXPECT_EQ(gCameraViewport.Requests, requests);
}

// ---- visible cells ---------------------------------------------------------

TEST_F(HeaderTest, VisibleCellsWorkedNumbers) {
    zCollisionMap m;
    m.SetTileSize(32);
    m.SetSize(99, 99);
    const zCamera cam = Camera(100, 0, 320, 240);
    zVisibleCells v = VisibleCells(m, cam);
    EXPECT_EQ(v.c, 32);
    EXPECT_EQ(v.ox, -100);
    EXPECT_EQ(v.x0, 2);
    EXPECT_EQ(v.x1, 13);
    EXPECT_EQ(v.y0, 0);
    EXPECT_EQ(v.y1, 9);  // CLng(7.5) = 8, plus one

    // The sprite and item maps' wider range.
    v = VisibleCells(m, cam, 1, 2);
    EXPECT_EQ(v.x0, 1);
    EXPECT_EQ(v.x1, 14);

    m.SetSize(5, 5);
    v = VisibleCells(m, cam);
    EXPECT_EQ(v.x1, 5);
    EXPECT_EQ(v.y1, 5);

    // Far to the right: nothing left to show.
    v = VisibleCells(m, Camera(10000, 0, 320, 240));
    EXPECT_TRUE(v.Empty());

    m.Parallax = 0;
    EXPECT_THROW(VisibleCells(m, cam), RuntimeError);
    m.Parallax = 1;
    m.Zoom = 0;
    EXPECT_THROW(VisibleCells(m, cam), RuntimeError);
    m.Zoom = 1;
    EXPECT_THROW(VisibleCells(m, Camera(1e30f, 0, 320, 240)), RuntimeError);  // Overflow
}

// ---- cell buckets ----------------------------------------------------------

TEST(CellBuckets, ListAndBucketsKeepIdentityAndBounds) {
    struct Obj {};
    zCellBuckets<Obj> b;
    b.Reset(3, 2);
    auto a = std::make_shared<Obj>(), c = std::make_shared<Obj>();
    b.List.push_back(a);
    b.List.push_back(c);
    EXPECT_EQ(b.Find(a.get()), 1);
    EXPECT_EQ(b.Find(c.get()), 2);
    EXPECT_EQ(b.Find(nullptr), 0);

    EXPECT_EQ(b.Get(1, 1), nullptr);  // never used: no bucket, not an empty one
    EXPECT_TRUE(b.Register(a, 1, 1));
    EXPECT_FALSE(b.Register(a, 1, 1));
    EXPECT_TRUE(b.Register(c, 1, 1));
    auto bucket = b.Get(1, 1);
    ASSERT_NE(bucket, nullptr);
    EXPECT_EQ(bucket->size(), 2u);
    EXPECT_EQ((*bucket)[0], a);

    EXPECT_FALSE(b.Register(a, -1, 0));
    EXPECT_FALSE(b.Register(a, 4, 0));
    EXPECT_FALSE(b.Register(a, 0, 3));
    EXPECT_EQ(b.Get(4, 0), nullptr);

    EXPECT_FALSE(b.Unregister(a.get(), 2, 2));
    EXPECT_TRUE(b.Unregister(a.get(), 1, 1));
    EXPECT_FALSE(b.Unregister(a.get(), 1, 1));
    EXPECT_EQ(b.Get(1, 1)->size(), 1u);

    // Reset drops the buckets but keeps the list; a bucket held outside stays valid.
    b.Reset(3, 2);
    EXPECT_EQ(b.Get(1, 1), nullptr);
    EXPECT_EQ(b.List.size(), 2u);
    EXPECT_EQ(bucket->size(), 1u);

    b.RemoveAt(1);
    EXPECT_EQ(b.Find(c.get()), 1);
    b.RemoveAt(5);
    EXPECT_EQ(b.List.size(), 1u);
}

}  // namespace
}  // namespace zun::test::layers
