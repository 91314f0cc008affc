// Level descriptions: the text format into a description, the description
// into a level file whose layers load back with what the text said; every
// fault of a description is reported with its line and fails the level.
#include "DemoTestSupport.h"
#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectClasses.h"
#include "scene/zObjectsMap.h"
#include "scene/zParticleEmitter.h"
#include "scene/zPictureLayer.h"
#include "scene/zSceneClasses.h"
#include "scene/zShape.h"
#include "scene/zSoundEmitter.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "scene/zValueSetMap.h"
#include "tools/democontent/DemoArt.h"
#include "tools/democontent/DemoLevel.h"

namespace tarv::demo::test {
namespace {

using namespace zun;

const char* kHeader =
    "level tiny\n"
    "size 4 3\n"
    "tileset \"Tiles Village.png\"\n"
    "values class=Tiny type=outdoor title=\"A tiny place\" depth=3 fog=0.5\n"
    "material stone StepSound=step_stone.wav\n"
    "material wet Effect=1 StepSound=\"step_water.wav\"\n"
    "legend\n"
    "  . cobble material=stone\n"
    "  H hedge solid\n"
    "  ~ puddle water material=wet\n"
    "  = beam\n"
    "  \" tuft\n"
    "  # a comment line inside the legend\n"
    "end\n"
    "ground\n"
    ".~..\n"
    "..H.\n"
    "....\n"
    "end\n"
    "groundmask\n"
    "\"\n"
    "end\n"
    "roof\n"
    "   =\n"
    "end\n";

class LevelText : public ContentDevice {
protected:
    void SetUp() override {
        ContentDevice::SetUp();
        UseProgramFolder(BuiltContent::Get().Dir.Host());
        zCore.Classes.clear();
        RegisterCoreClasses();
        RegisterSceneClasses();
        RegisterSceneObjectClasses();
    }
    static const ArtCatalogue& Art() {
        static const ArtCatalogue art = MakeArt();
        return art;
    }
    static int32_t Texture(const std::string& file) {
        const ArtSheet* s = Art().FindSheet(file);
        return s ? zDDraw.LoadTexture(file, s->Smooth, s->ColorKey, 1, 0) : 0;
    }

    // Parses and builds; the errors of both steps end up in `errors`.
    bool Build(const std::string& text, std::vector<uint8_t>& bytes, std::vector<std::string>& errors,
               const ScriptClasses* classes = nullptr) {
        LevelDesc d;
        return ParseLevel(text, "t.lvl", d, errors) && BuildLevel(d, Art(), Texture, bytes, errors, classes);
    }
    std::shared_ptr<zFile> Load(const std::vector<uint8_t>& bytes) {
        std::vector<uint8_t> payload;
        if (!LoadDataBytes(bytes, payload, "", "tiny")) return nullptr;
        zStream s(std::move(payload));
        auto f = std::make_shared<zFile>();
        if (!f->LoadFromStream(&s)) return nullptr;
        f->ImportFromStreams();
        return f;
    }
    std::shared_ptr<zFile> BuildAndLoad(const std::string& text) {
        std::vector<uint8_t> bytes;
        std::vector<std::string> errors;
        const bool ok = Build(text, bytes, errors);
        std::string all;
        for (const auto& e : errors) all += e + "\n";
        EXPECT_TRUE(ok) << all;
        return ok ? Load(bytes) : nullptr;
    }
    template <class T>
    static std::shared_ptr<T> Layer(zFile& f, const char* name) {
        return std::dynamic_pointer_cast<T>(f.FindInstance(name));
    }
    // The first error of a description that must fail.
    std::string FirstError(const std::string& text, const ScriptClasses* classes = nullptr) {
        std::vector<std::string> errors = Errors(text, classes);
        return errors.empty() ? "" : errors.front();
    }
    std::vector<std::string> Errors(const std::string& text, const ScriptClasses* classes = nullptr) {
        std::vector<uint8_t> bytes;
        std::vector<std::string> errors;
        EXPECT_FALSE(Build(text, bytes, errors, classes)) << text;
        EXPECT_TRUE(bytes.empty());
        return errors;
    }
};

TEST_F(LevelText, TilesCollisionWaterAndMaterialsComeFromTheLegend) {
    auto f = BuildAndLoad(kHeader);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->ChunkCount(), 20);  // the nineteen layers and the tile set
    auto ground = Layer<zTileMap>(*f, "solidGround");
    ASSERT_TRUE(ground);
    EXPECT_EQ(ground->W, 3);
    EXPECT_EQ(ground->H, 2);
    EXPECT_EQ(ground->TileW, 16);
    uint8_t set = 0, tile = 0, rot = 0;
    ground->GetTile(0, 0, set, tile, rot);
    EXPECT_EQ(set, 1);
    EXPECT_EQ(tile, Art().FindTile("Tiles Village.png", "cobble")->Index);
    auto ts = ground->GetTileSet(1);
    ASSERT_TRUE(ts);
    EXPECT_GT(ts->Texture, 0);
    EXPECT_EQ(zDDraw.Textures[size_t(ts->Texture)].FileName, "Tiles Village.png");
    auto roof = Layer<zTileMap>(*f, "maskRoof");
    roof->GetTile(3, 0, set, tile, rot);
    EXPECT_EQ(tile, Art().FindTile("Tiles Village.png", "beam")->Index);
    roof->GetTile(0, 0, set, tile, rot);
    EXPECT_EQ(set, 0);  // a blank is no tile
    Layer<zTileMap>(*f, "maskGround")->GetTile(0, 0, set, tile, rot);
    EXPECT_EQ(tile, Art().FindTile("Tiles Village.png", "tuft")->Index);  // '"' is a symbol like any other
    EXPECT_LT(Layer<zTileMap>(*f, "solidWalls")->Meta->GetSingle("_z"), ground->Meta->GetSingle("_z"));

    auto coll = Layer<zCollisionMap>(*f, "mapCollision");
    auto water = Layer<zCollisionMap>(*f, "mapWater");
    uint8_t code = 0, shape = 0;
    coll->GetTile(2, 1, code, shape);
    EXPECT_EQ(code, 255);
    coll->GetTile(1, 0, code, shape);
    EXPECT_EQ(code, 0);  // a puddle is walked through
    EXPECT_TRUE(coll->CheckCollision(2 * 16 + 3, 16 + 3, 1));
    EXPECT_FALSE(coll->CheckCollision(3, 3, 1));
    EXPECT_TRUE(water->CheckCollision(16 + 5, 5, 255));  // the water test of the scripts
    EXPECT_FALSE(water->CheckCollision(5, 5, 255));

    auto mats = Layer<zValueSetMap>(*f, "mapMaterials");
    uint8_t m = 0;
    mats->GetTile(1, 0, m);
    ASSERT_GT(m, 0);
    EXPECT_EQ(mats->GetValueSet(m)->GetLong("Effect"), 1);
    EXPECT_EQ(mats->GetValueSet(m)->GetString("StepSound"), "step_water.wav");
    mats->GetTile(0, 0, m);
    EXPECT_EQ(mats->GetValueSet(m)->GetString("StepSound"), "step_stone.wav");

    auto values = Layer<zValues>(*f, "mapValues");
    EXPECT_EQ(values->GetString("class"), "Tiny");
    EXPECT_EQ(values->GetString("title"), "A tiny place");
    EXPECT_EQ(values->GetLong("depth"), 3);
    EXPECT_FLOAT_EQ(values->GetSingle("fog"), 0.5f);
}

TEST_F(LevelText, PlacedThingsKeepWhatTheDescriptionSays) {
    const std::string text = std::string(kHeader) +
        "collide 0 2 2 1\n"
        "collide 2 1 1 1 0\n"
        "item name=board class=Thing sprite=notice foot=1,1 $look=\"<Hero 1> Hello\" $count=3 $speed=1.5 $n=\"7\"\n"
        "item sprite=door frame=2 x=40 y=30 z=4 r=0.5 visible=0 shadow=0 mirrored=0 zoom=2 alpha=0.25\n"
        "door name=d class=Door sprite=door cell=2,0 color=#FF8000\n"
        "light name=l x=10 y=10 size=64 shadow\n"
        "char name=m class=Marla sprite=marla cell=0,0\n"
        "deco name=c class=Cat sprite=cat foot=3,2\n"
        "area name=a class=Area rect=0,0,32,16 $hint=yes\n"
        "area name=b class=Area ellipse=24,24,8,4\n"
        "area name=c class=Area cells=1,1,2,1\n"
        "particle x=20 y=21 z=5 $rate=2\n"
        "sound file=fire.wav cell=1,1 r=90 fade=30 mode=2 volume=0.5 speed=1.25\n"
        "picture clouds texture=\"Clouds.png\" stretch=1 z=0.3 movex=0.5 movey=-0.25 parallax=2 zoom=0.5\n";
    auto f = BuildAndLoad(text);
    ASSERT_TRUE(f);
    uint8_t code = 0, shape = 0;
    auto coll = Layer<zCollisionMap>(*f, "mapCollision");
    coll->GetTile(1, 2, code, shape);
    EXPECT_EQ(code, 255);
    coll->GetTile(2, 1, code, shape);
    EXPECT_EQ(code, 0);  // the hedge's cell freed again

    auto items = Layer<zItemMap>(*f, "mapItems")->Items();
    ASSERT_EQ(items.size(), 2u);
    const zItem& board = *items[0];
    EXPECT_EQ(board.KeyName, "board");
    EXPECT_EQ(board.ClassName_, "Thing");
    EXPECT_FLOAT_EQ(board.Sprite->x, 24);
    EXPECT_FLOAT_EQ(board.Sprite->y, 31);
    EXPECT_EQ(board.Values->GetString("look"), "<Hero 1> Hello");
    EXPECT_EQ(board.Values->GetLong("count"), 3);
    EXPECT_FLOAT_EQ(board.Values->GetSingle("speed"), 1.5f);
    EXPECT_EQ(board.Values->GetString("n"), "7");
    EXPECT_TRUE(board.Visible && board.Shadow && board.Mirrored);
    const zItem& door = *items[1];
    const SpriteDef* d = Art().FindSprite("door");
    EXPECT_EQ(door.Sprite->SrcX, d->X + 2 * d->W);
    EXPECT_EQ(door.Sprite->W, d->W);
    EXPECT_FLOAT_EQ(door.Sprite->OriginY, d->OriginY);
    EXPECT_FLOAT_EQ(door.Sprite->Z, 4);
    EXPECT_FLOAT_EQ(door.Sprite->R, 0.5f);
    EXPECT_FLOAT_EQ(door.Sprite->ZoomX, 2);
    EXPECT_FLOAT_EQ(door.Sprite->Alpha, 0.25f);
    EXPECT_FALSE(door.Visible || door.Shadow || door.Mirrored);
    EXPECT_EQ(zDDraw.Textures[size_t(door.Sprite->Texture)].FileName, "Items Village.png");

    const zItem& coloured = *Layer<zItemMap>(*f, "mapDoors")->Items().at(0);
    EXPECT_TRUE(coloured.Colored);
    EXPECT_EQ(uint32_t(coloured.Values->GetLong("_color")), 0xFFFF8000u);
    const zItem& light = *Layer<zItemMap>(*f, "mapLights")->Items().at(0);
    EXPECT_FLOAT_EQ(light.Sprite->ZoomX, 0.5f);
    EXPECT_TRUE(light.Shadow);
    EXPECT_FALSE(light.Mirrored);
    const zItem& marla = *Layer<zItemMap>(*f, "mapChars")->Items().at(0);
    EXPECT_EQ(marla.Collides, 1);
    EXPECT_EQ(zDDraw.Textures[size_t(marla.Sprite->Texture)].FileName, "Char Marla.png");
    EXPECT_EQ(Layer<zItemMap>(*f, "mapDeco")->Items().size(), 1u);

    auto areas = Layer<zObjectsMap>(*f, "mapAreas")->Objects();
    ASSERT_EQ(areas.size(), 3u);
    auto a = std::dynamic_pointer_cast<zDataShape>(areas[0]);
    EXPECT_EQ(a->Shape->Mode, zShape::ModeRectangle);
    EXPECT_TRUE(a->Shape->CheckCollision(31, 15));
    EXPECT_FALSE(a->Shape->CheckCollision(33, 15));
    EXPECT_EQ(a->Values->GetString("hint"), "yes");
    EXPECT_EQ(std::dynamic_pointer_cast<zDataShape>(areas[1])->Shape->Mode, zShape::ModeEllipse);
    auto c = std::dynamic_pointer_cast<zDataShape>(areas[2]);
    EXPECT_FLOAT_EQ(c->Shape->x, 16);
    EXPECT_FLOAT_EQ(c->Shape->W, 32);

    auto emitters = Layer<zEmitterMap>(*f, "mapEmitters")->Emitters();
    ASSERT_EQ(emitters.size(), 2u);
    auto p = std::dynamic_pointer_cast<zParticleEmitter>(emitters[0]);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ManagerName, "Laterne");
    EXPECT_FLOAT_EQ(p->Z, 5);
    EXPECT_EQ(p->ParticleData->GetLong("rate"), 2);
    auto s = std::dynamic_pointer_cast<zSoundEmitter>(emitters[1]);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->SoundFile, "fire.wav");
    EXPECT_FLOAT_EQ(s->x, 24);
    EXPECT_FLOAT_EQ(s->R, 90);
    EXPECT_FLOAT_EQ(s->FadeR, 30);
    EXPECT_EQ(s->FadeMode, 2);
    EXPECT_FLOAT_EQ(s->Frequency, 1.25f);

    auto clouds = Layer<zPictureLayer>(*f, "picClouds");
    EXPECT_EQ(zDDraw.Textures[size_t(clouds->Texture)].FileName, "Clouds.png");
    EXPECT_EQ(clouds->Meta->GetLong("_StretchMode"), 1);
    EXPECT_FLOAT_EQ(clouds->Meta->GetSingle("_MoveY"), -0.25f);
    EXPECT_FLOAT_EQ(clouds->Parallax, 2);
    EXPECT_EQ(Layer<zPictureLayer>(*f, "picFog")->Texture, 0);  // not described: present, empty
}

TEST_F(LevelText, TheSameDescriptionAlwaysGivesTheSameFile) {
    std::vector<uint8_t> a, b;
    std::vector<std::string> errors;
    ASSERT_TRUE(Build(kHeader, a, errors));
    ASSERT_TRUE(Build(kHeader, b, errors));
    EXPECT_EQ(a, b);
}

TEST_F(LevelText, FaultsOfTheTextAreReportedWithTheirLine) {
    const std::string base = "level t\nsize 2 2\ntileset \"Tiles Village.png\"\nvalues class=T\n";
    const std::string legend = "legend\n . grass\nend\n";
    struct Case {
        std::string text, line, words;
    };
    const Case cases[] = {
        {base + "frobnicate 1\n", ":5:", "unknown statement"},
        {base + legend + "ground\n.x\nend\n", ":9:", "not in the legend"},
        {base + legend + "ground\n...\nend\n", ":9:", "longer than the level"},
        {base + legend + "ground\n..\n..\n..\nend\n", ":11:", "more grid rows"},
        {base + legend + "ground\n..\n", ":", "not closed"},
        {"size 2 2\ntileset x\n", ":", "no 'level'"},
        {"level t\ntileset x\n", ":", "no 'size'"},
        {"level t\nsize 0 2\ntileset x\n", ":2:", "whole numbers from 1 to 256"},
        {"level t\nsize 2 257\ntileset x\n", ":2:", "whole numbers from 1 to 256"},
        {"level t\nsize two 2\ntileset x\n", ":2:", "whole numbers"},
        {"level ../up\nsize 2 2\ntileset x\n", ":1:", "plain file name"},
        {base + "item name=\"open\n", ":5:", "unclosed quote"},
        {base + "collide 0 0 0 1\n", ":5:", "collide takes"},
        {base + "collide 0 0 1 1 256\n", ":5:", "collide takes"},
        {base + "legend\n . grass\n . dirt\nend\n", ":7:", "given twice"},
        {base + "legend\n . grass bouncy\nend\n", ":6:", "unknown legend property"},
        {base + "picture sky texture=x\n", ":5:", "fog, clouds or water"},
        {"level t\nground\n..\nend\n", ":2:", "needs the level's size first"},
        {base + "=x\n", ":5:", "starts with its keyword"},
        {base + "\x1b[2J\n", ":5:", "unknown statement '\\x1B[2J'"},
        // A text the level file cannot store is refused, not dropped on writing.
        {base + "item sprite=crate x=1 y=1 $look=\"" + std::string(70000, 'x') + "\"\n", ":5:",
         "a word longer than 65536 bytes"},
    };
    for (const Case& c : cases) {
        const std::string e = FirstError(c.text);
        EXPECT_NE(e.find("t.lvl" + c.line), std::string::npos) << c.text << "\n-> " << e;
        EXPECT_NE(e.find(c.words), std::string::npos) << c.text << "\n-> " << e;
    }
}

// A block left without its 'end' is said once, where the next statement
// shows it, and what follows is read as it was meant.
TEST_F(LevelText, ABlockWithoutItsEndIsSaidOnce) {
    const std::string base = "level t\nsize 2 2\ntileset \"Tiles Village.png\"\nvalues class=T\n";
    const std::pair<std::string, std::string> cases[] = {
        {base + "legend\n . grass\n\nground\n..\n..\nend\nitem sprite=crate x=1 y=1\n",
         "t.lvl:8: the legend of line 5 has no 'end' before this 'ground'"},
        {base + "legend\n . grass\nend\nground\n..\nitem sprite=crate x=1 y=1\n",
         "t.lvl:10: the grid 'ground' of line 8 has no 'end' before this 'item'"},
        {base + "legend\n . grass\nend\nground\n..\n",
         "t.lvl:10: the grid 'ground' of line 8 is not closed with 'end'"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Errors(text), std::vector<std::string>{expected}) << text;
}

TEST_F(LevelText, FaultsOfTheContentAreReportedWithTheirLine) {
    const std::string base = "level t\nsize 2 2\ntileset \"Tiles Village.png\"\nvalues class=T\n";
    struct Case {
        std::string text, line, words;
    };
    const Case cases[] = {
        {base + "legend\n . marble\nend\nground\n..\nend\n", ":6:", "no tile 'marble'"},
        {base + "legend\n . grass\n , gras\nend\n", ":7:", "no tile 'gras' in 'Tiles Village.png' (did you mean 'grass'?)"},
        {base + "item sprite=castle x=1 y=1\n", ":5:", "no sprite 'castle'"},
        {base + "item sprite=brrel x=1 y=1\n", ":5:", "no sprite 'brrel' (did you mean 'barrel'?)"},
        {base + "item sprite=crate\n", ":5:", "a position is needed"},
        {base + "item sprite=crate cell=1\n", ":5:", "takes 2 numbers"},
        {base + "item sprite=crate cell=1,2,3\n", ":5:", "takes 2 numbers"},
        {base + "item sprite=crate x=1 y=nan\n", ":5:", "must be a number"},
        {base + "item sprite=crate x=1 y=1e9\n", ":5:", "must be a number"},
        {base + "item sprite=crate x=1 y=1 color=#12345\n", ":5:", "#RRGGBB"},
        {base + "item sprite=crate x=1 y=1 color=#GG0000\n", ":5:", "#RRGGBB"},
        {base + "item sprite=crate x=1 y=1 frame=3\n", ":5:", "'frame' must be"},
        {base + "char sprite=marla x=1 y=1\n", ":5:", "needs a class"},
        {base + "area name=a\n", ":5:", "rect=, cells= or ellipse="},
        {base + "area rect=0,0,0,4\n", ":5:", "width and a height"},
        {base + "sound x=1 y=1\n", ":5:", "needs file="},
        {base + "picture fog texture=\"Nothing.png\"\n", ":5:", "no picture 'Nothing.png' among the pictures"},
        {base + "picture fog texture=\"weather rain.png\"\n", ":5:", "(did you mean 'Weather Rain.png'?)"},
        {"level t\nsize 2 2\ntileset \"Tiles Village.png\"\n", "", "need a class"},
        {"level t\nsize 2 2\ntileset \"Demo Light.png\"\nvalues class=T\n", ":3:",
         "not a tile sheet (the tile sheets: "},
        {base + "legend\n . grass material=sand\nend\nground\n..\nend\n", ":6:",
         "no material 'sand': describe it with a 'material sand KEY=VALUE' line"},
        {base + "material stone\nlegend\n . grass material=ston\nend\n", ":7:", "no material 'ston' (did you mean 'stone'?)"},
        {base + "light x=1 y=1 colour=#FF8000\n", ":5:", "unknown key 'colour' on light (did you mean 'color'?)"},
        {base + "sound x=1 y=1 file=a.wav $v=1\n", ":5:", "unknown key '$v' on sound (it takes: file, x, y,"},
        {base + "item sprite=crate x=40 y=1\n", ":5:", "item at 40,1 is outside the level (x 0 to 31, y 0 to 31 pixels)"},
        {base + "char name=tobin class=T sprite=tobin foot=0,-1\n", ":5:", "char 'tobin' at 8,-1 is outside the level"},
        {base + "sound x=1 y=32 file=a.wav\n", ":5:", "sound at 1,32 is outside"},
        {base + "area name=far cells=2,0,1,1\n", ":5:", "area 'far' lies wholly outside the level"},
    };
    for (const Case& c : cases) {
        const std::string e = FirstError(c.text);
        EXPECT_NE(e.find("t.lvl" + c.line), std::string::npos) << c.text << "\n-> " << e;
        EXPECT_NE(e.find(c.words), std::string::npos) << c.text << "\n-> " << e;
    }
    // A tile sheet named wrongly (here its case) is one fault, at its line.
    EXPECT_EQ(Errors("level t\nsize 2 2\ntileset \"tiles village.png\"\nvalues class=T\n"),
              std::vector<std::string>{
                  "t.lvl:3: no tile sheet 'tiles village.png' (did you mean 'Tiles Village.png'?)"});
    // With the compiled classes given, every class a level names must be one of them.
    const ScriptClasses classes = {{"Meadow", {}}, {"Thing", {"onLook"}}};
    const std::string meadow = "level t\nsize 2 2\ntileset \"Tiles Village.png\"\nvalues class=Meadow\n";
    EXPECT_EQ(Errors(meadow + "item name=a class=Thin sprite=crate x=1 y=1\nlight name=l x=1 y=1 class=Glow\n"
                              "area name=b class=Spot cells=0,0,1,1\n",
                     &classes),
              (std::vector<std::string>{"t.lvl:5: no class 'Thin' in the compiled scripts (did you mean 'Thing'?)",
                                        "t.lvl:7: no class 'Spot' in the compiled scripts"}));
    EXPECT_EQ(FirstError("level t\nsize 2 2\ntileset \"Tiles Village.png\"\nvalues type=outdoor class=Medow\n",
                         &classes),
              "t.lvl:4: no class 'Medow' in the compiled scripts (did you mean 'Meadow'?)");
}

// Text that is not a description at all: refused or reported, never more.
TEST_F(LevelText, HostileTextIsReportedNotFollowed) {
    std::vector<std::string> errors;
    LevelDesc d;
    EXPECT_FALSE(ParseLevel(std::string(kMaxLevelText + 1, 'x'), "big.lvl", d, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("too long"), std::string::npos);

    std::string noise;
    DemoRandom rnd(5);
    for (int i = 0; i < 20000; ++i) noise += char(rnd.Range(0, 255));
    errors.clear();
    EXPECT_FALSE(ParseLevel(noise, "noise.lvl", d, errors));
    EXPECT_LE(errors.size(), 50u);  // a flood of faults is cut short

    // A grid of the largest size with very long rows stays within its size.
    std::string big = "level b\nsize 256 256\ntileset \"Tiles Village.png\"\nvalues class=B\nlegend\n . grass\nend\nground\n";
    for (int i = 0; i < 300; ++i) big += std::string(1000, '.') + "\n";
    big += "end\n";
    errors.clear();
    EXPECT_FALSE(ParseLevel(big, "big.lvl", d, errors));
    EXPECT_LE(d.Grids[kGround].size(), 256u);
    for (const auto& row : d.Grids[kGround]) EXPECT_LE(row.size(), 256u);
}

}  // namespace
}  // namespace tarv::demo::test
