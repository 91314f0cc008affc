// The collision map: the shape table against an independent statement of it,
// the mask tests, bounds, resizing, and the overlay checked pixel by pixel
// against CheckCollision.
#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zFont.h"
#include "scene/zCollisionMap.h"
#include "support/LevelBytes.h"

namespace zun::test::layers {
namespace {

// The shape table restated in whole numbers (halves and quarters multiplied
// out, radii squared), so that a slip in either statement shows.
bool ReferenceSolid(int s, int u, int v, int T, int h) {
    const int q = u - h, r = v - h, d2 = q * q + r * r;
    switch (s) {
    case 0: return true;
    case 1: return false;
    case 2: return 4 * u >= T && 4 * u <= 3 * T && 4 * v >= T && 4 * v <= 3 * T;
    case 3: return u + v >= h && u - v >= h - T && v - u >= h - T && u + v <= 2 * T - h;
    case 4: return u + v > T;
    case 5: return v > u;
    case 6: return u + v <= T;
    case 7: return v <= u;
    case 8: return v >= h;
    case 9: return u < h;
    case 10: return v < h;
    case 11: return u >= h;
    case 12: return u >= h && v >= h;
    case 13: return u < h && v >= h;
    case 14: return u < h && v < h;
    case 15: return u >= h && v < h;
    case 16: return v > 2 * (T - u);
    case 17: return v > 2 * u;
    case 18: return v + 2 * h <= 2 * (T - u);
    case 19: return v + 2 * h <= 2 * u;
    case 20: return 2 * T - u < 2 * v;
    case 21: return u < 2 * (v - h);
    case 22: return 2 * h - u >= 2 * v;
    case 23: return u >= 2 * v;
    case 28: return u + v > T + h;
    case 29: return v - u > h;
    case 30: return u + v <= T - h;
    case 31: return u - v >= h;
    case 36: return 16 * d2 <= h * h;
    case 37: return 4 * d2 <= h * h;
    case 38: return 16 * d2 <= 9 * h * h;
    case 39: return d2 <= h * h;
    default: break;
    }
    if (s >= 24 && s <= 27) return !ReferenceSolid(s - 12, u, v, T, h);
    if (s >= 32 && s <= 35) return !ReferenceSolid(s - 4, u, v, T, h);
    if (s >= 40 && s <= 43) return !ReferenceSolid(s - 4, u, v, T, h);
    if (s >= 44 && s <= 51) return !ReferenceSolid(s - 28, u, v, T, h);
    return false;
}

class CollisionTest : public LayerTest {
protected:
    // One cell per shape number 0..64, all of code 1, in rows of 13.
    zCollisionMap ShapeSheet(int32_t tileW) {
        zCollisionMap m;
        m.SetTileSize(tileW);
        m.SetSize(12, 4);
        for (int s = 0; s < 65; ++s) m.SetTile(s % 13, s / 13, 1, uint8_t(s));
        return m;
    }
};

TEST_F(CollisionTest, ShapeTableAtEvenAndOddCellSizes) {
    for (int32_t T : {32, 31}) {
        zCollisionMap m = ShapeSheet(T);
        const int h = m.TileW2;
        for (int s = 0; s < 65; ++s) {
            const int cx = s % 13, cy = s / 13;
            int wrong = 0;
            for (int v = 0; v < T; ++v)
                for (int u = 0; u < T; ++u)
                    wrong += m.CheckCollision(cx * T + u, cy * T + v, 1) != ReferenceSolid(s, u, v, T, h);
            EXPECT_EQ(wrong, 0) << "shape " << s << " at " << T;
        }
    }
}

TEST_F(CollisionTest, WorkedCases) {
    zCollisionMap m;
    m.SetTileSize(32);
    m.SetSize(3, 3);
    EXPECT_EQ(zCore.CurrentProc, zCore.CurrentProc);
    // Outside is solid; the last pixel inside is tested against its cell.
    EXPECT_TRUE(m.CheckCollision(128, 0, 0));
    EXPECT_TRUE(m.CheckCollision(-1, 5, 0));
    EXPECT_TRUE(m.CheckCollision(5, 128, 0));
    m.SetTile(3, 0, 0, 1);
    EXPECT_FALSE(m.CheckCollision(127, 0, 0));
    EXPECT_EQ(zCore.CurrentProc, "CheckCollision");

    m.SetTile(0, 0, 3, 0);
    m.SetTile(1, 0, 2, 0);
    EXPECT_TRUE(m.CheckCollision(5, 5, 1));
    EXPECT_FALSE(m.CheckCollision(37, 5, 1));
    m.SetTile(2, 0, 1, 0);
    EXPECT_FALSE(m.CheckCollision(70, 5, 3));
    EXPECT_TRUE(m.CheckTileCollision(2, 0, 3));
    EXPECT_FALSE(m.CheckTileCollision(0, 0, 3));
    EXPECT_FALSE(m.CheckTileCollision(0, 0, 0));  // mask 0: never passable

    m.SetTile(0, 1, 1, 8);
    EXPECT_FALSE(m.CheckCollision(3, 32 + 15, 1));
    EXPECT_TRUE(m.CheckCollision(3, 32 + 16, 1));
    m.SetTile(0, 1, 1, 39);
    EXPECT_TRUE(m.CheckCollision(16, 32, 1));
    EXPECT_FALSE(m.CheckCollision(0, 32, 1));
    m.SetTile(0, 1, 1, 2);
    for (int u : {8, 24}) EXPECT_TRUE(m.CheckCollision(u, 48, 1)) << u;
    for (int u : {7, 25}) EXPECT_FALSE(m.CheckCollision(u, 48, 1)) << u;

    // A cell of one pixel: radius 0, only the centre offset lies on the disc.
    zCollisionMap one;
    one.SetTileSize(1);
    EXPECT_EQ(one.TileW2, 0);
    for (int s = 36; s <= 39; ++s) {
        one.SetTile(0, 0, 0, uint8_t(s));
        EXPECT_TRUE(one.CheckCollision(0, 0, 0));
    }
    one.SetTile(0, 0, 0, 40);
    EXPECT_FALSE(one.CheckCollision(0, 0, 0));

    // An unsized layer is solid everywhere.
    zCollisionMap none;
    EXPECT_TRUE(none.CheckCollision(0, 0, 0));
}

TEST_F(CollisionTest, CellAccessOutsideTheGrid) {
    zCollisionMap m;
    m.SetTileSize(32);
    m.SetSize(2, 2);
    m.SetTile(3, 0, 5, 5);
    m.SetTile(0, -1, 5, 5);
    uint8_t col = 77, shape = 78;
    m.GetTile(3, 0, col, shape);
    m.GetTile(-1, 0, col, shape);
    EXPECT_EQ(col, 77);
    EXPECT_EQ(shape, 78);
    EXPECT_FALSE(m.CheckTileCollision(3, 0, 1));
    EXPECT_FALSE(m.CheckTileCollision(0, -5, 0));
    m.SetTile(2, 2, 5, 6);
    m.GetTile(2, 2, col, shape);
    EXPECT_EQ(col, 5);
    EXPECT_EQ(shape, 6);
}

TEST_F(CollisionTest, ResizeKeepsTheOverlapOnly) {
    zCollisionMap m;
    m.SetSize(10, 10);
    for (int x = 0; x <= 10; ++x)
        for (int y = 0; y <= 10; ++y) m.SetTile(x, y, uint8_t(x), uint8_t(y));
    m.Resize(5, 20);
    uint8_t col, shape;
    for (int x = 0; x <= 5; ++x) {
        for (int y = 0; y <= 20; ++y) {
            col = shape = 99;
            m.GetTile(x, y, col, shape);
            EXPECT_EQ(col, y <= 10 ? x : 0);
            EXPECT_EQ(shape, y <= 10 ? y : 0);
        }
    }
    zCollisionMap flat;
    flat.SetSize(0, 3);
    flat.SetTile(0, 0, 1, 1);
    flat.Resize(10, 3);
    flat.GetTile(0, 0, col, shape);
    EXPECT_EQ(col, 0);
}

// ---- overlay ---------------------------------------------------------------

constexpr uint32_t kFree = 0xFF00FF00u, kBlock = 0xFFFF0000u;

bool Slanted(int s) {
    return s == 3 || (s >= 4 && s <= 7) || (s >= 16 && s <= 23) || (s >= 28 && s <= 51);
}

// Pixels of cell s whose painted colour differs from want(solid), where
// solid is what CheckCollision says; on slanted and round edges a pixel may
// take the colour of a neighbour.
template <class F>
int WrongPixels(const Raster& r, const zCollisionMap& m, int s, int T, F want) {
    const int cx = s % 13, cy = s / 13;
    auto expect = [&](int u, int v) { return want(m.CheckCollision(cx * T + u, cy * T + v, 1)); };
    int bad = 0;
    for (int v = 0; v < T; ++v) {
        for (int u = 0; u < T; ++u) {
            const uint32_t got = r.At(cx * T + u, cy * T + v);
            if (got == expect(u, v)) continue;
            bool edge = false;
            for (int dy = -1; dy <= 1 && Slanted(s); ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nu = u + dx, nv = v + dy;
                    if (nu >= 0 && nv >= 0 && nu < T && nv < T && expect(nu, nv) == got) edge = true;
                }
            bad += !edge;
        }
    }
    return bad;
}

TEST_F(CollisionTest, OverlayCoversExactlyWhatCheckCollisionSays) {
    for (int32_t T : {32, 31}) {
        SCOPED_TRACE(T);
        zCollisionMap m = ShapeSheet(T);
        rec->ClearLog();
        m.Render(Camera(0, 0, 13 * T, 5 * T), 1, int32_t(kFree), int32_t(kBlock));
        Raster r(13 * T, 5 * T);
        r.Paint(rec->Draws);
        for (int s = 0; s < 52; ++s)
            EXPECT_EQ(WrongPixels(r, m, s, T, [](bool solid) { return solid ? kBlock : kFree; }), 0) << "shape " << s;
        if (T != 32) continue;  // at odd sizes the largest discs reach half a pixel into the next row
        for (int s = 0; s < 65; ++s) {
            const int cx = s % 13, cy = s / 13;
            int painted = 0, doubled = 0;
            for (int v = 0; v < T; ++v) {
                for (int u = 0; u < T; ++u) {
                    const size_t i = size_t(cy * T + v) * size_t(r.W) + size_t(cx * T + u);
                    painted += r.Pixels[i] != 0;
                    doubled += r.Hits[i] > 1;
                }
            }
            // Shape numbers past the table draw no square at all.
            if (s > 51) {
                EXPECT_EQ(painted, 0) << "shape " << s;
            }
            // Solid and free parts never overlap, except that discs are painted
            // over a whole cell.
            if (s < 36 || s > 43) {
                EXPECT_EQ(doubled, 0) << "shape " << s;
            }
        }
    }
}

TEST_F(CollisionTest, WaterMaskDrawsOnlyTheFreeParts) {
    zCollisionMap m = ShapeSheet(32);
    rec->ClearLog();
    m.Render(Camera(0, 0, 416, 160), 1, int32_t(0xFF000000u), 0);
    for (const auto& d : rec->Draws)
        for (const auto& v : d.Vertices) ASSERT_EQ(v.Color, 0xFF000000u);
    Raster r(416, 160);
    r.Paint(rec->Draws);
    for (int s = 0; s < 52; ++s) {
        // Discs paint their whole cell in the free colour first.
        const bool disc = s >= 36 && s <= 39;
        EXPECT_EQ(WrongPixels(r, m, s, 32, [disc](bool solid) { return solid && !disc ? 0u : 0xFF000000u; }), 0)
            << "shape " << s;
    }
}

TEST_F(CollisionTest, OutsideTheBlockedBoundsTheWaterMaskPaintsEveryPixel) {
    zCollisionMap m;
    m.SetTileSize(16);
    m.SetSize(10, 8);
    m.SetTile(3, 2, 1, 0);
    m.SetTile(4, 2, 1, 0);
    m.SetTile(6, 5, 1, 5);
    m.SetTile(8, 1, 2, 0);  // blocks another mover class only
    const zCamera cam = Camera(8, 4, 96, 80);
    rec->ClearLog();
    m.Render(cam, 1, int32_t(0xFF000000u), 0);
    // Free cells side by side come as one rectangle: one for each of the
    // seven rows drawn, two in the two rows a blocked cell splits, and the
    // slanted cell's free corner.
    EXPECT_EQ(rec->Draws.size(), 10u);
    Raster r(96, 80);
    r.Paint(rec->Draws);
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ASSERT_TRUE(m.BlockedBounds(cam, 1, 96, 80, x0, y0, x1, y1));
    // Just the four by four cells from (3, 2) to (6, 5).
    EXPECT_EQ(x1 - x0, 64.0f);
    EXPECT_EQ(y1 - y0, 64.0f);
    int outside = 0, wrong = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 96; ++x) {
            if (x + 0.5f > x0 && x + 0.5f < x1 && y + 0.5f > y0 && y + 0.5f < y1) continue;
            outside += 1;
            wrong += r.At(x, y) != 0xFF000000u;
        }
    EXPECT_GT(outside, 0);
    EXPECT_EQ(wrong, 0);
    // No blocked cell in view: an empty rectangle. A view reaching past the
    // map has pixels no cell paints: no bounds.
    ASSERT_TRUE(m.BlockedBounds(Camera(0, 112, 96, 16), 1, 96, 16, x0, y0, x1, y1));
    EXPECT_LT(x1, x0);
    EXPECT_FALSE(m.BlockedBounds(Camera(100, 0, 96, 80), 1, 96, 80, x0, y0, x1, y1));
}

TEST_F(CollisionTest, OverlayDefaultsComeFromTheMetaValues) {
    zCollisionMap m;
    m.SetTileSize(32);
    m.SetSize(2, 1);
    m.SetTile(0, 0, 0, 0);  // code 0: one free square whatever its shape
    m.SetTile(1, 0, 4, 0);  // full block for flag 4
    m.SetTile(2, 0, 2, 0);
    m.Meta->SetSingle("_Alpha", 0.5f);
    m.Meta->SetSingle("_z", 0.25f);
    m.Meta->SetByte("_ShowMode", 4);
    rec->ClearLog();
    m.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(zDDraw.RenderZ, 0.25f);
    Raster r(96, 64);
    r.Paint(rec->Draws);
    EXPECT_EQ(r.At(5, 5), 0x8000FF00u);
    EXPECT_EQ(r.At(37, 5), 0x80FF0000u);
    EXPECT_EQ(r.At(69, 5), 0x8000FF00u);  // code 2 shares no bit with flags 4
    for (const auto& d : rec->Draws) EXPECT_FLOAT_EQ(d.Vertices[0].Z, 0.25f);

    // Unsized or one-column layers draw nothing.
    rec->ClearLog();
    zCollisionMap thin;
    thin.SetTileSize(32);
    thin.SetSize(0, 5);
    thin.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(zCore.CurrentProc, "CollisionMap_Render");
    EXPECT_TRUE(rec->Draws.empty());
}

TEST_F(CollisionTest, DebugTextWritesEachCodeAndKeepsTheDepth) {
    FontEntry font;
    font.Name = "arial";
    font.Texture = AddTexture(256, 256, "arial.png");
    font.Width.fill(8);
    zFont.Fonts.push_back(font);
    zFont.FontCount = 1;
    gSceneHooks.FontArial = 1;

    zCollisionMap m;
    m.SetTileSize(32);
    m.SetSize(1, 1);
    m.SetTile(1, 0, 12, 0);
    m.Meta->SetByte("ShowDebug", 1);
    m.Meta->SetSingle("_z", 0.5f);
    rec->ClearLog();
    m.Render(Camera(0, 0, 64, 64), 255, int32_t(kFree), int32_t(kBlock));
    // Every cell square after the first text still lies at "_z".
    for (const auto& d : rec->Draws)
        if (!d.Textured) {
            EXPECT_FLOAT_EQ(d.Vertices[0].Z, 0.5f);
        }
    auto q = Quads();
    // "0", "12", "0", "0": five glyphs.
    EXPECT_EQ(q.size(), 5u);

    // Without a font the overlay still draws, just without text.
    gSceneHooks.FontArial = 0;
    m.Render(Camera(0, 0, 64, 64), 255, int32_t(kFree), int32_t(kBlock));
    EXPECT_TRUE(Quads().empty());
}

// ---- stored form -----------------------------------------------------------

TEST_F(CollisionTest, StoredFormAndGridChecks) {
    zCollisionMap m;
    m.SetTileSize(32);
    m.SetSize(2, 1);
    m.SetTile(2, 1, 7, 9);
    zStream s;
    m.Export(s);
    const auto want = Bytes()
                          .Raw(Header(0, 0, 32, 16, 2, 1))
                          .Grid(3, 2, [](int x, int y) { return x == 2 && y == 1 ? 7 : 0; })
                          .Grid(3, 2, [](int x, int y) { return x == 2 && y == 1 ? 9 : 0; })
                          .b;
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(want));

    // A grid that does not match W and H is refused and the old grids stay.
    zCollisionMap back;
    back.SetSize(1, 1);
    back.SetTile(1, 1, 3, 3);
    const auto bad = Bytes().Raw(Header(0, 0, 32, 16, 2, 1)).Grid(2, 2, [](int, int) { return 1; }).b;
    zStream b(bad);
    EXPECT_THROW(back.Import(b), RuntimeError);
    uint8_t col = 0, shape = 0;
    back.GetTile(1, 1, col, shape);
    EXPECT_EQ(col, 3);
    EXPECT_TRUE(back.CheckCollision(2 * 32 + 5, 5, 0));  // the header says 3 columns, the grid has 2

    // Sizes past the cap fail before anything is allocated.
    zStream huge(Bytes().Raw(Header(0, 0, 32, 16, 100000, 100000)).Long(100001).Long(100001).b);
    EXPECT_THROW(back.Import(huge), RuntimeError);
    zStream negative(Bytes().Raw(Header(0, 0, 32, 16, -1, 0)).Long(0).Long(1).b);
    EXPECT_THROW(back.Import(negative), RuntimeError);
}

}  // namespace
}  // namespace zun::test::layers
