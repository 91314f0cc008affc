// Map items (animation, script events, collision outline, stored form) and the
// item map (loading with sorted buckets, drawing in bucket order with depth
// and colour, updates that change the map while it walks it).
#include <gtest/gtest.h>

#include "ObjectTestSupport.h"
#include "core/zFile.h"
#include "core/zValues.h"
#include "scene/zDataShape.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zShape.h"
#include "scene/zSprite.h"
#include "support/LevelBytes.h"
#include "support/LevelWriter.h"

namespace zun::test::layers {
namespace {

// Something the scene can hold as a script object; the scene never looks inside.
struct FakeScript {
    std::string Name;
};
std::shared_ptr<zScriptObject> ScriptOf(const std::shared_ptr<FakeScript>& f) {
    return std::shared_ptr<zScriptObject>(f, reinterpret_cast<zScriptObject*>(f.get()));
}
const FakeScript& Fake(zScriptObject& o) { return *reinterpret_cast<FakeScript*>(&o); }

// The stored form of one item, written independently of the classes.
struct ItemRec {
    float x = 0, y = 0, Z = 0;
    std::string texture = "items.png";
    int32_t SrcX = 0, W = 16, H = 16;
    float OriginX = 8, OriginY = 16;
    bool Visible = true, Colored = false;
    uint8_t Collides = 0;
    std::string Key, Class;
    std::vector<std::pair<std::string, int32_t>> longs;
};
std::vector<uint8_t> ItemBytes(const ItemRec& r) {
    return Bytes()
        .Single(r.x).Single(r.y).Single(r.Z).Single(0)
        .Raw(TexRef(r.texture))
        .Single(0).Single(1).Single(1)
        .Long(r.SrcX).Long(0).Long(r.W).Long(r.H)
        .Single(r.OriginX).Single(r.OriginY)
        .Bool(r.Visible).Byte(r.Collides).Bool(r.Colored).Bool(false).Bool(false)
        .String(r.Key).String(r.Class)
        .Raw(ValuesRecord({}, {}, r.longs))
        .b;
}

// A chunk record whose meta holds a name and depth values.
std::vector<uint8_t> Chunk(const std::string& cls, const std::string& guid, const std::vector<uint8_t>& data,
                           const std::vector<uint8_t>& meta) {
    std::vector<uint8_t> d = data;
    d.insert(d.end(), meta.begin(), meta.end());
    return Bytes().String(cls).Byte(1).String(guid).Long(0).Long(int32_t(d.size())).Long(int32_t(d.size())).Raw(d).b;
}

class ItemTest : public ObjectTest {
protected:
    std::vector<std::string> events;

    void SetUp() override {
        ObjectTest::SetUp();
        gSceneScript.Execute = [this](zScriptObject& o, const std::string& e) { events.push_back(Fake(o).Name + ":" + e); };
    }

    static std::shared_ptr<zItem> Item(float x, float y, float z = 0) {
        auto i = std::make_shared<zItem>();
        i->Sprite->x = x;
        i->Sprite->y = y;
        i->Sprite->Z = z;
        i->Sprite->W = i->Sprite->H = 16;
        i->Visible = true;
        return i;
    }

    // Runs Update once per frame from frame 1 to last and notes every frame
    // on which the animation frame changed.
    static std::vector<std::pair<int32_t, int32_t>> Timeline(zItem& item, int32_t last) {
        std::vector<std::pair<int32_t, int32_t>> changes;
        for (int32_t f = 1; f <= last; ++f) {
            zCore.FrameCounter = f;
            const int32_t before = item.AniFrame;
            const uint8_t mode = item.AniMode;
            item.Update();
            if (item.AniFrame != before || item.AniMode != mode) changes.push_back({f, item.AniFrame});
        }
        return changes;
    }
};

TEST_F(ItemTest, LoopAnimationRestsAtTheEnd) {
    zItem i;
    i.Sprite->W = 16;
    i.AniSpriteX = 100;
    i.AniMode = 1;
    i.AniDestFrame = 3;
    i.AniWait = 2;
    i.AniEndWait = 10;
    const auto t = Timeline(i, 24);
    // Frames 1, 2, 3 three frames apart, then 0, then 1 thirteen frames later.
    const std::vector<std::pair<int32_t, int32_t>> want{{1, 1}, {4, 2}, {7, 3}, {10, 0}, {23, 1}};
    EXPECT_EQ(t, want);
    EXPECT_EQ(i.Sprite->SrcX, 116);
    EXPECT_EQ(i.Sprite->SrcY, 0);
}

TEST_F(ItemTest, RunToFrameAnimationStops) {
    zItem i;
    i.Sprite->W = 10;
    i.AniMode = 2;
    i.AniFrame = 5;
    i.AniDestFrame = 2;
    const auto t = Timeline(i, 10);
    const std::vector<std::pair<int32_t, int32_t>> want{{1, 4}, {2, 3}, {3, 2}};
    EXPECT_EQ(t, want);
    EXPECT_EQ(i.AniMode, 0);
    EXPECT_EQ(i.Sprite->SrcX, 20);

    // Already there: the next due step shows that frame and stops.
    zItem j;
    j.Sprite->W = 10;
    j.AniSpriteX = 7;
    j.AniMode = 2;
    j.AniFrame = j.AniDestFrame = 3;
    j.AniNext = 5;
    zCore.FrameCounter = 5;
    j.Update();
    EXPECT_EQ(j.AniMode, 2);  // not due yet
    zCore.FrameCounter = 6;
    j.Update();
    EXPECT_EQ(j.AniMode, 0);
    EXPECT_EQ(j.Sprite->SrcX, 37);
}

TEST_F(ItemTest, ScriptGetsOnUpdateEveryCall) {
    auto script = std::make_shared<FakeScript>(FakeScript{"lamp"});
    zItem i;
    i.Update();  // no script object: nothing sent
    i.ScriptObject = ScriptOf(script);
    i.Update();
    i.Update();
    EXPECT_EQ(events, (std::vector<std::string>{"lamp:onUpdate", "lamp:onUpdate"}));
    // A script that drops its own object still returns to a live object.
    std::weak_ptr<FakeScript> watch = script;
    script.reset();
    gSceneScript.Execute = [&](zScriptObject& o, const std::string&) {
        i.ScriptObject.reset();
        EXPECT_FALSE(watch.expired());
        events.push_back(Fake(o).Name);
    };
    i.Update();
    EXPECT_EQ(events.back(), "lamp");
    EXPECT_TRUE(watch.expired());
}

TEST_F(ItemTest, StoredFormAndCollisionOutline) {
    WriteTexture("items.png", 64, 16);
    ItemRec r;
    r.x = 100;
    r.y = 50;
    r.Z = 30;
    r.SrcX = 32;
    r.Collides = 7;
    r.Key = "key1";
    r.Class = "Lamp";
    r.longs = {{"_color", 5}};
    zStream s(ItemBytes(r));
    zItem i;
    i.Import(s);
    EXPECT_EQ(s.Cursor, s.GetLength());
    EXPECT_GT(i.Sprite->Texture, 0);
    EXPECT_EQ(i.KeyName, "key1");
    EXPECT_EQ(i.ClassName_, "Lamp");
    EXPECT_EQ(i.Collides, 7);
    EXPECT_EQ(i.AniSpriteX, 32);
    EXPECT_EQ(i.Values->GetLong("_color"), 5);
    // The source rectangle at the anchor, ignoring the height.
    ASSERT_TRUE(i.Shape);
    const zShape& p = *i.Shape->Shape;
    EXPECT_EQ(p.Mode, zShape::ModePolygon);
    ASSERT_EQ(p.PointCount, 3);
    EXPECT_EQ(p.GetPoint(0), (Vector2{92, 34}));
    EXPECT_EQ(p.GetPoint(1), (Vector2{108, 34}));
    EXPECT_EQ(p.GetPoint(2), (Vector2{108, 50}));
    EXPECT_EQ(p.GetPoint(3), (Vector2{92, 50}));

    // Written back byte for byte; a plain item has no outline.
    zStream out;
    i.Export(out);
    EXPECT_EQ(out.Bytes(), ItemBytes(r));
    r.Collides = 0;
    zStream s2(ItemBytes(r));
    zItem plain;
    plain.Import(s2);
    EXPECT_FALSE(plain.Shape);

    // A new item can be stored at once.
    zItem fresh;
    zStream f;
    EXPECT_NO_THROW(fresh.Export(f));
}

TEST_F(ItemTest, MapFilesByGroundCellAndSortsByGroundY) {
    zItemMap m;
    m.SetSize(32, 9, 9);
    auto lifted = Item(10, 100, 40);
    m.AddItem(lifted, false);
    EXPECT_TRUE(m.GetTile(0, 1));  // (100 - 40) / 32: row 1, not 3
    EXPECT_FALSE(m.GetTile(0, 3));

    // Keys are the ground y: 40 before 50, although y - Z would say otherwise.
    auto a = Item(40, 50, 18), b = Item(40, 40, 0);
    m.AddItem(a, false);
    m.AddItem(b, false);
    m.AddItem(a, true);  // already in: nothing
    EXPECT_EQ(m.Items().size(), 3u);
    auto bucket = m.GetTile(1, 1);
    ASSERT_TRUE(bucket);
    ASSERT_EQ(bucket->size(), 2u);
    m.DepthSort(1, 1);
    EXPECT_EQ((*bucket)[0], b);
    EXPECT_EQ((*bucket)[1], a);

    // Outside the grid there is no collection, never a failure.
    for (auto [cx, cy] : {std::pair{-1, 0}, {0, -1}, {10, 0}, {0, 10}, {5, 5}}) EXPECT_FALSE(m.GetTile(cx, cy));
    m.DepthSort(-1, -1);

    m.RemoveItem(a);
    EXPECT_EQ(m.FindItem(a), 0);
    EXPECT_EQ(bucket->size(), 1u);
    m.RemoveItem(a);  // not there: nothing
    EXPECT_EQ(m.Items().size(), 2u);
}

// A row of equal depths behind a smaller one comes out reversed, whatever the
// size of the bucket: large buckets are sorted faster but to the same order.
TEST_F(ItemTest, EqualDepthsKeepTheirOrderInBucketsOfAnySize) {
    for (size_t rowLength : {size_t(5), size_t(600)}) {
        zItemMap m;
        m.SetSize(128, 1, 1);
        std::vector<std::shared_ptr<zItem>> row;
        for (size_t i = 0; i < rowLength; ++i) {
            row.push_back(Item(10, 60, 0));
            m.AddItem(row.back(), false);
        }
        auto front = Item(10, 20, 0);
        m.AddItem(front, false);
        m.DepthSort(0, 0);
        auto bucket = m.GetTile(0, 0);
        ASSERT_TRUE(bucket);
        ASSERT_EQ(bucket->size(), rowLength + 1);
        EXPECT_EQ((*bucket)[0], front) << rowLength;
        for (size_t i = 0; i < rowLength; ++i)
            ASSERT_EQ((*bucket)[i + 1], row[rowLength - 1 - i]) << rowLength << " items, place " << i;
    }
}

TEST_F(ItemTest, LoadedFixtureDrawsInBucketOrderWithDepthAndColour) {
    WriteTexture("items.png", 64, 16);
    auto rec = [](float x, float y, const std::string& key) {
        ItemRec r;
        r.x = x;
        r.y = y;
        r.Key = key;
        return r;
    };
    ItemRec A = rec(40, 60, "A"), B = rec(50, 50, "B"), C = rec(10, 10, "C"), D = rec(20, 20, "D");
    A.Colored = true;
    A.longs = {{"_color", int32_t(0xFF112233u)}};
    D.Visible = false;
    D.Colored = true;
    D.longs = {{"_color", 7}};
    Bytes data;
    data.Raw(Header(0, 0, 32, 16, 9, 9)).Long(4);
    for (const auto& r : {A, B, C, D}) data.Raw(ItemBytes(r));
    const auto meta = ValuesRecord({{"__Name", "mapItems"}}, {}, {}, {{"_z", 1.0f}});
    const auto level = Container(ChunkFile({Chunk("zItemMap", "ITEMS1", data.b, meta)}));

    zFile file;
    ASSERT_TRUE(LoadLevel(level, file));
    auto map = std::dynamic_pointer_cast<zItemMap>(file.FindInstance("mapItems"));
    ASSERT_TRUE(map);
    ASSERT_EQ(map->Items().size(), 4u);
    auto keys = [](const std::shared_ptr<std::vector<std::shared_ptr<zItem>>>& b) {
        std::string k;
        for (auto& i : *b) k += i->KeyName;
        return k;
    };
    ASSERT_TRUE(map->GetTile(1, 1) && map->GetTile(0, 0));
    EXPECT_EQ(keys(map->GetTile(1, 1)), "BA");  // sorted on load
    EXPECT_EQ(keys(map->GetTile(0, 0)), "CD");

    const int32_t base = int32_t(0xFFAABBCCu);
    zDDraw.DiffuseColor = base;
    map->Render(Camera(0, 0, 320, 200));
    EXPECT_EQ(zDDraw.DiffuseColor, base);
    const auto q = Quads();
    ASSERT_EQ(q.size(), 3u);  // D is hidden
    // Row by row, cell by cell, bucket order inside a cell.
    EXPECT_FLOAT_EQ(q[0].Left(), 10 - 8);
    EXPECT_FLOAT_EQ(q[1].Left(), 50 - 8);
    EXPECT_FLOAT_EQ(q[2].Left(), 40 - 8);
    EXPECT_NEAR(q[0].Z, 1.0f - 10.0f / 200, 1e-5);
    EXPECT_NEAR(q[1].Z, 1.0f - 50.0f / 200, 1e-5);
    EXPECT_NEAR(q[2].Z, 1.0f - 60.0f / 200, 1e-5);
    EXPECT_EQ(q[0].Color, uint32_t(base));
    EXPECT_EQ(q[1].Color, uint32_t(base));
    EXPECT_EQ(q[2].Color, 0xFF112233u);

    // Stored again, the map gives the same bytes.
    zStream out;
    map->Export(out);
    EXPECT_EQ(out.Bytes(), data.b);
}

TEST_F(ItemTest, MapDrawingFailsCleanlyOnAViewWithoutHeight) {
    const int32_t tex = AddTexture(16, 16);
    zItemMap m;
    m.SetSize(32, 9, 9);
    auto i = Item(10, 10);
    i->Sprite->Texture = tex;
    i->Colored = true;
    m.AddItem(i, false);
    zDDraw.DiffuseColor = 1234;
    EXPECT_EQ(FailureOf([&] { m.Render(Camera(0, 0, 320, 0)); }), "Division by zero");
    EXPECT_EQ(zDDraw.DiffuseColor, 1234);
    EXPECT_EQ(zCore.CurrentProc, "ItemMap_Render");
    // One row or one column: nothing drawn at all.
    m.SetSize(32, 9, 0);
    m.Resize(32, 9, 0);
    EXPECT_NO_THROW(m.Render(Camera(0, 0, 320, 0)));
}

TEST_F(ItemTest, UpdateSurvivesScriptsThatChangeTheMap) {
    zItemMap m;
    m.SetSize(32, 9, 9);
    auto a = Item(10, 10), b = Item(20, 20), c = Item(30, 30);
    auto sa = std::make_shared<FakeScript>(FakeScript{"a"}), sb = std::make_shared<FakeScript>(FakeScript{"b"});
    a->ScriptObject = ScriptOf(sa);
    b->ScriptObject = ScriptOf(sb);
    a->AniMode = 1;
    a->AniDestFrame = 5;
    for (auto& i : {a, b, c}) m.AddItem(i, false);
    std::weak_ptr<zItem> watchA = a;
    std::shared_ptr<zItem> added;
    gSceneScript.Execute = [&](zScriptObject& o, const std::string& e) {
        events.push_back(Fake(o).Name + ":" + e);
        if (Fake(o).Name == "a") {
            // The item takes itself off the map; nothing else holds it now.
            m.RemoveItem(a);
            a->ScriptObject.reset();
            a.reset();
            EXPECT_FALSE(watchA.expired());
        } else {
            added = Item(40, 40);
            m.AddItem(added, true);
            m.RemoveItem(c);
        }
    };
    zCore.FrameCounter = 1;
    m.Update();
    EXPECT_EQ(events, (std::vector<std::string>{"a:onUpdate", "b:onUpdate"}));
    EXPECT_TRUE(watchA.expired());  // gone once the walk let go of it
    ASSERT_EQ(m.Items().size(), 2u);
    EXPECT_EQ(m.Items()[0], b);
    EXPECT_EQ(m.Items()[1], added);
    EXPECT_EQ(m.FindItem(c), 0);
}

TEST_F(ItemTest, LevelWriterRoundTripKeepsEveryItem) {
    auto m = std::make_shared<zItemMap>();
    m->SetSize(64, 5, 5);
    for (int k = 0; k < 5; ++k) {
        auto i = Item(float(k * 50), float(k * 40));
        i->KeyName = "i" + std::to_string(k);
        m->AddItem(i, false);
    }
    LevelWriter w;
    w.Add(m, "IM1", "mapDoors");
    zFile back;
    ASSERT_TRUE(LoadLevel(w.LevelBytes(), back));
    auto loaded = std::dynamic_pointer_cast<zItemMap>(back.FindInstance("mapDoors"));
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Items().size(), 5u);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(loaded->Items()[size_t(k)]->KeyName, "i" + std::to_string(k));
    EXPECT_TRUE(loaded->GetTile(3, 2));  // (150, 120) / 64
}

}  // namespace
}  // namespace zun::test::layers
