// The set-up of the level and render tests: the character test device and
// script engine, the object classes, a program folder with a "data" folder
// for level files, a camera, an empty settings store, a player with a script
// object, both particle systems and the message-box frame. Scripts may call
// "record" (see CharTest) and "loadLevel".
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "core/zFileSystem.h"
#include "core/zValues.h"
#include "devices/zDDraw.h"
#include "game/effects/gParticleSystem.h"
#include "game/shell/frmMain.h"
#include "game/shell/gLevel.h"
#include "game/world/CharTestSupport.h"
#include "game/world/gBorder.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectClasses.h"
#include "scene/zSprite.h"
#include "support/LevelWriter.h"

namespace tarv::test {

class ShellTest : public CharTest {
protected:
    std::string keptAppPath;

    void SetUp() override {
        CharTest::SetUp();
        RegisterSceneObjectClasses();
        keptAppPath = zFileSystem.AppPath;
        zFileSystem.AppPath = dir.Path();
        ::mkdir(dir.HostPath("data").c_str(), 0755);
        auto records = gScriptHooks.CallGameFunction;
        gScriptHooks.CallGameFunction = [records](zScriptObject* o, zScriptArray* a, const std::string& name,
                                                  zScriptArgs& args) -> ValueRef {
            if (name != "loadLevel") return records(o, a, name, args);
            LoadLevel(args.At(1) ? args.At(1)->GetString() : "");
            return zScriptValue::New();
        };
        zScript.ResetDispatch();

        frmMain = frmMainForm{};
        frmMain.Camera = std::make_shared<zCamera>(Camera(0, 0, 640, 480));
        gCharTest.Settings = std::make_shared<zValues>();
        gCharTest.Player = Char(100, 100);
        gCharTest.PlayerPath = std::make_shared<gPath>();
        gCharTest.Player->MovePath = gCharTest.PlayerPath;
        gCharTest.Particles = std::make_shared<gParticleSystem>();
        gCharTest.LightParticles = std::make_shared<gParticleSystem>();
        gCharTest.Border = std::make_shared<gBorder>();
        gCharTest.Border->Meta = std::make_shared<zValues>();
    }
    void TearDown() override {
        frmMain = frmMainForm{};
        zFileSystem.AppPath = keptAppPath;
        CharTest::TearDown();
    }

    void Set(const std::string& key, uint8_t v) { gCharTest.Settings->SetByte(key, v); }

    void WriteLevel(const std::string& name, zun::test::LevelWriter& w) {
        zun::test::WriteHostFile(dir.HostPath("data/" + name), w.LevelBytes());
    }

    // A visible item with a sprite of the given size and origin at (x, y).
    static std::shared_ptr<zItem> Item(const std::string& key, const std::string& cls, float x, float y,
                                       int32_t w = 32, int32_t h = 32, float ox = 16, float oy = 32) {
        auto i = std::make_shared<zItem>();
        i->KeyName = key;
        i->ClassName_ = cls;
        i->Visible = true;
        i->Sprite->SetPosition(x, y);
        i->Sprite->W = w;
        i->Sprite->H = h;
        i->Sprite->OriginX = ox;
        i->Sprite->OriginY = oy;
        return i;
    }
    static std::shared_ptr<zItemMap> ItemLayer(const std::vector<std::shared_ptr<zItem>>& items) {
        auto m = std::make_shared<zItemMap>();
        m->SetSize(128, 9, 9);
        for (const auto& i : items) m->AddItem(i, false);
        return m;
    }
};

}  // namespace tarv::test
