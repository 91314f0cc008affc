// The set-up of the game script-function tests: a device on the recording
// backend, the character and scene object classes, a fresh game state and
// script engine with the game's table installed, scripts compiled from
// source by the script compiler, and a small level made by code (item, door
// and light layers, a collision map, areas and emitters).
//
// Scripts report to the test through one extra function, "record", whose
// arguments are joined as text with ",".
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zStream.h"
#include "game/effects/gWeather.h"
#include "game/scriptapi/gScript.h"
#include "game/world/gChar.h"
#include "game/world/gCharClasses.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "game/world/mTimeline.h"
#include "scene/LayerTestSupport.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectClasses.h"
#include "scene/zObjectsMap.h"
#include "scene/zParticleEmitter.h"
#include "scene/zShape.h"
#include "scene/zSprite.h"
#include "script/zScript.h"
#include "script/zScriptClass.h"
#include "tools/zsc/zscCompiler.h"

namespace tarv::test {

using namespace zun;

class ScriptApiTest : public zun::test::layers::LayerTest {
protected:
    std::vector<std::string> records;
    size_t logStart = 0;

    void SetUp() override {
        LayerTest::SetUp();
        RegisterCharClasses();
        RegisterSceneObjectClasses();
        gCharTest = gCharTestModule{};
        mTimeline = mTimelineModule{};
        gWeather = gWeatherModule{};
        zCore.DecimalSeparator = ".";
        zScript.Script_Initialize();
        gScriptHooks = ScriptHooks{};
        ClearGameFunctions();
        RegisterGameFunctions();
        auto table = gScriptHooks.CallGameFunction;
        auto knows = gScriptHooks.IsGameFunction;
        gScriptHooks.CallGameFunction = [this, table](zScriptObject* caller, zScriptArray* values,
                                                      const std::string& name, zScriptArgs& args) -> ValueRef {
            if (name != "record") return table(caller, values, name, args);
            std::string line;
            for (int32_t i = 1; i <= args.Count(); ++i) {
                if (i > 1) line += ",";
                line += args.At(i) ? args.At(i)->GetString() : "";
            }
            records.push_back(line);
            return zScriptValue::New();
        };
        gScriptHooks.IsGameFunction = [knows](const std::string& name) { return name == "record" || knows(name); };
        zScript.ResetDispatch();
        logStart = zCore.LogText.size();
    }
    void TearDown() override {
        gCharTest = gCharTestModule{};
        mTimeline = mTimelineModule{};
        gWeather = gWeatherModule{};
        gScriptHooks = ScriptHooks{};
        ClearGameFunctions();
        zScript.Classes.clear();
        zCore.DecimalSeparator = ".";
        LayerTest::TearDown();
    }

    // What this test has logged so far.
    std::string Logged() const { return zCore.LogText.substr(logStart); }
    // How often a log line holds the fragment.
    size_t LogCount(const std::string& fragment) const {
        const std::string text = Logged();
        size_t n = 0;
        for (size_t p = text.find(fragment); p != std::string::npos; p = text.find(fragment, p + 1)) ++n;
        return n;
    }

    // Compiles script source and registers its classes.
    void LoadScript(const std::string& source) {
        auto r = zsc::CompileText(source, "test.zs");
        ASSERT_TRUE(r.Ok) << "script does not compile";
        zStream s(zsc::BuildChunkFile(r.Classes));
        zFile f;
        ASSERT_TRUE(f.LoadFromStream(&s));
        zScript.LoadScriptChunks(f, "test.zs");
    }
    static std::shared_ptr<zScriptObject> Object(const std::string& cls, const std::string& name = "") {
        auto o = zScriptObject::New();
        EXPECT_TRUE(o->SetClass(cls, name));
        return o;
    }
    // Runs a function of a new object of the class and returns its result.
    ValueRef Run(const std::string& cls, const std::string& fn, std::initializer_list<HostValue> args = {}) {
        auto o = Object(cls);
        return o->Execute(fn, args);
    }
    // Calls a game function straight from code, as a script would.
    static ValueRef Call(const std::string& name, std::vector<ValueRef> args, zScriptObject* caller = nullptr,
                         zScriptArray* values = nullptr) {
        zScriptArgs a;
        for (auto& v : args) a.Push(v);
        return CallGameFunction(caller, values, name, a);
    }
    static ValueRef Long(int32_t v) {
        auto r = zScriptValue::New();
        r->SetLong(v);
        return r;
    }
    static ValueRef Str(const std::string& v) {
        auto r = zScriptValue::New();
        r->SetString(v);
        return r;
    }
    static ValueRef Obj(std::shared_ptr<iClass> v) {
        auto r = zScriptValue::New();
        r->SetObject(std::move(v));
        return r;
    }

    // ---- the level --------------------------------------------------------
    static std::shared_ptr<zSprite> Sprite(float x, float y, int32_t w = 24, int32_t h = 32) {
        auto s = std::make_shared<zSprite>();
        s->SetPosition(x, y);
        s->W = w;
        s->H = h;
        s->OriginX = float(w) / 2;
        s->OriginY = float(h) - 4;
        return s;
    }
    static std::shared_ptr<zItem> Item(const std::string& key, float x, float y) {
        auto i = std::make_shared<zItem>();
        i->Sprite = Sprite(x, y);
        i->KeyName = key;
        i->Visible = true;
        return i;
    }
    // An item with a script object of that class.
    static std::shared_ptr<zItem> ScriptedItem(const std::string& key, const std::string& cls, float x, float y) {
        auto i = Item(key, x, y);
        auto so = zScriptObject::New();
        so->Origin = i;
        EXPECT_TRUE(so->SetClass(cls, key));
        i->ScriptObject = so;
        i->ClassName_ = cls;
        return i;
    }
    static std::shared_ptr<gCharset> Sheet() {
        auto s = std::make_shared<gCharset>();
        s->W = 24;
        s->H = 32;
        s->FramesX = 3;
        s->FramesY = 4;
        s->OffsetX = 12;
        s->OffsetY = 28;
        return s;
    }
    // A character of the level at (x, y) with the item's key name.
    static std::shared_ptr<gChar> Char(const std::string& key, float x, float y) {
        auto c = std::make_shared<gChar>();
        c->Item = Item(key, x, y);
        c->Sprite = c->Item->Sprite;
        c->SetCharSet(Sheet());
        gCharTest.Chars.push_back(c);
        return c;
    }
    // Empty layers over a 20 x 15 cell level of 32-pixel cells, every cell
    // free, and the player standing at (100, 100).
    void MakeLevel() {
        gCharTest.mapItems = std::make_shared<zItemMap>();
        gCharTest.mapItems->SetSize(32, 20, 15);
        gCharTest.mapDoors = std::make_shared<zItemMap>();
        gCharTest.mapDoors->SetSize(32, 20, 15);
        gCharTest.mapLights = std::make_shared<zItemMap>();
        gCharTest.mapLights->SetSize(32, 20, 15);
        gCharTest.mapAreas = std::make_shared<zObjectsMap>();
        gCharTest.mapAreas->SetSize(32, 20, 15);
        auto col = std::make_shared<zCollisionMap>();
        col->SetTileSize(32);
        col->SetSize(19, 14);
        for (int32_t y = 0; y <= 14; ++y)
            for (int32_t x = 0; x <= 19; ++x) col->SetTile(x, y, 0, 1);
        gCharTest.mapCollision = col;
        gCharTest.Player = Char("player", 100, 100);
        gCharTest.PlayerPath = std::make_shared<gPath>();
        gCharTest.Player->MovePath = gCharTest.PlayerPath;
        gCharTest.Cursor = Sprite(100, 0);
    }
    // Blocks a cell of the collision map for movers of class 1.
    static void Block(int32_t x, int32_t y) { gCharTest.mapCollision->SetTile(x, y, 1, 0); }
};

}  // namespace tarv::test
