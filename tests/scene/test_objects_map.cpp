// The objects map: buckets by position, lookups outside the grid, drawing of
// the cells in view, and storage of mixed classes through the object factory.
#include <gtest/gtest.h>

#include "ObjectTestSupport.h"
#include "core/zFile.h"
#include "core/zValues.h"
#include "scene/zDataShape.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"
#include "support/LevelBytes.h"
#include "support/LevelWriter.h"

namespace zun::test::layers {
namespace {

class ObjectsMapTest : public ObjectTest {
protected:
    std::vector<std::string> drawn;

    std::shared_ptr<TestMarker> Marker(float x, float y, const std::string& tag) {
        auto m = std::make_shared<TestMarker>();
        m->x = x;
        m->y = y;
        m->Tag = tag;
        m->Drawn = &drawn;
        return m;
    }
    static std::shared_ptr<zDataShape> Area(float x, float y, const std::string& key) {
        auto d = std::make_shared<zDataShape>();
        d->Shape->Mode = zShape::ModeRectangle;
        d->Shape->x = x;
        d->Shape->y = y;
        d->Shape->W = d->Shape->H = 10;
        d->KeyName = key;
        return d;
    }
};

TEST_F(ObjectsMapTest, BucketsFollowThePositionAtRegistration) {
    zObjectsMap m;
    EXPECT_EQ(m.TileW, 128);
    EXPECT_EQ(m.W, 0);
    m.SetSize(32, 4, 4);
    auto a = Marker(10, 10, "a");
    m.AddObject(a);
    m.AddObject(a);
    ASSERT_EQ(m.Objects().size(), 1u);
    ASSERT_TRUE(m.GetTile(0, 0));
    EXPECT_EQ(m.GetTile(0, 0)->size(), 1u);
    EXPECT_FALSE(m.GetTile(1, 1));  // never held an object: no collection

    // Left of the map or beyond its last column: listed, never found.
    auto left = Marker(-1, 10, "left"), right = Marker(5 * 32, 10, "right");
    m.AddObject(left);
    m.AddObject(right);
    EXPECT_EQ(m.Objects().size(), 3u);
    EXPECT_FALSE(m.GetTile(-1, 0));
    EXPECT_FALSE(m.GetTile(5, 0));

    // A move without unregistering leaves the old bucket holding it.
    a->SetPosition(40, 40);
    m.UnregisterObject(a);
    EXPECT_EQ(m.GetTile(0, 0)->size(), 1u);
    EXPECT_FALSE(m.GetTile(1, 1));

    m.SetSize(32, 4, 4);
    EXPECT_FALSE(m.GetTile(0, 0));
    EXPECT_EQ(m.Objects().size(), 3u);
    m.Resize(32, 4, 4);
    ASSERT_TRUE(m.GetTile(1, 1));
    EXPECT_EQ(m.GetTile(1, 1)->front(), a);

    m.RemoveObject(a);
    EXPECT_EQ(m.FindObject(a), 0);
    EXPECT_TRUE(m.GetTile(1, 1)->empty());
}

TEST_F(ObjectsMapTest, DrawsTheCellsInViewRowByRow) {
    zObjectsMap m;
    m.SetSize(32, 20, 20);
    for (auto& o : {Marker(70, 40, "r1c2"), Marker(5, 40, "r1c0"), Marker(5, 5, "r0c0"), Marker(600, 5, "far")})
        m.AddObject(o);
    zDDraw.RenderZ = 0.5f;
    m.Render(Camera(0, 0, 100, 100));
    EXPECT_EQ(drawn, (std::vector<std::string>{"r0c0", "r1c0", "r1c2"}));
    EXPECT_EQ(zDDraw.RenderZ, 0.0f);
    EXPECT_EQ(zCore.CurrentProc, "ObjectsMap_Render");

    drawn.clear();
    m.SetSize(0, 20, 20);
    m.Render(Camera(0, 0, 100, 100));
    EXPECT_TRUE(drawn.empty());
    EXPECT_EQ(FailureOf([&] { m.AddObject(Marker(1, 1, "x")); }), "Division by zero");
}

TEST_F(ObjectsMapTest, StoredFormOfDataShapes) {
    zObjectsMap m;
    m.SetSize(64, 2, 2);
    m.ContentClass = "zDataShape";
    auto s1 = Area(10, 10, "one"), s2 = Area(70, 10, "two"), s3 = Area(10, 70, "three");
    for (auto& s : {s1, s2, s3}) m.AddObject(s);
    zStream out;
    m.Export(out);
    Bytes want;
    want.Raw(Header(0, 0, 64, 32, 2, 2)).Long(3).String("zDataShape");
    for (auto& s : {s1, s2, s3}) {
        zStream one;
        s->Export(one);
        want.String("zDataShape").Raw(one.Bytes());
    }
    EXPECT_EQ(out.Bytes(), want.b);

    zObjectsMap back;
    back.AddObject(Marker(1, 1, "old"));
    out.Cursor = 0;
    back.Import(out);
    ASSERT_EQ(back.Objects().size(), 3u);  // what was there before is gone
    EXPECT_EQ(back.ContentClass, "zDataShape");
    auto d = std::dynamic_pointer_cast<zDataShape>(back.Objects()[1]);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->KeyName, "two");
    ASSERT_TRUE(back.GetTile(1, 0));
    EXPECT_EQ(back.GetTile(1, 0)->front(), back.Objects()[1]);
}

TEST_F(ObjectsMapTest, MixedClassesRoundTripThroughALevelFile) {
    auto m = std::make_shared<zObjectsMap>();
    m->SetSize(32, 9, 9);
    m->AddObject(Area(10, 10, "area"));
    m->AddObject(Marker(50, 50, "mark"));
    m->AddObject(Area(100, 10, "area2"));
    LevelWriter w;
    w.Add(m, "OBJ1", "mapAreas");
    zFile file;
    ASSERT_TRUE(LoadLevel(w.LevelBytes(), file));
    auto back = std::dynamic_pointer_cast<zObjectsMap>(file.FindInstance("mapAreas"));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Objects().size(), 3u);
    EXPECT_TRUE(std::dynamic_pointer_cast<zDataShape>(back->Objects()[0]));
    auto mark = std::dynamic_pointer_cast<TestMarker>(back->Objects()[1]);
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->Tag, "mark");
    EXPECT_EQ(std::dynamic_pointer_cast<zDataShape>(back->Objects()[2])->KeyName, "area2");
}

TEST_F(ObjectsMapTest, UnknownOrUnfitClassesFailTheImportCleanly) {
    auto entry = [](const std::string& cls) {
        return Bytes().String(cls).Single(1).Single(1).String("x").b;
    };
    auto layer = [&](const std::vector<std::vector<uint8_t>>& entries) {
        Bytes b;
        b.Raw(Header(0, 0, 32, 16, 3, 3)).Long(int32_t(entries.size())).String("");
        for (auto& e : entries) b.Raw(e);
        return b.b;
    };
    LogCapture log;
    zObjectsMap m;
    zStream unknown(layer({entry("tMarker"), entry("zNoSuchClass"), entry("tMarker")}));
    EXPECT_EQ(FailureOf([&] { m.Import(unknown); }), "Class not found: zNoSuchClass");
    EXPECT_TRUE(log.Contains("Class not found"));
    EXPECT_EQ(m.Objects().size(), 1u);  // the one read before stays

    // A registered class that is no map object is refused the same way.
    zStream unfit(layer({entry("zValues")}));
    EXPECT_EQ(FailureOf([&] { m.Import(unfit); }), "Type mismatch");
    EXPECT_TRUE(log.Contains("Not a map object"));
    EXPECT_TRUE(m.Objects().empty());

    // Through the chunk file the layer fails alone and the loader goes on.
    const auto level = Container(ChunkFile({ChunkRecord("zObjectsMap", "O1", layer({entry("zGhost")}), "mapAreas"),
                                            ChunkRecord("zValues", "V1", ValuesRecord(), "mapValues")}));
    zFile file;
    ASSERT_TRUE(LoadLevel(level, file));
    EXPECT_TRUE(file.FindInstance("mapValues"));
}

}  // namespace
}  // namespace zun::test::layers
