// Tiles, tile sets and the tile map: default tiles, animation, cell editing,
// drawing through a camera, and a level with two maps sharing one set.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "LayerTestSupport.h"
#include "core/zFile.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "support/LevelBytes.h"
#include "support/LevelWriter.h"

namespace zun::test::layers {
namespace {

class TileTest : public LayerTest {
protected:
    // A map of TileW 32 holding one set whose default tiles cover the sheet.
    std::shared_ptr<zTileSet> set = std::make_shared<zTileSet>();
    zTileMap map;

    void MakeMap(int32_t w, int32_t h) {
        WriteTexture("sheet.png", 256, 256);
        set->SetTileSize(32);
        set->Texture = zDDraw.LoadTexture("sheet.png", false, 0, 1, 0);
        ASSERT_GT(set->Texture, 0);
        map.SetTileSize(32);
        map.SetSize(w, h);
        ASSERT_EQ(map.AddTileSet(set), 1);
    }
};

// ---- tiles and sets --------------------------------------------------------

TEST_F(TileTest, DefaultTilesFollowTheCellSizeOnlyOnce) {
    zTileSet s;
    s.SetTileSize(32);
    EXPECT_EQ(s.TileCount, 63);
    ASSERT_NE(s.GetTile(9), nullptr);
    EXPECT_EQ(s.GetTile(9)->x, 1);
    EXPECT_EQ(s.GetTile(9)->y, 1);
    EXPECT_EQ(s.GetTile(64), nullptr);
    s.SetTileSize(16);
    EXPECT_EQ(s.TileW, 16);
    EXPECT_EQ(s.TileW2, 8);
    EXPECT_EQ(s.TileCount, 63);

    const std::pair<int32_t, int32_t> cases[] = {{16, 255}, {8, 0}, {24, 120}, {48, 24}, {15, 0}};
    for (auto [w, count] : cases) {
        zTileSet t;
        t.SetTileSize(w);
        EXPECT_EQ(t.TileCount, count) << w;
    }
}

TEST_F(TileTest, AnimationFollowsTheFrameCounter) {
    zTile t;
    t.FramesX = 2;
    t.AniSpeed = 5;
    t.AniWaitX = 10;
    std::vector<std::tuple<int32_t, int, int32_t>> steps;  // counter, frame, next due
    for (int32_t f = 100; f <= 126; ++f) {
        zCore.FrameCounter = f;
        const int32_t before = t.AniNext;
        t.Animate();
        if (t.AniNext != before) steps.emplace_back(f, t.AniFrameX, t.AniNext);
    }
    const std::vector<std::tuple<int32_t, int, int32_t>> want = {
        {100, 1, 105}, {105, 2, 110}, {110, 0, 125}, {125, 1, 130}};
    EXPECT_EQ(steps, want);

    zTile still;
    still.FramesY = 3;
    still.AniSpeed = 1;
    for (int32_t f = 0; f < 10; ++f) {
        zCore.FrameCounter = f;
        still.Animate();
    }
    EXPECT_EQ(still.AniFrameY, 0);
    EXPECT_EQ(still.AniNext, 0);

    // A full row of 256 frames wraps instead of overflowing the frame offset.
    zTile wide;
    wide.FramesX = 255;
    wide.AniFrameX = 255;
    wide.Animate();
    EXPECT_EQ(wide.AniFrameX, 0);
    EXPECT_EQ(wide.AniFrameY, 0);

    zTile hostile;
    hostile.FramesX = 1;
    hostile.AniSpeed = INT32_MAX;
    zCore.FrameCounter = 5;
    EXPECT_THROW(hostile.Animate(), RuntimeError);
}

TEST_F(TileTest, ASetWithOneTileDoesNotAnimate) {
    zTileSet s;
    s.GetTile(0)->FramesX = 3;
    s.GetTile(0)->AniSpeed = 1;
    zCore.FrameCounter = 50;
    s.Update();
    EXPECT_EQ(s.GetTile(0)->AniFrameX, 0);
    s.SetTileSize(128);  // 2 x 2 default tiles
    s.GetTile(3)->FramesX = 1;
    s.Update();
    EXPECT_EQ(s.GetTile(3)->AniFrameX, 1);
}

TEST_F(TileTest, SetStoredFormRoundTrips) {
    WriteTexture("sheet.png", 256, 256);
    zTileSet a;
    a.SetTileSize(128);
    a.Texture = zDDraw.LoadTexture("sheet.png", false, int32_t(0xFFFF00FF), 1, 0);
    zTile* t = a.GetTile(2);
    t->Z = 2; t->FramesX = 3; t->FramesY = 1; t->AniSpeed = 7; t->AniWaitX = 8; t->AniWaitY = 9;
    t->AniFrameX = 2; t->AniFrameY = 1; t->AniNext = 12345;
    zStream s;
    a.Export(s);
    Bytes want;
    want.Long(128).Long(64).Raw(TexRef("sheet.png", int32_t(0xFFFF00FF))).Byte(3);
    want.Raw(Tile({0, 0})).Raw(Tile({1, 0})).Raw(Tile({0, 1, 2, 3, 1, 7, 8, 9, 2, 1, 12345})).Raw(Tile({1, 1}));
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(want.b));

    zTileSet b;
    s.Cursor = 0;
    b.Import(s);
    EXPECT_EQ(b.Texture, a.Texture);  // the cache hands out the same entry
    zStream again;
    b.Export(again);
    EXPECT_EQ(again.Bytes(), s.Bytes());
}

// ---- map editing -----------------------------------------------------------

TEST_F(TileTest, AddTileSetChecksSizeAndIdentity) {
    MakeMap(3, 3);
    EXPECT_EQ(map.AddTileSet(set), 0);
    auto small = std::make_shared<zTileSet>();
    small->SetTileSize(16);
    EXPECT_EQ(map.AddTileSet(small), 0);
    auto other = std::make_shared<zTileSet>();
    other->SetTileSize(32);
    EXPECT_EQ(map.AddTileSet(other), 2);
    EXPECT_EQ(map.GetTileSet(0), nullptr);
    EXPECT_EQ(map.GetTileSet(2), other);
    EXPECT_EQ(map.GetTileSet(200), nullptr);
    std::vector<std::shared_ptr<zTileSet>> list;
    EXPECT_EQ(map.GetTileSets(list), 2);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], nullptr);
    EXPECT_EQ(list[1], set);
    EXPECT_THROW(map.AddTileSet(nullptr), RuntimeError);

    for (int i = 3; i <= 255; ++i) {
        auto s = std::make_shared<zTileSet>();
        s->SetTileSize(32);
        ASSERT_EQ(map.AddTileSet(s), i);
    }
    auto last = std::make_shared<zTileSet>();
    last->SetTileSize(32);
    EXPECT_THROW(map.AddTileSet(last), RuntimeError);  // a 256th set overflows the count
    EXPECT_EQ(map.TileSetCount(), 255);
}

TEST_F(TileTest, RemoveTileSetRenumbersCells) {
    MakeMap(2, 0);
    auto s2 = std::make_shared<zTileSet>(), s3 = std::make_shared<zTileSet>();
    s2->SetTileSize(32);
    s3->SetTileSize(32);
    map.AddTileSet(s2);
    map.AddTileSet(s3);
    map.SetTile(0, 0, 1, 5, 1);
    map.SetTile(1, 0, 2, 6, 2);
    map.SetTile(2, 0, 3, 7, 3);
    map.RemoveTileSet(2);
    uint8_t s, t, r;
    map.GetTile(0, 0, s, t, r);
    EXPECT_EQ(std::tie(s, t, r), std::make_tuple(uint8_t(1), uint8_t(5), uint8_t(1)));
    map.GetTile(1, 0, s, t, r);
    EXPECT_EQ(std::tie(s, t, r), std::make_tuple(uint8_t(0), uint8_t(0), uint8_t(0)));
    map.GetTile(2, 0, s, t, r);
    EXPECT_EQ(std::tie(s, t, r), std::make_tuple(uint8_t(2), uint8_t(7), uint8_t(3)));
    EXPECT_EQ(map.GetTileSet(2), s3);
    EXPECT_EQ(map.GetTileSet(3), nullptr);
    EXPECT_EQ(map.TileSetCount(), 2);
    map.RemoveTileSet(0);
    map.RemoveTileSet(3);
    EXPECT_EQ(map.TileSetCount(), 2);
}

TEST_F(TileTest, CellAccessStaysInsideTheGrid) {
    MakeMap(3, 2);
    map.SetTile(4, 0, 1, 1, 1);
    map.SetTile(-1, 0, 1, 1, 1);
    map.SetTile(0, 3, 1, 1, 1);
    uint8_t s = 9, t = 9, r = 9;
    map.GetTile(4, 0, s, t, r);
    map.GetTile(0, -1, s, t, r);
    EXPECT_EQ(std::tie(s, t, r), std::make_tuple(uint8_t(9), uint8_t(9), uint8_t(9)));
    map.SetTile(3, 2, 0, 7, 5);  // set 0 clears tile and direction
    map.GetTile(3, 2, s, t, r);
    EXPECT_EQ(std::tie(s, t, r), std::make_tuple(uint8_t(0), uint8_t(0), uint8_t(0)));

    EXPECT_EQ(map.GetTileIndex(3, 2), 19);
    EXPECT_EQ(map.GetTileIndex(16, 0), 0);
    EXPECT_EQ(map.GetTileIndex(-1, 0), 0);
    map.SetTileSize(8);
    EXPECT_THROW(map.GetTileIndex(15, 15), RuntimeError);  // 32 per row: above 255

    EXPECT_THROW(map.SetSize(-1, 2), RuntimeError);
    EXPECT_THROW(map.SetSize(5000, 2), RuntimeError);
    EXPECT_EQ(map.W, 3);
}

TEST_F(TileTest, ResizeKeepsTheOverlap) {
    MakeMap(10, 10);
    for (int32_t x = 0; x <= 10; ++x)
        for (int32_t y = 0; y <= 10; ++y) map.SetTile(x, y, 1, uint8_t(x * 11 + y), 0);
    map.Resize(5, 20);
    uint8_t s, t, r;
    for (int32_t x = 0; x <= 5; ++x) {
        for (int32_t y = 0; y <= 20; ++y) {
            s = t = r = 99;
            map.GetTile(x, y, s, t, r);
            if (y <= 10) EXPECT_EQ(t, x * 11 + y);
            else EXPECT_EQ(s, 0);
        }
    }
    zTileMap thin;
    thin.SetSize(0, 4);
    thin.SetTile(0, 1, 1, 1, 0);
    thin.Resize(3, 4);
    thin.GetTile(0, 1, s, t, r);
    EXPECT_EQ(s, 0);  // a map without a second column comes out empty
}

// ---- drawing ---------------------------------------------------------------

TEST_F(TileTest, RenderDrawsTheVisibleCellsAtTheirPlaces) {
    MakeMap(99, 99);
    for (int32_t x = 0; x <= 99; ++x)
        for (int32_t y = 0; y <= 99; ++y) map.SetTile(x, y, 1, 0, 0);
    zDDraw.DiffuseColor = int32_t(0xFF808080);
    map.Render(Camera(100, 0, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 12u * 10u);  // columns 2..13, rows 0..9
    EXPECT_EQ(q[0].Left(), -36);
    EXPECT_EQ(q[0].Top(), 0);
    EXPECT_EQ(q[0].Width(), 32);
    EXPECT_EQ(q[11].Left(), 316);
    EXPECT_EQ(q[12].Top(), 32);
    EXPECT_EQ(q[0].Color, 0xFF808080u);
}

TEST_F(TileTest, DepthFollowsTheCellBaseLoweredByTheTileHeight) {
    MakeMap(3, 3);
    set->GetTile(1)->Z = 1;
    map.SetTile(0, 0, 1, 0, 0);
    map.SetTile(1, 0, 1, 1, 0);
    map.Meta->SetSingle("_z", 0.9f);
    map.Meta->SetSingle("_z2", 0.1f);
    map.Render(Camera(0, 0, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_NEAR(q[0].Z, 0.9 - 0.8 * 32 / 240, 1e-6);
    EXPECT_NEAR(q[1].Z, 0.9 - 0.8 * 64 / 240, 1e-6);

    // With one depth the map sets it once; a camera without height cannot
    // interpolate and says so.
    map.Meta->SetSingle("_z2", 0.9f);
    map.Render(Camera(0, 0, 320, 240));
    q = Quads();
    EXPECT_NEAR(q[1].Z, 0.9, 1e-6);
    map.Meta->SetSingle("_z2", 0.1f);
    try {
        map.Render(Camera(0, 0, 320, 0));
        ADD_FAILURE();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Description, "Division by zero");
    }
}

TEST_F(TileTest, SourceRectangleFollowsTheCurrentFrame) {
    MakeMap(1, 1);
    zTile* t = set->GetTile(0);
    t->x = 4;
    t->y = 1;
    t->AniFrameX = 2;
    map.SetTile(0, 0, 1, 0, 0);
    map.Render(Camera(0, 0, 320, 240));
    auto q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_NEAR(q[0].U[0] * 256, 192, 1e-3);
    EXPECT_NEAR(q[0].V[0] * 256, 32, 1e-3);
    EXPECT_NEAR((q[0].U[1] - q[0].U[0]) * 256, 32, 1e-3);
}

TEST_F(TileTest, CellsNamingMissingSetsOrTilesDrawNothing) {
    MakeMap(3, 1);
    map.SetTile(0, 0, 1, 0, 0);
    map.SetTile(1, 0, 7, 0, 0);    // no such set
    map.SetTile(2, 0, 1, 200, 0);  // set of 64 tiles
    map.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(Quads().size(), 1u);
}

TEST_F(TileTest, NothingIsDrawnForEmptyOrUnsizedMaps) {
    MakeMap(0, 5);
    map.SetTile(0, 0, 1, 0, 0);
    map.Render(Camera(0, 0, 320, 240));
    EXPECT_EQ(zCore.CurrentProc, "TileMap_Render");
    map.RenderAni(Camera(0, 0, 320, 240), false);
    EXPECT_EQ(zCore.CurrentProc, "TileMap_RenderAni");
    EXPECT_TRUE(Quads().empty());
    zTileMap none;
    none.SetTileSize(32);
    none.SetSize(3, 3);
    none.Render(Camera(0, 0, 320, 240));
    EXPECT_TRUE(Quads().empty());
}

TEST_F(TileTest, RenderAniSplitsTheCellsByAnimation) {
    MakeMap(4, 4);
    set->GetTile(5)->FramesX = 2;
    for (int32_t x = 0; x <= 4; ++x)
        for (int32_t y = 0; y <= 4; ++y) map.SetTile(x, y, 1, uint8_t((x + y) % 2 ? 5 : 3), uint8_t(x % 4));
    auto key = [](const Quad& q) { return std::make_tuple(q.X[0], q.Y[0], q.U[0], q.V[0], q.Z); };
    std::multiset<std::tuple<float, float, float, float, float>> all, parts;
    map.Render(Camera(0, 0, 320, 240));
    for (auto& q : Quads()) all.insert(key(q));
    map.RenderAni(Camera(0, 0, 320, 240), true);
    auto ani = Quads();
    map.RenderAni(Camera(0, 0, 320, 240), false);
    auto still = Quads();
    EXPECT_EQ(ani.size(), 12u);
    EXPECT_EQ(still.size(), 13u);
    for (auto& q : ani) parts.insert(key(q));
    for (auto& q : still) parts.insert(key(q));
    EXPECT_EQ(all, parts);
}

TEST_F(TileTest, AnimatedTilesAdvanceInTheDrawing) {
    MakeMap(1, 1);
    zTile* t = set->GetTile(2);  // sheet cell (2, 0)
    t->FramesX = 2;
    t->AniSpeed = 5;
    map.SetTile(0, 0, 1, 2, 0);
    std::vector<float> sources;
    for (int32_t f = 0; f < 12; ++f) {
        zCore.FrameCounter = f;
        set->Update();
        map.Render(Camera(0, 0, 320, 240));
        auto q = Quads();
        ASSERT_EQ(q.size(), 1u);
        sources.push_back(std::round(q[0].U[0] * 256));
    }
    const std::vector<float> want = {96, 96, 96, 96, 96, 128, 128, 128, 128, 128, 64, 64};
    EXPECT_EQ(sources, want);
}

// ---- stored form and shared sets ---------------------------------------------

// Two maps over one tile set, written byte by byte: the set has tiles 0..3
// (tile 1 a wall one cell high), "ground" uses them all, "walls" one cell.
std::vector<uint8_t> TwoMapLevel() {
    Bytes ts;
    ts.Long(32).Long(16).Raw(TexRef("tiles.png")).Byte(3);
    ts.Raw(Tile({0, 0})).Raw(Tile({4, 1, 1})).Raw(Tile({2, 0, 0, 2, 0, 5, 10})).Raw(Tile({1, 2}));
    Bytes ground;
    ground.Raw(Header(0, 0, 32, 16, 3, 2)).Byte(1).String("TS0001");
    ground.Grid(4, 3, [](int, int) { return 1; });
    ground.Grid(4, 3, [](int x, int y) { return (x + y) % 4; });
    ground.Grid(4, 3, [](int x, int y) { return x == 1 && y == 0 ? 4 : 0; });
    Bytes walls;
    walls.Raw(Header(16, 0, 32, 16, 3, 2)).Byte(1).String("TS0001");
    walls.Grid(4, 3, [](int x, int y) { return x == 2 && y == 1 ? 1 : 0; });
    walls.Grid(4, 3, [](int x, int y) { return x == 2 && y == 1 ? 1 : 0; });
    walls.Grid(4, 3, [](int, int) { return 0; });
    return Container(ChunkFile({
        ChunkRecordMeta("zTileMap", "MAP0001", ground.b,
                        ValuesRecord({{"__Name", "solidGround"}}, {}, {}, {{"_z", 0.9f}, {"_z2", 0.1f}})),
        ChunkRecord("zTileSet", "TS0001", ts.b, ""),
        ChunkRecordMeta("zTileMap", "MAP0002", walls.b,
                        ValuesRecord({{"__Name", "walls"}}, {}, {}, {{"_z", 0.5f}, {"_z2", 0.5f}})),
    }));
}

TEST_F(TileTest, TwoMapsSharingOneSetLoadAndDraw) {
    WriteTexture("tiles.png", 256, 256);
    const auto bytes = TwoMapLevel();
    zFile file;
    ASSERT_TRUE(LoadLevel(bytes, file));
    auto ground = std::dynamic_pointer_cast<zTileMap>(file.FindInstance("solidGround"));
    auto walls = std::dynamic_pointer_cast<zTileMap>(file.FindInstance("walls"));
    ASSERT_TRUE(ground && walls);
    ASSERT_NE(ground->GetTileSet(1), nullptr);
    EXPECT_EQ(ground->GetTileSet(1), walls->GetTileSet(1));
    EXPECT_EQ(ground->GetTileSet(1), file.GetInstance("TS0001"));

    const zCamera cam = Camera(16, 0, 64, 64);
    ground->Render(cam);
    walls->Render(cam);
    auto q = Quads();
    ASSERT_EQ(q.size(), 13u);  // columns 0..3, rows 0..2 of the ground, one wall cell
    const float tex = 1.0f / 256;
    struct Want {
        float x, y, u, v, z;
        bool mirrored;
    };
    // Tile (x + y) % 4 at cell (x, y): sheet cells (0,0), (4,1), (2,0), (1,2).
    const float sheet[4][2] = {{0, 0}, {4, 1}, {2, 0}, {1, 2}};
    std::vector<Want> want;
    for (int y = 0; y <= 2; ++y) {
        for (int x = 0; x <= 3; ++x) {
            const int t = (x + y) % 4;
            const float sy = float(32 * y), height = t == 1 ? 32.0f : 0.0f;
            want.push_back({float(32 * x - 16), sy, sheet[t][0] * 32 * tex, sheet[t][1] * 32 * tex,
                            0.9f - 0.8f * (sy + 32 + height) / 64, x == 1 && y == 0});
        }
    }
    want.push_back({64, 32, 4 * 32 * tex, 32 * tex, 0.5f, false});
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const Quad& g = q[i];
        EXPECT_EQ(g.Left(), want[i].x);
        EXPECT_EQ(g.Top(), want[i].y);
        EXPECT_EQ(g.Width(), 32);
        EXPECT_EQ(g.Height(), 32);
        EXPECT_NEAR(g.Z, want[i].z, 1e-6);
        // Top-left corner's texture position; mirrored cells take it from the right edge.
        const float u = want[i].mirrored ? want[i].u + 32 * tex : want[i].u;
        EXPECT_NEAR(g.U[0], u, 1e-5);
        EXPECT_NEAR(g.V[0], want[i].v, 1e-5);
        EXPECT_EQ(g.Texture, q[0].Texture);
    }

    // Saved again, the file is the same bytes.
    LevelWriter again;
    for (int32_t i = 1; i <= file.ChunkCount(); ++i) {
        auto inst = file.GetChunk(i)->Instance;
        ASSERT_NE(inst, nullptr);
        again.File.AddInstance(inst);
    }
    EXPECT_EQ(ToHex(again.LevelBytes()), ToHex(bytes));
}

TEST_F(TileTest, UnresolvedOrForeignSetReferencesAreKept) {
    // A tile map whose GUIDs name nothing, and a value store.
    Bytes m;
    m.Raw(Header(0, 0, 32, 16, 1, 1)).Byte(2).String("MISSING").String("VAL0001");
    for (int k = 0; k < 3; ++k) m.Grid(2, 2, [](int x, int) { return x + 1; });
    const auto bytes = Container(ChunkFile({
        ChunkRecord("zTileMap", "MAP0001", m.b, "solidGround"),
        ChunkRecord("zValues", "VAL0001", ValuesRecord(), "mapValues"),
    }));
    zFile file;
    ASSERT_TRUE(LoadLevel(bytes, file));
    auto map = std::dynamic_pointer_cast<zTileMap>(file.FindInstance("solidGround"));
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->TileSetCount(), 2);
    EXPECT_EQ(map->GetTileSet(1), nullptr);
    EXPECT_EQ(map->GetTileSet(2), nullptr);  // a value store is not a tile set
    map->Render(Camera(0, 0, 64, 64));
    EXPECT_TRUE(Quads().empty());

    LevelWriter again;
    again.File.AddInstance(map);
    again.File.AddInstance(file.GetInstance("VAL0001"));
    EXPECT_EQ(ToHex(again.LevelBytes()), ToHex(bytes));
}

}  // namespace
}  // namespace zun::test::layers
