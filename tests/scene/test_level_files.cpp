// Level files holding these layers: what the layers' Export writes matches an
// independent byte encoding, and a saved level loads and saves to the same
// bytes. Broken chunks cost only themselves.
#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "core/zFile.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zCollisionMap.h"
#include "scene/zPictureLayer.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "scene/zValueSetMap.h"
#include "support/LevelBytes.h"
#include "support/LevelWriter.h"

namespace zun::test::layers {
namespace {

class LevelFileTest : public LayerTest {
protected:
    void SetUp() override {
        LayerTest::SetUp();
        WriteTexture("tiles.png", 256, 256);
        WriteTexture("fog.png", 64, 64);
    }
};

TEST_F(LevelFileTest, TheFrameworkLayerClassesAreRegistered) {
    for (const char* name :
         {"zCamera", "zCollisionMap", "zPictureLayer", "zSpriteMap", "zTileMap", "zTileSet", "zValueSetMap"}) {
        auto obj = CreateClass(name);
        ASSERT_NE(obj, nullptr) << name;
        EXPECT_EQ(obj->ClassName(), name);
    }
}

TEST_F(LevelFileTest, ExportMatchesTheIndependentEncoding) {
    const auto reference = ReferenceLevel();
    EXPECT_EQ(reference.size(), 576u);

    LevelWriter w;
    auto map = std::make_shared<zTileMap>();
    auto set = std::make_shared<zTileSet>();
    auto col = std::make_shared<zCollisionMap>();
    auto values = std::make_shared<zValues>();
    // The reference set holds one plain tile, not the default sheet of 64.
    zStream one(Bytes().Long(32).Long(16).Raw(TexRef("tiles.png")).Byte(0).Raw(Tile({})).b);
    set->Import(one);
    set->SetGUID("TS0001");
    map->SetTileSize(32);
    map->SetSize(3, 2);
    ASSERT_EQ(map->AddTileSet(set), 1);
    col->SetTileSize(32);
    col->SetSize(3, 2);
    for (int x = 0; x <= 3; ++x)
        for (int y = 0; y <= 2; ++y) {
            map->SetTile(x, y, 1, 0, 0);
            col->SetTile(x, y, x == 0 ? 1 : 0, 0);
        }
    values->SetString("class", "Level1");
    values->SetString("type", "outdoor");
    w.Add(map, "MAP0001", "solidGround");
    w.Add(set, "TS0001");
    w.Add(col, "COL0001", "mapCollision");
    w.Add(values, "VAL0001", "mapValues");
    EXPECT_EQ(ToHex(w.LevelBytes()), ToHex(reference));

    // A tile map saved on its own brings its set along.
    LevelWriter alone;
    alone.Add(map, "MAP0001", "solidGround");
    zFile loaded;
    ASSERT_TRUE(LoadLevel(alone.LevelBytes(), loaded));
    EXPECT_EQ(loaded.ChunkCount(), 2);
    EXPECT_NE(std::dynamic_pointer_cast<zTileSet>(loaded.GetInstance("TS0001")), nullptr);
}

TEST_F(LevelFileTest, EveryLayerSavesLoadsAndSavesTheSameBytes) {
    LevelWriter w;
    auto set = std::make_shared<zTileSet>();
    set->SetTileSize(32);
    set->Texture = zDDraw.LoadTexture("tiles.png", false, 0, 1, 0);
    set->GetTile(3)->FramesX = 2;
    set->GetTile(3)->AniNext = 77;
    auto map = std::make_shared<zTileMap>();
    map->SetTileSize(32);
    map->SetSize(4, 3);
    map->AddTileSet(set);
    map->SetTile(1, 2, 1, 3, 6);
    map->Meta->SetSingle("_z", 0.9f);
    auto col = std::make_shared<zCollisionMap>();
    col->SetTileSize(32);
    col->SetSize(4, 3);
    col->SetTile(2, 1, 5, 17);
    col->Meta->SetSingle("_Alpha", 0.5f);
    auto water = std::make_shared<zCollisionMap>();
    water->SetTileSize(16);
    water->SetSize(9, 7);
    water->x = 8;
    auto vs = std::make_shared<zValueSetMap>();
    vs->SetTileSize(32);
    vs->SetSize(4, 3);
    vs->CreateValueSet();
    vs->GetValueSet(1)->SetSingle("__R", 1);
    vs->SetTile(0, 0, 1);
    auto pic = std::make_shared<zPictureLayer>();
    pic->Texture = zDDraw.LoadTexture("fog.png", false, 0, 1, 0);
    pic->SetStretchMode(4);
    pic->Meta->SetSingle("_MoveX", 0.5f);
    auto cam = std::make_shared<zCamera>();
    cam->Configure(640, 480, true);
    auto values = std::make_shared<zValues>();
    values->SetString("type", "indoor");

    w.Add(set, "TS0001");
    w.Add(map, "MAP0001", "solidGround");
    w.Add(col, "COL0001", "mapCollision");
    w.Add(water, "COL0002", "mapWater");
    w.Add(vs, "VSM0001", "mapMaterials");
    w.Add(pic, "PIC0001", "mapFog");
    w.Add(cam, "CAM0001", "camera");
    w.Add(values, "VAL0001", "mapValues");
    const auto first = w.LevelBytes();

    zFile file;
    ASSERT_TRUE(LoadLevel(first, file));
    ASSERT_EQ(file.ChunkCount(), 8);
    LevelWriter again;
    for (int32_t i = 1; i <= file.ChunkCount(); ++i) {
        auto inst = file.GetChunk(i)->Instance;
        ASSERT_NE(inst, nullptr) << i;
        again.File.AddInstance(inst);
    }
    EXPECT_EQ(ToHex(again.LevelBytes()), ToHex(first));

    auto loadedMap = std::dynamic_pointer_cast<zTileMap>(file.FindInstance("solidGround"));
    ASSERT_NE(loadedMap, nullptr);
    EXPECT_EQ(loadedMap->GetTileSet(1), file.GetInstance("TS0001"));
    auto loadedVs = std::dynamic_pointer_cast<zValueSetMap>(file.FindInstance("mapMaterials"));
    ASSERT_NE(loadedVs, nullptr);
    EXPECT_EQ(loadedVs->GetValueSet(1)->GetSingle("__R"), 1.0f);
}

TEST_F(LevelFileTest, ABrokenChunkCostsOnlyItself) {
    Bytes shortGrid;
    shortGrid.Raw(Header(0, 0, 32, 16, 3, 2)).Grid(4, 3, [](int, int) { return 0; }).Long(4).Long(3).Byte(1);
    Bytes wrongSize;
    wrongSize.Raw(Header(0, 0, 32, 16, 3, 2)).Byte(0).Grid(2, 2, [](int, int) { return 0; });
    Bytes hugeSets;
    hugeSets.Raw(Header(0, 0, 32, 16, 0, 0)).Byte(255);
    const auto bytes = Container(ChunkFile({
        ChunkRecord("zCollisionMap", "COL0001", shortGrid.b, "mapCollision"),
        ChunkRecord("zValueSetMap", "VSM0001", wrongSize.b, "mapMaterials"),
        ChunkRecord("zTileMap", "MAP0001", hugeSets.b, "solidGround"),
        ChunkRecord("zValues", "VAL0001", ValuesRecord({{"type", "outdoor"}}), "mapValues"),
    }));
    LogCapture log;
    zFile file;
    ASSERT_TRUE(LoadLevel(bytes, file));
    EXPECT_EQ(file.FindInstance("mapCollision"), nullptr);
    EXPECT_EQ(file.FindInstance("mapMaterials"), nullptr);
    EXPECT_EQ(file.FindInstance("solidGround"), nullptr);
    ASSERT_NE(file.FindInstance("mapValues"), nullptr);
    EXPECT_TRUE(log.Contains("ERR"));
    EXPECT_TRUE(log.Contains("zCollisionMap"));
}

}  // namespace
}  // namespace zun::test::layers
