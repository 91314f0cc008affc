// Scripted items and areas under a point: which cells are looked at, what
// counts as a hit, and which of several hits gets the event.
#include <cmath>

#include "CharTestSupport.h"
#include "scene/zDataShape.h"
#include "scene/zItemMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"
#include "script/zScriptObject.h"

namespace tarv::test {
namespace {

class Hits : public CharTest {
protected:
    std::shared_ptr<zItemMap> items = std::make_shared<zItemMap>();
    std::shared_ptr<zObjectsMap> areas = std::make_shared<zObjectsMap>();

    void SetUp() override {
        CharTest::SetUp();
        LoadScript(R"(
class Thing {
  func onLook() { record("look", id); return id; }
}
)");
        items->SetSize(32, 9, 9);
        areas->SetSize(32, 9, 9);
    }
    std::shared_ptr<zScriptObject> Scripted(const std::string& id) {
        auto o = Object("Thing");
        o->Locals->SetNameValue("id", HostValue(id));
        return o;
    }
    // An item drawn over (x - ox .. x - ox + w) x (y - oy .. y - oy + h).
    std::shared_ptr<zItem> Item(const std::string& id, float x, float y, int32_t w, int32_t h, float ox, float oy,
                                bool scripted = true) {
        auto it = std::make_shared<zItem>();
        it->Sprite->SetPosition(x, y);
        it->Sprite->W = w;
        it->Sprite->H = h;
        it->Sprite->OriginX = ox;
        it->Sprite->OriginY = oy;
        if (scripted) it->ScriptObject = Scripted(id);
        return it;
    }
    void Add(const std::shared_ptr<zItem>& it) { items->AddItem(it, false); }
    std::string ExecItem(float x, float y) {
        auto r = gCharTest.ExecuteItemAt(items.get(), x, y, "onLook");
        return r ? r->GetString() : "nothing";
    }
    std::string GetItem(float x, float y) {
        auto it = gCharTest.GetItemAt(items.get(), x, y, "onLook");
        if (!it) return "nothing";
        return it->ScriptObject->Locals->GetName("id")->GetString();
    }
    std::shared_ptr<zDataShape> Area(const std::string& id, float x, float y, float w, float h, bool scripted = true) {
        auto a = std::make_shared<zDataShape>();
        a->Shape->Mode = zShape::ModeRectangle;
        a->Shape->x = x;
        a->Shape->y = y;
        a->Shape->W = w;
        a->Shape->H = h;
        if (scripted) a->ScriptObject = Scripted(id);
        areas->AddObject(a);
        return a;
    }
};

TEST_F(Hits, OnlyExistingCellsAreScannedAtTheMapEdge) {
    Add(Item("corner", 0, 20, 20, 20, 0, 20));
    EXPECT_EQ(ExecItem(5, 5), "corner");
    EXPECT_EQ(GetItem(5, 5), "corner");
    EXPECT_EQ(records, (std::vector<std::string>{"look,corner"})) << "Get runs nothing";
    Add(Item("last", 310, 315, 10, 10, 0, 10));
    EXPECT_EQ(ExecItem(315, 312), "last");
    EXPECT_EQ(ExecItem(-1000, -1000), "nothing");
    EXPECT_EQ(ExecItem(1e30f, 5), "nothing");
    EXPECT_EQ(gCharTest.ExecuteItemAt(nullptr, 5, 5, "onLook"), nullptr);
    EXPECT_EQ(gCharTest.GetItemAt(nullptr, 5, 5, ""), nullptr);
}

TEST_F(Hits, ItemsWithoutAScriptObjectAreNeverFound) {
    Add(Item("plain", 100, 120, 40, 40, 20, 40, false));
    EXPECT_EQ(ExecItem(100, 100), "nothing");
    EXPECT_EQ(GetItem(100, 100), "nothing");
}

TEST_F(Hits, TheFrontMostHitGetsTheEventButGetTakesTheFirstScanned) {
    // Both cover (50, 90). "back" sits in cell column 0, scanned first; "front" is lower on screen.
    Add(Item("back", 20, 100, 40, 40, 0, 40));
    Add(Item("front", 40, 110, 20, 40, 0, 40));
    EXPECT_EQ(ExecItem(50, 90), "front");
    EXPECT_EQ(GetItem(50, 90), "back");
}

TEST_F(Hits, EqualHeightsKeepTheEarlierHit) {
    Add(Item("first", 40, 100, 20, 40, 0, 40));
    Add(Item("second", 40, 100, 20, 40, 0, 40));
    EXPECT_EQ(ExecItem(50, 90), "first");
}

TEST_F(Hits, ColumnsAreTheOuterLoopOfTheScan) {
    // The point's cell is (1, 1): (0, 2) is scanned before (1, 0).
    Add(Item("up", 40, 40, 40, 40, 0, 40));    // cell (1, 1)... drawn 40..80 x 0..40
    Add(Item("left", 20, 70, 60, 60, 0, 60));  // cell (0, 2), drawn 20..80 x 10..70
    EXPECT_EQ(GetItem(50, 35), "left");
}

TEST_F(Hits, ALiftedItemIsHitWhereItIsDrawn) {
    auto it = Item("lifted", 100, 200, 20, 20, 10, 20);
    it->Sprite->Z = 50;  // drawn over 90..110 x 130..150
    Add(it);
    EXPECT_EQ(ExecItem(100, 140), "lifted");
    EXPECT_EQ(ExecItem(100, 190), "nothing");
}

TEST_F(Hits, TurnedAndScaledItems) {
    auto turned = Item("turned", 200, 200, 40, 10, 0, 0);
    turned->Sprite->R = 1.570796f;  // the 40-pixel side now runs down from the origin
    Add(turned);
    EXPECT_EQ(ExecItem(195, 220), "turned");
    EXPECT_EQ(ExecItem(220, 205), "nothing");

    auto zoomed = Item("zoomed", 100, 50, 10, 10, 0, 0);
    zoomed->Sprite->ZoomX = 2;  // drawn 100..120 across
    Add(zoomed);
    EXPECT_EQ(ExecItem(115, 55), "zoomed");
    zoomed->Sprite->ZoomX = 0;
    EXPECT_EQ(ExecItem(100, 55), "nothing") << "an item drawn with no width covers nothing";
    zoomed->Sprite->ZoomX = 1e-40f;
    EXPECT_EQ(ExecItem(101, 55), "nothing") << "nor does one whose frame overflows";
}

TEST_F(Hits, AHitAtHeightZeroIsFoundButNotChosen) {
    Add(Item("top", 10, 0, 20, 20, 0, 0));
    EXPECT_EQ(ExecItem(15, 5), "nothing");
    EXPECT_EQ(GetItem(15, 5), "top");
}

TEST_F(Hits, TheFrontMostAreaGetsTheEvent) {
    Area("big", 10, 10, 100, 100);
    Area("inner", 40, 40, 30, 30);
    Area("unscripted", 45, 45, 10, 10, false);
    auto r = gCharTest.ExecuteAreaAt(areas.get(), 50, 50, "onLook");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetString(), "inner");
    auto first = gCharTest.GetAreaAt(areas.get(), 50, 50, "onLook");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->ScriptObject->Locals->GetName("id")->GetString(), "big");
    EXPECT_EQ(gCharTest.ExecuteAreaAt(areas.get(), 300, 300, "onLook"), nullptr);
    EXPECT_EQ(gCharTest.ExecuteAreaAt(nullptr, 50, 50, "onLook"), nullptr);
    EXPECT_EQ(records, (std::vector<std::string>{"look,inner"}));
}

TEST_F(Hits, AnAreaWhoseObjectHasNoClassGivesNoResult) {
    auto a = Area("x", 10, 10, 20, 20);
    a->ScriptObject = zScriptObject::New();
    EXPECT_EQ(gCharTest.ExecuteAreaAt(areas.get(), 15, 15, "onLook"), nullptr);
    EXPECT_EQ(gCharTest.GetAreaAt(areas.get(), 15, 15, ""), a);
}

TEST_F(Hits, TheEventMayRemoveItsOwnItem) {
    LoadScript(R"(
class Vanishing {
  func onLook() { record("gone"); return 1; }
}
)");
    auto it = Item("v", 100, 120, 40, 40, 20, 40, false);
    it->ScriptObject = Object("Vanishing");
    Add(it);
    gScriptHooks.CallGameFunction = [&](zScriptObject*, zScriptArray*, const std::string& name,
                                        zScriptArgs&) -> ValueRef {
        if (name != "record") return nullptr;
        items->RemoveItem(it);
        it.reset();
        return zScriptValue::New();
    };
    zScript.ResetDispatch();
    auto r = gCharTest.ExecuteItemAt(items.get(), 100, 100, "onLook");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetLong(), 1);
    EXPECT_TRUE(items->Items().empty());
}

}  // namespace
}  // namespace tarv::test
