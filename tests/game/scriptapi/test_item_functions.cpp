// Sprites and map items made and changed by scripts.
#include <algorithm>

#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class ItemFunctionsTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        MakeLevel();
        WriteTexture("Barrel.png", 64, 64);
        LoadScript(R"(class T {
            func make() {
                s = spriteCreate("Barrel.png", 8, 16, 24, 32, 12.5, 30);
                return itemCreate(s);
            }
            func sprite() { return spriteCreate("Barrel.png", 8, 16, 24, 32, 12.5, 30); }
            func twice(s) { a = itemCreate(s); b = itemCreate(s); return [a, b]; }
            func src(s, x, y) { spriteSetSrc(s, x, y); }
            func flags(i, v, m, sh) { itemSetVisible(i, v); itemSetMirrored(i, m); itemSetShadow(i, sh); }
            func pos3(i, x, y) { itemSetPos(i, x, y); }
            func pos4(i, x, y, z) { itemSetPos(i, x, y, z); }
            func size(i, w, h) { itemSetSize(i, w, h); }
            func rot(i, r) { itemSetRot(i, r); }
            func cls2(i, c) { itemSetClass(i, c); }
            func cls3(i, c, k) { itemSetClass(i, c, k); }
            func collide(i, c) { itemSetCollision(i, c); }
            func remove(i) { itemRemove(i); }
            func find(name) { return findItem(name); }
        }
        class Barrel {
            func onLoad() { record("onLoad"); }
            func hello() { return "hello " & _name; }
        })");
        t = Object("T");
    }
    std::shared_ptr<zScriptObject> t;
    static HostValue H(std::shared_ptr<iClass> o) { return HostValue(std::move(o)); }
    // The items filed in the bucket of the cell under (x, y).
    static bool Filed(const std::shared_ptr<zItem>& item, float x, float y) {
        auto b = gCharTest.mapItems->GetTile(int32_t(x) / 32, int32_t(y) / 32);
        return b && std::find(b->begin(), b->end(), item) != b->end();
    }
    static bool Listed(const std::shared_ptr<zItem>& item) {
        const auto& l = gCharTest.mapItems->Items();
        return std::find(l.begin(), l.end(), item) != l.end();
    }
};

TEST_F(ItemFunctionsTest, ASpriteFromATextureFileAndAnItemOnTheItemLayer) {
    auto r = t->Execute("make");
    auto item = std::dynamic_pointer_cast<zItem>(r->GetObject());
    ASSERT_TRUE(item);
    ASSERT_TRUE(item->Sprite);
    const zSprite& s = *item->Sprite;
    EXPECT_EQ(zDDraw.Textures[size_t(s.Texture)].FileName, "Barrel.png");
    EXPECT_FALSE(zDDraw.Textures[size_t(s.Texture)].Smooth);
    EXPECT_EQ(s.SrcX, 8);
    EXPECT_EQ(s.SrcY, 16);
    EXPECT_EQ(s.W, 24);
    EXPECT_EQ(s.H, 32);
    EXPECT_FLOAT_EQ(s.OriginX, 12.5f);
    EXPECT_FLOAT_EQ(s.OriginY, 30.0f);
    // The rest is a new sprite's.
    EXPECT_EQ(s.x, 0.0f);
    EXPECT_FLOAT_EQ(s.ZoomX, 1.0f);
    EXPECT_TRUE(Listed(item));
    EXPECT_FALSE(item->Visible);
    EXPECT_FALSE(item->ScriptObject);
}

TEST_F(ItemFunctionsTest, TwoItemsOfOneSpriteShareIt) {
    auto s = t->Execute("sprite")->GetObject();
    auto r = t->Execute("twice", {H(s)});
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    auto i1 = std::dynamic_pointer_cast<zItem>(a->GetIndex(1)->GetObject());
    auto i2 = std::dynamic_pointer_cast<zItem>(a->GetIndex(2)->GetObject());
    ASSERT_TRUE(i1 && i2);
    EXPECT_NE(i1, i2);
    EXPECT_EQ(i1->Sprite, s);
    EXPECT_EQ(i2->Sprite, s);
    EXPECT_EQ(gCharTest.mapItems->Items().size(), 2u);
}

TEST_F(ItemFunctionsTest, SourceAndFlags) {
    auto item = Item("barrel", 40, 40);
    t->Execute("src", {H(item->Sprite), HostValue(int32_t(48)), HostValue(int32_t(96))});
    EXPECT_EQ(item->Sprite->SrcX, 48);
    EXPECT_EQ(item->Sprite->SrcY, 96);
    t->Execute("flags", {H(item), false, true, true});
    EXPECT_FALSE(item->Visible);
    EXPECT_TRUE(item->Mirrored);
    EXPECT_TRUE(item->Shadow);
    t->Execute("flags", {H(item), "true", 0, HostValue(int32_t(0))});
    EXPECT_TRUE(item->Visible);
    EXPECT_FALSE(item->Mirrored);
    EXPECT_FALSE(item->Shadow);
    t->Execute("collide", {H(item), HostValue(int32_t(3))});
    EXPECT_EQ(item->Collides, 3);
}

TEST_F(ItemFunctionsTest, MovingAnItemRefilesItAndRefreshesItsScriptValues) {
    auto item = ScriptedItem("barrel", "Barrel", 40, 40);
    item->Sprite->Z = 7;
    gCharTest.mapItems->AddItem(item, false);
    ASSERT_TRUE(Filed(item, 40, 40));

    t->Execute("pos3", {H(item), HostValue(300.0f), HostValue(200.0f)});
    EXPECT_FLOAT_EQ(item->Sprite->x, 300.0f);
    EXPECT_FLOAT_EQ(item->Sprite->y, 200.0f);
    EXPECT_FLOAT_EQ(item->Sprite->Z, 7.0f);
    EXPECT_FALSE(Filed(item, 40, 40));
    EXPECT_TRUE(Filed(item, 300, 200));
    const zScriptArray& locals = *item->ScriptObject->Locals;
    auto* z = const_cast<zScriptArray&>(locals).GetName("_z");
    ASSERT_TRUE(z);
    EXPECT_EQ(z->Typ, typFloat);
    EXPECT_FLOAT_EQ(z->GetSingle(), 7.0f);
    EXPECT_FLOAT_EQ(item->ScriptObject->Locals->GetName("_x")->GetSingle(), 300.0f);
    EXPECT_FLOAT_EQ(item->ScriptObject->Locals->GetName("_y")->GetSingle(), 200.0f);

    t->Execute("pos4", {H(item), HostValue(50.0f), HostValue(60.0f), HostValue(2.5f)});
    EXPECT_FLOAT_EQ(item->Sprite->Z, 2.5f);
    EXPECT_FLOAT_EQ(item->ScriptObject->Locals->GetName("_z")->GetSingle(), 2.5f);
    EXPECT_EQ(gCharTest.mapItems->Items().size(), 1u);
}

TEST_F(ItemFunctionsTest, MovingADoorPutsItOnTheItemLayerToo) {
    auto door = Item("gate", 40, 40);
    gCharTest.mapDoors->AddItem(door, false);
    t->Execute("pos3", {H(door), HostValue(80.0f), HostValue(80.0f)});
    EXPECT_TRUE(Listed(door));
    EXPECT_EQ(gCharTest.mapDoors->Items().size(), 1u);
}

TEST_F(ItemFunctionsTest, SizeIsZoomAgainstTheSourceRectangle) {
    auto item = Item("barrel", 40, 40);  // 24 x 32
    t->Execute("size", {H(item), HostValue(24.0f), HostValue(32.0f)});
    EXPECT_FLOAT_EQ(item->Sprite->ZoomX, 1.0f);
    EXPECT_FLOAT_EQ(item->Sprite->ZoomY, 1.0f);
    t->Execute("size", {H(item), HostValue(48.0f), HostValue(8.0f)});
    EXPECT_FLOAT_EQ(item->Sprite->ZoomX, 2.0f);
    EXPECT_FLOAT_EQ(item->Sprite->ZoomY, 0.25f);
    // A sprite without a source width keeps its zoom on that axis.
    item->Sprite->W = 0;
    t->Execute("size", {H(item), HostValue(10.0f), HostValue(64.0f)});
    EXPECT_FLOAT_EQ(item->Sprite->ZoomX, 2.0f);
    EXPECT_FLOAT_EQ(item->Sprite->ZoomY, 2.0f);
}

TEST_F(ItemFunctionsTest, RotationAndItsScriptValue) {
    auto plain = Item("a", 10, 10);
    t->Execute("rot", {H(plain), HostValue(1.5f)});
    EXPECT_FLOAT_EQ(plain->Sprite->R, 1.5f);
    auto scripted = ScriptedItem("b", "Barrel", 10, 10);
    t->Execute("rot", {H(scripted), HostValue(0.5f)});
    EXPECT_FLOAT_EQ(scripted->ScriptObject->Locals->GetName("_r")->GetSingle(), 0.5f);
}

TEST_F(ItemFunctionsTest, AClassGivesANewScriptObjectWithoutLoadEvent) {
    auto item = Item("barrel", 40, 40);
    gCharTest.mapItems->AddItem(item, false);
    t->Execute("cls3", {H(item), "Barrel", "keg"});
    ASSERT_TRUE(item->ScriptObject);
    EXPECT_EQ(item->ClassName_, "Barrel");
    EXPECT_EQ(item->KeyName, "keg");
    EXPECT_EQ(item->ScriptObject->Name, "keg");
    EXPECT_EQ(item->ScriptObject->Origin.lock(), item);
    EXPECT_TRUE(records.empty());
    EXPECT_FALSE(item->ScriptObject->Locals->GetName("_x"));

    // With two arguments the script object keeps its own (empty) name.
    auto other = Item("cask", 40, 40);
    t->Execute("cls2", {H(other), "Barrel"});
    EXPECT_EQ(other->ClassName_, "Barrel");
    EXPECT_EQ(other->KeyName, "");
}

TEST_F(ItemFunctionsTest, TheEmptyClassTakesTheScriptObjectAway) {
    auto item = ScriptedItem("barrel", "Barrel", 40, 40);
    gCharTest.mapItems->AddItem(item, false);
    t->Execute("cls2", {H(item), ""});
    EXPECT_FALSE(item->ScriptObject);
    EXPECT_EQ(item->ClassName_, "");
    auto r = t->Execute("find", {"barrel"});
    EXPECT_EQ(r->Typ, typObject);
    EXPECT_FALSE(r->GetObject());
    EXPECT_EQ(LogCount("No class loaded\tbarrel"), 1u);
}

TEST_F(ItemFunctionsTest, AnUnknownClassLeavesTheItemsNames) {
    auto item = ScriptedItem("barrel", "Barrel", 40, 40);
    t->Execute("cls3", {H(item), "Nope", "other"});
    EXPECT_EQ(LogCount("Script class not found\tNope"), 1u);
    EXPECT_EQ(item->ClassName_, "Barrel");
    EXPECT_EQ(item->KeyName, "barrel");
    ASSERT_TRUE(item->ScriptObject);
    EXPECT_FALSE(item->ScriptObject->Class);
}

TEST_F(ItemFunctionsTest, RemovedItemsLeaveTheLayerButLiveOn) {
    auto item = Item("barrel", 40, 40);
    gCharTest.mapItems->AddItem(item, false);
    t->Execute("remove", {H(item)});
    EXPECT_FALSE(Listed(item));
    EXPECT_FALSE(Filed(item, 40, 40));
    // Removing twice, or an item never placed, changes nothing.
    t->Execute("remove", {H(item)});
    EXPECT_TRUE(gCharTest.mapItems->Items().empty());
}

TEST_F(ItemFunctionsTest, BeforeALevelItemsAreMadeButPlacedNowhere) {
    gCharTest.mapItems = nullptr;
    auto r = t->Execute("make");
    auto item = std::dynamic_pointer_cast<zItem>(r->GetObject());
    ASSERT_TRUE(item);
    t->Execute("pos3", {H(item), HostValue(5.0f), HostValue(6.0f)});
    EXPECT_FLOAT_EQ(item->Sprite->x, 5.0f);
    t->Execute("remove", {H(item)});
}

TEST_F(ItemFunctionsTest, ObjectsOfTheWrongKindFailTheScript) {
    auto s = t->Execute("sprite")->GetObject();
    t->Execute("flags", {H(s), true, true, true});  // a sprite is no item
    EXPECT_NE(Logged().find("Type mismatch"), std::string::npos);
    auto bare = std::make_shared<zItem>();
    bare->Sprite = nullptr;
    t->Execute("pos3", {H(bare), HostValue(1.0f), HostValue(1.0f)});
    EXPECT_NE(Logged().find("Object variable or With block variable not set"), std::string::npos);
}

}  // namespace
}  // namespace tarv::test
