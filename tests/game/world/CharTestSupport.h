// The set-up of the character, path and controller tests: a device on the
// recording backend, the character classes registered, a fresh world module
// and script engine, scripts compiled from source text, collision maps drawn
// from rows of characters, and characters cut from a plain sheet.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/zFile.h"
#include "core/zStream.h"
#include "devices/zDInput.h"
#include "game/world/gChar.h"
#include "game/world/gCharClasses.h"
#include "game/world/gCharTest.h"
#include "game/world/gCharset.h"
#include "game/world/gPath.h"
#include "scene/LayerTestSupport.h"
#include "scene/zCollisionMap.h"
#include "scene/zItem.h"
#include "scene/zSprite.h"
#include "script/zScript.h"
#include "tools/zsc/zscCompiler.h"

namespace tarv::test {

using namespace zun;

class CharTest : public zun::test::layers::LayerTest {
protected:
    // Calls the scripts made to "record": each call's arguments as text, joined by ",".
    std::vector<std::string> records;

    void SetUp() override {
        LayerTest::SetUp();
        RegisterCharClasses();
        gCharTest = gCharTestModule{};
        zDInput.ResetKeyStates();
        // Assigned as a string, not a literal: g++ 12 warns of an overlap that cannot be
        // in the literal's inlined copy when this is inlined into some tests.
        zCore.DecimalSeparator = std::string(1, '.');
        zScript.Script_Initialize();
        gScriptHooks = ScriptHooks{};
        gScriptHooks.CallGameFunction = [this](zScriptObject*, zScriptArray*, const std::string& name,
                                               zScriptArgs& args) -> ValueRef {
            if (name != "record") return nullptr;
            std::string line;
            for (int32_t i = 1; i <= args.Count(); ++i) {
                if (i > 1) line += ",";
                line += args.At(i) ? args.At(i)->GetString() : "";
            }
            records.push_back(line);
            return zScriptValue::New();
        };
        zScript.ResetDispatch();
    }
    void TearDown() override {
        gCharTest = gCharTestModule{};
        zDInput.ResetKeyStates();
        gScriptHooks = ScriptHooks{};
        zScript.Classes.clear();
        LayerTest::TearDown();
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
    static std::shared_ptr<zScriptObject> Object(const std::string& cls) {
        auto o = zScriptObject::New();
        EXPECT_TRUE(o->SetClass(cls));
        return o;
    }

    // A collision map of tile size t from rows of text: '#' blocks movers of
    // class 1 (solid cell), anything else is free.
    static std::shared_ptr<zCollisionMap> Map(int32_t t, const std::vector<std::string>& rows) {
        auto m = std::make_shared<zCollisionMap>();
        m->SetTileSize(t);
        m->SetSize(int32_t(rows[0].size()) - 1, int32_t(rows.size()) - 1);
        for (size_t y = 0; y < rows.size(); ++y)
            for (size_t x = 0; x < rows[y].size(); ++x)
                m->SetTile(int32_t(x), int32_t(y), rows[y][x] == '#' ? 1 : 0, rows[y][x] == '#' ? 0 : 1);
        return m;
    }
    // An open map of w x h cells.
    static std::shared_ptr<zCollisionMap> OpenMap(int32_t t, int32_t w, int32_t h) {
        return Map(t, std::vector<std::string>(size_t(h), std::string(size_t(w), '.')));
    }

    static std::shared_ptr<gCharset> Sheet(int32_t w = 24, int32_t h = 32, uint8_t framesX = 4, uint8_t framesY = 8) {
        auto s = std::make_shared<gCharset>();
        s->Texture = 0;
        s->x = 16;
        s->y = 8;
        s->W = w;
        s->H = h;
        s->FramesX = framesX;
        s->FramesY = framesY;
        s->OffsetX = w / 2;
        s->OffsetY = h - 4;
        return s;
    }
    // A character with an item and a sprite at (x, y), cut from a sheet.
    static std::shared_ptr<gChar> Char(float x, float y, const std::shared_ptr<gCharset>& set = Sheet()) {
        auto c = std::make_shared<gChar>();
        c->Item = std::make_shared<zItem>();
        c->Sprite = std::make_shared<zSprite>();
        c->Sprite->SetPosition(x, y);
        c->SetCharSet(set);
        return c;
    }
};

}  // namespace tarv::test
