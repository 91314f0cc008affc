// Level loading: chunks bound by name, the script objects of items, doors,
// characters, decoration, areas and the level made in order, the release of
// the old level with its saved values, and bad or missing files.
#include <algorithm>
#include <functional>

#include "ShellTestSupport.h"
#include "game/world/gCharset.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"
#include "scene/zParticleEmitter.h"
#include "scene/zSoundEmitter.h"
#include "scene/zSpriteMap.h"
#include "scene/zTileMap.h"
#include "scene/zValueSetMap.h"

namespace tarv::test {
namespace {

using zun::test::LevelWriter;

// A chunk class the loader does not know.
class Ghost : public iChunk {
public:
    std::string ClassName() const override { return "tGhost"; }
    std::shared_ptr<iChunk> Create() const override { return std::make_shared<Ghost>(); }
    bool Import(zStream&) override { return true; }
    bool Export(zStream&) override { return true; }
};

const char* kScript = R"(
class Thing {
  visits = 0;
  static(visits);
  func onLoad() { visits = visits + 1; record("load", _name, _class, _x, _y, visits); }
  func onRelease() { record("release", _name); }
}
class Walker : Thing { }
class Spot { func onLoad() { record("area", _name, _class); } func onRelease() { record("release", _name); } }
class Forest : Thing { func onLoad() { visits = visits + 1; record("level", _name, _class, type, visits); } }
class Hero { func onRelease() { record("release", "hero"); } }
class Jumper { func onLoad() { loadLevel(target); } }
)";

class LevelLoadTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        LoadScript(kScript);
        gCharTest.Player->Item->ScriptObject = Object("Hero");
    }

    // The full test level: every kind of placed object, and chunks that must not bind.
    void WriteForest(const std::string& file = "forest") {
        LevelWriter w;
        w.Add(std::make_shared<Ghost>(), "G1");
        auto ground = w.Add(std::make_shared<zTileMap>(), "T1", "solidGround");
        ground->SetTileSize(32);
        w.Add(ItemLayer({Item("stale", "Thing", 1, 1)}), "I0", "mapItems");
        w.Add(std::make_shared<zCollisionMap>(), "C0", "mapItems");  // wrong class: not bound
        auto chest = Item("chest", "Thing", 100, 50);
        chest->Values->SetSingle("_x", 999);  // the sprite's place wins
        w.Add(ItemLayer({chest, Item("rock", "", 10, 10)}), "I1", "mapItems");
        w.Add(ItemLayer({Item("fake", "Thing", 5, 5)}), "I2", "MapItems");
        w.Add(ItemLayer({Item("door", "Thing", 200, 60)}), "D1", "mapDoors");
        auto guard = Item("guard", "Walker", 300, 70, 33, 48, 15.5f, 30.5f);
        guard->Collides = 2;
        w.Add(ItemLayer({guard, Item("statue", "", 20, 20)}), "CH", "mapChars");
        w.Add(ItemLayer({Item("bird", "Thing", 40, 80, 33, 20), Item("bird2", "Thing", 41, 80, 35, 20)}), "DE",
              "mapDeco");
        auto areas = w.Add(std::make_shared<zObjectsMap>(), "A1", "mapAreas");
        auto pond = std::make_shared<zDataShape>();
        pond->KeyName = "pond";
        pond->ClassName_ = "Spot";
        pond->Shape->Mode = zShape::ModeRectangle;
        pond->Shape->W = pond->Shape->H = 10;
        areas->AddObject(pond);
        auto emitters = w.Add(std::make_shared<zEmitterMap>(), "E1", "mapEmitters");
        emitters->AddEmitter(std::make_shared<zSoundEmitter>());
        auto values = w.Add(std::make_shared<zValues>(), "V1", "mapValues");
        values->SetString("class", "Forest");
        values->SetString("type", "outdoor");
        w.Add(std::make_shared<zValues>(), "V2");
        WriteLevel(file, w);
    }
};

TEST_F(LevelLoadTest, AFirstLoadBindsTheLayersAndBuildsTheScriptObjectsInOrder) {
    WriteForest();
    zun::test::LogCapture log;
    LoadLevel("forest");

    EXPECT_EQ(records, (std::vector<std::string>{"load,chest,Thing,100,50,1", "load,door,Thing,200,60,1",
                                                 "load,guard,Walker,300,70,1", "load,bird,Thing,40,80,1",
                                                 "load,bird2,Thing,41,80,1", "area,pond,Spot",
                                                 "level,level,Forest,outdoor,1"}));
    EXPECT_TRUE(log.Contains("Could not load Chunk tGhost"));
    EXPECT_TRUE(log.Contains("Chunk of the wrong class"));
    EXPECT_FALSE(log.Contains("No solidGround"));
    ASSERT_TRUE(gCharTest.mapItems && gCharTest.solidGround && gCharTest.mapDoors && gCharTest.mapAreas);
    ASSERT_EQ(gCharTest.mapItems->Items().size(), 2u);
    EXPECT_EQ(gCharTest.mapItems->Items()[0]->KeyName, "chest");
    EXPECT_EQ(gCharTest.mapItems->Items()[1]->ScriptObject, nullptr);  // "rock" has no class
    EXPECT_EQ(gCharTest.mapItems->Items()[0]->ScriptObject->Origin.lock(), gCharTest.mapItems->Items()[0]);
    EXPECT_FALSE(gCharTest.picFog || gCharTest.mapWater || gCharTest.mapLights);

    // The player first, then the scripted placements; decoration apart.
    ASSERT_EQ(gCharTest.Chars.size(), 2u);
    EXPECT_EQ(gCharTest.Chars[0], gCharTest.Player);
    const auto guard = gCharTest.Chars[1];
    EXPECT_EQ(guard->Item->KeyName, "guard");
    EXPECT_EQ(guard->Sprite, guard->Item->Sprite);
    EXPECT_EQ(guard->Item->ScriptObject->Origin.lock(), guard);
    EXPECT_EQ(guard->CollisionShape, 2);
    EXPECT_EQ(guard->CollisionFlags, 1);
    EXPECT_EQ(guard->CharSet->FramesX, 3);
    EXPECT_EQ(guard->CharSet->FramesY, 4);
    EXPECT_EQ(guard->CharSet->AniWait, 2);
    EXPECT_EQ(guard->CharSet->OffsetX, 16);  // 15.5 to even
    EXPECT_EQ(guard->CharSet->OffsetY, 30);  // 30.5 to even
    ASSERT_EQ(gCharTest.Deco.size(), 2u);
    EXPECT_EQ(gCharTest.Deco[0]->CharSet->OffsetX, 16);  // 33 / 2 to even
    EXPECT_EQ(gCharTest.Deco[1]->CharSet->OffsetX, 18);  // 35 / 2 to even
    EXPECT_EQ(gCharTest.Deco[0]->CharSet->OffsetY, 19);
    EXPECT_EQ(gCharTest.LevelObject->Origin.lock(), frmMain.LevelFile);
}

TEST_F(LevelLoadTest, TheNextLoadReleasesTheOldLevelAndGivesBackSavedValues) {
    WriteForest();
    LoadLevel("forest");
    auto tick = Object("Spot");
    tick->Locals->SetNameValue("_name", HostValue(std::string("tick")));
    gCharTest.UpdateObjects.push_back(tick);
    auto sound = std::dynamic_pointer_cast<zSoundEmitter>(gCharTest.mapEmitters->Emitters()[0]);
    sound->Playing = true;
    gCharTest.Particles->AddParticle(std::make_shared<zParticle>());
    gCharTest.LightParticles->AddParticle(std::make_shared<zParticle>());
    gCharTest.Player->MovePath->IsActive = true;
    records.clear();

    LoadLevel("forest");
    EXPECT_EQ(records, (std::vector<std::string>{
                           "release,tick", "release,chest", "release,door", "release,hero", "release,guard",
                           "release,bird", "release,bird2", "release,pond", "release,level",
                           // Decoration saved nothing: it starts again from the file.
                           "load,chest,Thing,100,50,2", "load,door,Thing,200,60,2", "load,guard,Walker,300,70,2",
                           "load,bird,Thing,40,80,1", "load,bird2,Thing,41,80,1", "area,pond,Spot",
                           "level,level,Forest,outdoor,2"}));
    EXPECT_TRUE(gCharTest.UpdateObjects.empty());
    EXPECT_FALSE(sound->Playing);
    EXPECT_EQ(gCharTest.Particles->ParticleCount, 0);
    EXPECT_EQ(gCharTest.LightParticles->ParticleCount, 0);
    EXPECT_FALSE(gCharTest.Player->MovePath->IsActive);
    EXPECT_EQ(gCharTest.Border->Meta->GetSingle("_Alpha"), 1.0f);
    EXPECT_EQ(std::count(gCharTest.Chars.begin(), gCharTest.Chars.end(), gCharTest.Player), 1);
}

TEST_F(LevelLoadTest, AMissingOrBrokenFileLeavesAnEmptyLevel) {
    WriteForest();
    auto bytes = zun::test::ReadHostFile(dir.HostPath("data/forest"));
    bytes.resize(bytes.size() / 2);
    zun::test::WriteHostFile(dir.HostPath("data/half"), bytes);
    zun::test::WriteHostFile(dir.HostPath("data/noise"), std::vector<uint8_t>(300, 0x5A));

    // Errors reach the player as boxes, as in the game: one per unreadable file.
    gCoreHooks.OnLogEntry = [](const std::string& t, const std::vector<LogValue>& v) { gCharTest.OnLogEntry(t, v); };
    struct Unhook {
        ~Unhook() { gCoreHooks.OnLogEntry = nullptr; }
    } unhook;
    for (const char* name : {"nowhere", "half", "noise"}) {
        LoadLevel("forest");
        records.clear();
        // A minute on: the boxes of the last one are not used up.
        zCore.Ticks += 60000;
        const size_t mark = zCore.LogText.size();
        LoadLevel(name);
        const std::string logged = zCore.LogText.substr(mark);
        EXPECT_NE(logged.find("Cannot read level file"), std::string::npos) << name;
        EXPECT_EQ(logged.find("No solidGround layer found!"), std::string::npos) << name;
        size_t boxes = 0;
        for (size_t p = logged.find("\tMsgBox\t"); p != std::string::npos; p = logged.find("\tMsgBox\t", p + 1)) ++boxes;
        EXPECT_EQ(boxes, 1u) << name << logged;
        EXPECT_EQ(records.back(), "release,level") << name;
        EXPECT_EQ(gCharTest.Chars, std::vector<std::shared_ptr<gChar>>{gCharTest.Player}) << name;
        EXPECT_TRUE(gCharTest.Deco.empty());
        EXPECT_FALSE(gCharTest.solidGround || gCharTest.mapItems || gCharTest.mapValues) << name;
        ASSERT_NE(gCharTest.LevelObject, nullptr);
        EXPECT_EQ(gCharTest.LevelObject->Class, nullptr) << name;
        EXPECT_EQ(frmMain.LevelFile->ChunkCount(), 0) << name;
    }
}

// A class the scripts lack is one error naming the level and the thing; the
// rest of the level is built as usual.
TEST_F(LevelLoadTest, AClassTheScriptsLackIsNamedWithItsLevelAndItsThing) {
    LevelWriter w;
    w.Add(ItemLayer({Item("lamp", "Lamp", 1, 1), Item("chest", "Thing", 2, 2)}), "I1", "mapItems");
    auto values = w.Add(std::make_shared<zValues>(), "V1", "mapValues");
    values->SetString("class", "Meadow");
    WriteLevel("meadow", w);
    zun::test::LogCapture log;
    LoadLevel("meadow");
    std::vector<std::string> missing;
    for (const std::string& l : log.Lines())
        if (l.find("Script class not found") != std::string::npos) missing.push_back(l);
    EXPECT_EQ(missing, (std::vector<std::string>{"ERR\tLoadLevel\tScript class not found\tLamp\t<meadow>\tlamp",
                                                 "ERR\tLoadLevel\tScript class not found\tMeadow\t<meadow>\tlevel"}));
    EXPECT_EQ(records, std::vector<std::string>{"load,chest,Thing,2,2,1"});
}

// A level that holds more of a kind than a level may is refused whole, its
// name and the kind in the error, as a file that cannot be read is: the game
// goes on in an empty level, and the next level loads. At the bound it loads.
TEST_F(LevelLoadTest, ALevelPastABoundIsRefusedWholeNamingTheLevelAndTheKind) {
    WriteForest();
    using Fill = std::function<void(LevelWriter&, size_t)>;
    auto items = [](const char* layer) -> Fill {
        return [layer](LevelWriter& w, size_t n) {
            auto m = w.Add(std::make_shared<zItemMap>(), "L1", layer);
            for (size_t i = 0; i < n; ++i) m->AddItem(std::make_shared<zItem>(), false);
        };
    };
    struct Case {
        const char* kind;
        size_t most;
        Fill fill;
    };
    const Case cases[] = {
        {"items", kMaxLevelItems, items("mapItems")},
        {"items", kMaxLevelItems, items("spareItems")},  // a layer no slot takes is loaded all the same
        {"doors", kMaxLevelDoors, items("mapDoors")},
        {"lights", kMaxLevelLights, items("mapLights")},
        {"characters", kMaxLevelChars, items("mapChars")},
        {"decorations", kMaxLevelDeco, items("mapDeco")},
        {"areas", kMaxLevelAreas,
         [](LevelWriter& w, size_t n) {
             auto m = w.Add(std::make_shared<zObjectsMap>(), "L1", "mapAreas");
             for (size_t i = 0; i < n; ++i) m->AddObject(std::make_shared<zDataShape>());
         }},
        {"emitters", kMaxLevelEmitters,
         [](LevelWriter& w, size_t n) {
             auto m = w.Add(std::make_shared<zEmitterMap>(), "L1", "mapEmitters");
             for (size_t i = 0; i < n; ++i) m->AddEmitter(std::make_shared<zParticleEmitter>());
         }},
        {"sprites", kMaxLevelSprites,
         [](LevelWriter& w, size_t n) {
             auto m = w.Add(std::make_shared<zSpriteMap>(), "L1", "mapSprites");
             for (size_t i = 0; i < n; ++i) m->AddSprite(std::make_shared<zSprite>(), false);
         }},
        {"value sets", kMaxLevelValueSets,
         [](LevelWriter& w, size_t n) {
             for (size_t i = 0; n > 0; ++i) {
                 auto m = w.Add(std::make_shared<zValueSetMap>(), "M" + std::to_string(i), "mapMaterials");
                 for (--n; n > 0 && m->CreateValueSet() > 0;) --n;
             }
         }},
        {"values", kMaxLevelValues,
         [](LevelWriter& w, size_t n) {
             auto v = w.Add(std::make_shared<zValues>(), "L1", "mapValues");
             for (size_t i = 0; i < n; ++i) v->SetLong("v" + std::to_string(i), 1);
         }},
        {"chunks", kMaxLevelChunks,
         [](LevelWriter& w, size_t n) {
             for (size_t i = 1; i < n; ++i) w.Add(std::make_shared<zValues>(), "C" + std::to_string(i));
         }},
    };
    auto write = [&](const std::string& name, const Case& c, size_t n) {
        LevelWriter w;
        w.Add(std::make_shared<zTileMap>(), "T1", "solidGround");
        c.fill(w, n);
        WriteLevel(name, w);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        write("full", c, c.most);
        zun::test::LogCapture log;
        LoadLevel("full");
        EXPECT_FALSE(log.Contains("too many")) << c.kind;
        EXPECT_NE(gCharTest.solidGround, nullptr);
        write("over", c, c.most + 1);
        LoadLevel("over");
        EXPECT_TRUE(log.Contains(std::string("ERR\tLoadLevel\tLevel holds too many ") + c.kind +
                                 "\t<over>\t" + std::to_string(c.most + 1) + " of at most " +
                                 std::to_string(c.most)));
        EXPECT_FALSE(gCharTest.solidGround || gCharTest.mapItems || gCharTest.mapValues);
        EXPECT_EQ(frmMain.LevelFile->ChunkCount(), 0);
        EXPECT_EQ(gCharTest.Chars, std::vector<std::shared_ptr<gChar>>{gCharTest.Player});
        records.clear();
        LoadLevel("forest");
        EXPECT_EQ(records.back().rfind("level,level,Forest,outdoor,", 0), 0u);
    }

    // So is a file of more bytes than a level may hold, whether it holds
    // them as they stand or packed: a map of 2400 x 2400 cells.
    LevelWriter big;
    big.Add(std::make_shared<zTileMap>(), "T1", "solidGround")->Resize(2400, 2400);
    zun::test::WriteHostFile(dir.HostPath("data/stored"), big.LevelBytes());
    std::vector<uint8_t> packed;
    ASSERT_TRUE(SaveDataBytes(big.Payload(), true, "", packed));
    ASSERT_LT(packed.size(), kMaxLevelBytes / 100);
    zun::test::WriteHostFile(dir.HostPath("data/packed"), packed);
    for (const char* name : {"stored", "packed"}) {
        zun::test::LogCapture log;
        LoadLevel(name);
        const std::string refused = std::string("ERR\tLoadLevel\tLevel holds too many bytes\t<") + name + ">";
        EXPECT_TRUE(log.Contains(refused)) << name;
        EXPECT_FALSE(gCharTest.solidGround) << name;
    }
}

TEST_F(LevelLoadTest, ALoadFromInsideALevelEventEndsTheOuterLoad) {
    WriteForest();
    LevelWriter jump;
    auto j = Item("jump", "Jumper", 0, 0);
    j->Values->SetString("target", "forest");
    jump.Add(ItemLayer({j, Item("after", "Thing", 0, 0)}), "J1", "mapItems");
    WriteLevel("jump", jump);
    LoadLevel("jump");
    EXPECT_EQ(gCharTest.mapItems->Items()[0]->KeyName, "chest");
    EXPECT_EQ(records.back(), "level,level,Forest,outdoor,1");
    EXPECT_EQ(std::count(records.begin(), records.end(), "load,after,Thing,0,0,1"), 0);
    EXPECT_EQ(gCharTest.Chars.size(), 2u);

    // A level that loads itself stops at the nesting limit.
    j->Values->SetString("target", "loop");
    WriteLevel("loop", jump);
    zun::test::LogCapture log;
    LoadLevel("loop");
    EXPECT_TRUE(log.Contains("Level loads nested too deeply"));
    EXPECT_EQ(gCharTest.Chars, std::vector<std::shared_ptr<gChar>>{gCharTest.Player});
}

}  // namespace
}  // namespace tarv::test
