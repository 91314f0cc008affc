// The demo played from the start to the end at the script level: the
// compiled game script runs in the script engine against a small stand-in of
// the game's script functions that loads the built levels, scripts their
// placed objects as level loading does, and records what the scripts ask
// for. Every message names a face sheet that exists, every sound and piece of
// music exists, and no script fails on the way.
#include <map>
#include <regex>
#include <set>

#include "DemoTestSupport.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zValues.h"
#include "scene/zDataShape.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectClasses.h"
#include "scene/zObjectsMap.h"
#include "scene/zSceneClasses.h"
#include "scene/zSprite.h"
#include "script/zScript.h"
#include "script/zScriptHost.h"
#include "script/zScriptRun.h"

namespace tarv::demo::test {
namespace {

using namespace zun;

struct Message {
    std::string Text, Function;
    std::shared_ptr<zScriptObject> Caller;
    std::vector<std::string> Options;
};

struct TimeCall {
    int32_t Delay = 0;
    std::shared_ptr<zScriptObject> Target;
    std::string Function;
};

// A placed object of the current level and its script object.
struct Placed {
    std::shared_ptr<iClass> Object;  // the zItem or zDataShape
    std::shared_ptr<zScriptObject> Script;
    std::string Layer;
    bool Removed = false;
};

class FakeGame {
public:
    std::string ContentHost;
    std::string Level;
    int32_t CellX = 0, CellY = 0;
    std::shared_ptr<zFile> LevelFile;
    std::map<std::string, Placed> Objects;  // by key name
    std::shared_ptr<zScriptObject> GameObject, LevelObject;
    std::vector<Message> Messages;
    std::vector<TimeCall> Timeline;
    std::vector<std::string> Sounds, Music, Faults;
    std::set<std::string> Handled, PassedOn;
    std::string CursorEvent;
    float GameTime = 0, Rain = 0;
    bool Torch = false, Exited = false;
    int LevelLoads = 0;

    ValueRef Call(zScriptObject* caller, zScriptArray* values, const std::string& name, zScriptArgs& a) {
        ValueRef r = zScriptValue::New();
        auto S = [&](int i) { return a[i] ? a[i]->GetString() : std::string(); };
        auto F = [&](int i) { return a[i] ? a[i]->GetSingle() : 0.0f; };
        auto L = [&](int i) { return a[i] ? a[i]->GetLong() : 0; };
        auto self = [&] { return caller ? caller->shared_from_this() : nullptr; };
        if (name == "setGameTime") GameTime = F(1);
        else if (name == "getGameTime") r->SetSingle(GameTime);
        else if (name == "loadLevel") {
            LoadLevel(S(1));
            CellX = L(2);
            CellY = L(3);
        } else if (name == "msg") Queue(S(1), "", self(), {});
        else if (name == "ask") {
            std::vector<std::string> options;
            for (int i = 3; i <= a.Count(); ++i) options.push_back(S(i));
            Queue(S(2), S(1), self(), options);
        } else if (name == "setCursorEvent") CursorEvent = S(1);
        else if (name == "getGameObject") r->SetObject(GameObject);
        else if (name == "enableTorch") Torch = a[1] && a[1]->GetBool();
        else if (name == "playSound") {
            Sounds.push_back(S(1));
            if (!fs::exists(ContentHost + "sound/" + S(1))) Faults.push_back("no sound " + S(1));
        } else if (name == "playMusic") {
            Music.push_back(S(1));
            if (!fs::exists(ContentHost + "music/" + S(1))) Faults.push_back("no music " + S(1));
        } else if (name == "setRainDensity") Rain = F(1);
        else if (name == "setSnowDensity" || name == "flash" || name == "lookAtPlayer" || name == "playerLookAt" ||
                 name == "setDir" || name == "setPath" || name == "playerSetPath" || name == "animateTo") {
        } else if (name == "msgBack") {
            if (L(1) < 0 || L(1) > 3 || L(2) < 0 || L(2) > 1) Faults.push_back("msgBack outside the picture");
        } else if (name == "getMouseGameX" || name == "getMouseGameY") r->SetLong(100);
        else if (name == "charByName" || name == "itemByName" || name == "lightByName") {
            const std::string layer = name == "charByName" ? "mapChars" : name == "itemByName" ? "mapItems" : "mapLights";
            auto it = Objects.find(S(1));
            if (it == Objects.end() || it->second.Removed || it->second.Layer != layer) {
                Faults.push_back(name + " found no " + S(1));
            } else {
                r->SetObject(it->second.Object);
            }
        } else if (name == "charRemove" || name == "itemRemove") {
            Placed* p = ByObject(a[1] ? a[1]->GetObject() : nullptr);
            if (!p) Faults.push_back(name + " of nothing");
            else p->Removed = true;
        } else if (name == "itemSetVisible") {
            auto item = std::dynamic_pointer_cast<zItem>(a[1] ? a[1]->GetObject() : nullptr);
            if (!item) Faults.push_back("itemSetVisible of no item");
            else item->Visible = a[2] && a[2]->GetBool();
        } else if (name == "addTimeCall") {
            auto target = std::dynamic_pointer_cast<zScriptObject>(a[2] ? a[2]->GetObject() : nullptr);
            if (!target) Faults.push_back("addTimeCall without a target");
            else Timeline.push_back({L(1), target, S(3)});
        } else if (name == "exitGame") Exited = true;
        else {
            PassedOn.insert(name);
            return nullptr;
        }
        Handled.insert(name);
        return r;
    }

    // Messages name their speaker and face; the face sheet must exist.
    void Queue(const std::string& text, const std::string& fn, std::shared_ptr<zScriptObject> caller,
               std::vector<std::string> options) {
        if (text.empty()) Faults.push_back("an empty message");
        static const std::regex header(R"(^<(\w+)( (\d+))?> .+)");
        std::smatch m;
        if (text != "#") {
            if (!std::regex_search(text, m, header)) {
                Faults.push_back("a message without its speaker: " + text);
            } else {
                if (!fs::exists(ContentHost + "img/Face " + m[1].str() + ".png")) Faults.push_back("no face of " + m[1].str());
                if (m[3].matched && (std::stoi(m[3]) < 1 || std::stoi(m[3]) > 8)) Faults.push_back("no face " + m[3].str());
            }
        }
        Messages.push_back({text, fn, std::move(caller), std::move(options)});
    }

    Placed* ByObject(const std::shared_ptr<iClass>& o) {
        for (auto& [key, p] : Objects)
            if (p.Object == o) return &p;
        return nullptr;
    }

    std::shared_ptr<zScriptObject> Script(const std::string& cls, const std::string& key,
                                          const std::shared_ptr<iClass>& origin, const zValues* values) {
        auto so = zScriptObject::New();
        so->Origin = origin;
        if (!so->SetClass(cls, key)) {
            Faults.push_back("no script class " + cls);
            return so;
        }
        if (values) so->Locals->ImportValues(values);
        so->Locals->SetNameValue("_name", key);
        so->Locals->SetNameValue("_class", cls);
        if (auto item = std::dynamic_pointer_cast<zItem>(origin)) {
            so->Locals->SetNameValue("_x", item->Sprite->x);
            so->Locals->SetNameValue("_y", item->Sprite->y);
            so->Locals->SetNameValue("_z", item->Sprite->Z);
            so->Locals->SetNameValue("_r", item->Sprite->R);
        }
        so->LoadValues();
        so->Execute("onLoad");
        return so;
    }

    // Releases the old level (its objects save their fixed values), then
    // loads and scripts the new one in the order the game does.
    void LoadLevel(const std::string& name) {
        ++LevelLoads;
        for (auto& [key, p] : Objects)
            if (p.Script) {
                p.Script->Execute("onRelease");
                if (p.Layer != "mapDeco") p.Script->SaveValues();
            }
        if (LevelObject) {
            LevelObject->Execute("onRelease");
            LevelObject->SaveValues();
        }
        // Objects of the old level may still be running (the door that loads
        // the next level): the lists go, the objects live on with their callers.
        Objects.clear();
        LevelObject.reset();
        Level = name;
        LevelFile = std::make_shared<zFile>();
        if (!LevelFile->Load(FromHostPath(ContentHost + "data/" + name))) {
            Faults.push_back("no level " + name);
            return;
        }
        LevelFile->ImportFromStreams();
        for (const char* layer : {"mapItems", "mapDoors", "mapLights", "mapChars", "mapDeco"}) {
            auto map = std::dynamic_pointer_cast<zItemMap>(LevelFile->FindInstance(layer));
            for (const auto& item : map->Items()) {
                Placed p{item, nullptr, layer};
                if (!item->KeyName.empty()) {
                    if (Objects.count(item->KeyName)) Faults.push_back("two things named " + item->KeyName);
                    Objects[item->KeyName] = p;
                }
            }
        }
        auto scriptLayer = [&](const char* layer) {
            auto map = std::dynamic_pointer_cast<zItemMap>(LevelFile->FindInstance(layer));
            for (const auto& item : map->Items())
                if (!item->ClassName_.empty())
                    Objects[item->KeyName].Script = Script(item->ClassName_, item->KeyName, item, item->Values.get());
        };
        for (const char* layer : {"mapItems", "mapDoors", "mapChars", "mapDeco"}) scriptLayer(layer);
        auto areas = std::dynamic_pointer_cast<zObjectsMap>(LevelFile->FindInstance("mapAreas"));
        for (const auto& o : areas->Objects()) {
            auto area = std::dynamic_pointer_cast<zDataShape>(o);
            if (!area || area->ClassName_.empty()) continue;
            Placed p{area, nullptr, "mapAreas"};
            p.Script = Script(area->ClassName_, area->KeyName, area, area->Values.get());
            Objects[area->KeyName] = p;
        }
        auto values = std::dynamic_pointer_cast<zValues>(LevelFile->FindInstance("mapValues"));
        LevelObject = zScriptObject::New();
        if (LevelObject->SetClass(values->GetString("class"), "level")) {
            LevelObject->Locals->ImportValues(values.get());
            LevelObject->Locals->SetNameValue("_name", std::string("level"));
            LevelObject->Locals->SetNameValue("_class", values->GetString("class"));
            LevelObject->LoadValues();
            LevelObject->Execute("onLoad");
        } else {
            Faults.push_back("no level class for " + name);
        }
    }
};

class Walkthrough : public ContentDevice {
protected:
    FakeGame game;
    zun::test::LogCapture log;
    std::shared_ptr<zScriptObject> player, music;

    void SetUp() override {
        ContentDevice::SetUp();
        const BuiltContent& c = BuiltContent::Get();
        ASSERT_TRUE(c.Ok);
        game.ContentHost = c.Dir.Host();
        UseProgramFolder(game.ContentHost);
        zCore.Classes.clear();
        RegisterCoreClasses();
        RegisterSceneClasses();
        RegisterSceneObjectClasses();
        zCore.DecimalSeparator = ".";
        zScript.Script_Initialize();
        gScriptHooks = ScriptHooks();
        gScriptDevices = ScriptDevices();
        gScriptHooks.CallGameFunction = [this](zScriptObject* caller, zScriptArray* values, const std::string& name,
                                               zScriptArgs& args) { return game.Call(caller, values, name, args); };
        zScript.ScriptPath = FromHostPath(game.ContentHost + "scripts/");
        zScript.LoadScriptFile("Game.dat");
        ASSERT_TRUE(zScript.FindScriptClass("Game"));
        // The start of the game, in the shell's order: game, music, player.
        game.GameObject = zScriptObject::New();
        ASSERT_TRUE(game.GameObject->SetClass("Game", "game"));
        game.GameObject->Execute("onLoad");
        music = zScriptObject::New();
        ASSERT_TRUE(music->SetClass("Music", "music"));
        music->Execute("onLoad");
        zScriptValue* p = game.GameObject->Locals->GetName("player");
        ASSERT_TRUE(p) << "the game object keeps no player";
        player = std::dynamic_pointer_cast<zScriptObject>(p->GetObject());
        ASSERT_TRUE(player && player->Class) << "the player value holds no script object";
        EXPECT_EQ(player->Class->Name, "Player");
        player->Execute("onLoad");
    }

    void TearDown() override {
        gScriptHooks = ScriptHooks();
        zScript.Classes.clear();
        ContentDevice::TearDown();
    }

    std::shared_ptr<zScriptObject> Obj(const std::string& key) {
        auto it = game.Objects.find(key);
        EXPECT_TRUE(it != game.Objects.end() && it->second.Script) << key << " in " << game.Level;
        return it == game.Objects.end() ? nullptr : it->second.Script;
    }
    bool GameFlag(const std::string& name) {
        zScriptValue* v = game.GameObject->Locals->GetName(name);
        return v && v->GetBool();
    }
    // Hovering near a thing and clicking it, as the shell does.
    ValueRef Click(const std::string& key) {
        auto o = Obj(key);
        if (!o) return nullptr;
        game.CursorEvent.clear();
        o->Execute("MouseOver");
        EXPECT_FALSE(game.CursorEvent.empty()) << key << " offers nothing to do";
        return o->Execute(game.CursorEvent);
    }
    // The last question asked, answered with its n-th option.
    void Answer(int n) {
        const Message* q = nullptr;
        for (const Message& m : game.Messages)
            if (!m.Function.empty()) q = &m;
        ASSERT_TRUE(q) << "no question was asked";
        ASSERT_GE(int(q->Options.size()), n);
        Message copy = *q;
        game.Messages.clear();
        copy.Caller->Execute(copy.Function, {HostValue(int32_t(n))});
    }
    void RunTimeline() {
        while (!game.Timeline.empty()) {
            TimeCall c = game.Timeline.front();
            game.Timeline.erase(game.Timeline.begin());
            c.Target->Execute(c.Function);
        }
    }
    bool Said(const std::string& fragment) const {
        for (const Message& m : game.Messages)
            if (m.Text.find(fragment) != std::string::npos) return true;
        return false;
    }
    void ExpectNoFault() {
        std::string all;
        for (const std::string& f : game.Faults) all += f + "\n";
        EXPECT_TRUE(game.Faults.empty()) << all;
        for (const std::string& l : log.Lines()) EXPECT_NE(l.rfind("ERR", 0), 0u) << l;
    }
};

TEST_F(Walkthrough, TheDemoPlaysFromTheStartToTheEnd) {
    // The start: the village, the story text, then the hero's first words.
    EXPECT_EQ(game.Level, "village");
    ASSERT_GE(game.Messages.size(), 2u);
    EXPECT_EQ(game.Messages[0].Text, "#");
    EXPECT_GT(game.Rain, 0.0f);
    EXPECT_EQ(game.Music.back(), "village.mus");

    // The hall door is locked at first.
    game.Messages.clear();
    Click("halldoor");
    EXPECT_TRUE(Said("Locked"));
    EXPECT_TRUE(game.Timeline.empty());

    // Marla hands over the key when asked about Tobin.
    game.Messages.clear();
    Click("marla");
    EXPECT_EQ(game.CursorEvent, "onTalk");
    Answer(1);
    EXPECT_TRUE(GameFlag("hasKey"));
    EXPECT_TRUE(Said("<Events 1>"));

    // The door opens and leads down into the cellar.
    Click("halldoor");
    ASSERT_EQ(game.Timeline.size(), 1u);
    Click("halldoor");  // a second use while it opens does nothing more
    EXPECT_EQ(game.Timeline.size(), 1u);
    RunTimeline();
    EXPECT_EQ(game.Level, "cellar");
    EXPECT_EQ(game.Rain, 0.0f);
    EXPECT_EQ(game.Music.back(), "cellar.mus");

    // Tobin has lost his coin and lends the lantern.
    game.Messages.clear();
    Click("tobin");
    Answer(2);
    EXPECT_TRUE(GameFlag("metTobin"));
    EXPECT_TRUE(GameFlag("hasLantern"));
    player->Execute("activateItem", {HostValue(int32_t(1))});
    EXPECT_TRUE(game.Torch);

    // The candle goes out and stays out when the cellar is visited again.
    Click("table");
    EXPECT_FALSE(std::dynamic_pointer_cast<zItem>(game.Objects["candlelight"].Object)->Visible);

    // The coin, found and given back.
    Obj("corner")->Execute("onEnter");
    EXPECT_TRUE(Said("glints"));
    Click("coin");
    EXPECT_TRUE(GameFlag("hasCoin"));
    EXPECT_TRUE(game.Objects["coin"].Removed);
    Click("tobin");
    EXPECT_TRUE(GameFlag("tobinHappy"));
    EXPECT_FALSE(GameFlag("hasCoin"));
    RunTimeline();
    EXPECT_TRUE(game.Objects["tobin"].Removed);

    // Up the stairs, where Tobin now waits by the inn.
    Click("stairs");
    EXPECT_EQ(game.Level, "village");
    EXPECT_EQ(game.CellX, 44);
    EXPECT_FALSE(game.Objects["tobinUp"].Removed);
    Click("tobinUp");

    // Back down once more: Tobin and the coin are gone, the candle still out.
    Click("halldoor");
    RunTimeline();
    ASSERT_EQ(game.Level, "cellar");
    EXPECT_TRUE(game.Objects["tobin"].Removed);
    EXPECT_TRUE(game.Objects["coin"].Removed);
    EXPECT_FALSE(std::dynamic_pointer_cast<zItem>(game.Objects["candlelight"].Object)->Visible);
    Click("table");
    EXPECT_TRUE(std::dynamic_pointer_cast<zItem>(game.Objects["candlelight"].Object)->Visible);
    Click("stairs");

    // Marla closes the story; the second answer ends the game.
    game.Messages.clear();
    Click("marla");
    EXPECT_TRUE(Said("<Events 4>"));
    Answer(2);
    EXPECT_TRUE(game.Exited);
    ExpectNoFault();
}

// Tobin walks off a while after he has his coin back; a player who is up
// the stairs before that leaves a timed call behind that must come to nothing
// in the village.
TEST_F(Walkthrough, ATimedCallThatComesAfterItsLevelWasLeftDoesNothing) {
    Click("marla");
    Answer(1);
    Click("halldoor");
    RunTimeline();
    ASSERT_EQ(game.Level, "cellar");
    Click("coin");
    Click("tobin");
    ASSERT_TRUE(GameFlag("tobinHappy"));
    ASSERT_EQ(game.Timeline.size(), 1u);
    Click("stairs");
    ASSERT_EQ(game.Level, "village");
    RunTimeline();
    EXPECT_FALSE(game.Objects["tobinUp"].Removed);
    ExpectNoFault();
}

// The first level's things all answer when looked at and used, and a few
// other paths through the dialogues work out.
TEST_F(Walkthrough, EveryThingAnswersALookAndAUse) {
    for (const char* level : {"cellar", "village"}) {
        game.LoadLevel(level);
        std::vector<std::string> keys;
        for (const auto& [key, p] : game.Objects)
            if (p.Script && p.Layer != "mapAreas" && !p.Removed) keys.push_back(key);
        ASSERT_GE(keys.size(), 5u) << level;
        for (const std::string& key : keys) {
            if (game.Objects[key].Removed) continue;
            auto o = Obj(key);
            game.CursorEvent.clear();
            o->Execute("MouseLook");
            EXPECT_EQ(game.CursorEvent, "onLook") << key;
            game.Messages.clear();
            o->Execute("onLook");
            EXPECT_FALSE(game.Messages.empty()) << key << " has nothing to say";
        }
        for (const auto& [key, p] : game.Objects)
            if (p.Layer == "mapAreas") p.Script->Execute("onEnter");  // areas never load a level
        // Nothing here may take the player elsewhere on a look.
        EXPECT_EQ(game.Level, level);
    }
    // The other answers to Marla and Tobin.
    game.Messages.clear();
    Click("marla");
    Answer(3);
    EXPECT_FALSE(GameFlag("hasKey"));
    Click("marla");
    Answer(2);
    EXPECT_FALSE(GameFlag("hasKey"));
    Click("cat");
    Click("fountain");
    Click("bench");
    player->Execute("MouseDown", {HostValue(10.0f), HostValue(20.0f), HostValue(int16_t(1))});
    player->Execute("activateItem", {HostValue(int32_t(1))});
    EXPECT_FALSE(game.Torch);  // no lantern yet
    EXPECT_TRUE(Said("nothing to light"));
    for (int i = 0; i < 300; ++i) {
        game.GameObject->Execute("onUpdate");
        game.LevelObject->Execute("onUpdate");
        Obj("cat")->Execute("onUpdate");
    }
    EXPECT_GT(game.GameTime, 660.0f);
    game.LoadLevel("cellar");
    Click("tobin");
    Answer(3);
    EXPECT_TRUE(GameFlag("hasLantern"));
    ExpectNoFault();
}

// Every name the scripts call is a game function, a host built-in or a
// function of the scripts' own classes: a misspelt name would otherwise do
// nothing without a word.
TEST_F(Walkthrough, TheScriptsCallOnlyNamesThatExist) {
    for (const char* level : {"cellar", "village"}) {
        game.LoadLevel(level);
        // A door may load the other level half way: the objects are walked
        // as they were when the walk began.
        std::vector<std::shared_ptr<zScriptObject>> scripts;
        for (const auto& [key, p] : game.Objects)
            if (p.Script) scripts.push_back(p.Script);
        for (const auto& so : scripts)
            for (const char* e : {"MouseOver", "MouseLook", "onLook", "onUse", "onTalk", "onEnter", "onWalk"})
                so->Execute(e);
        RunTimeline();
    }
    game.GameObject->Execute("renderInterface");
    std::set<std::string> own;
    for (const auto& c : zScript.Classes)
        for (int32_t i = 1; i <= c->FunctionCount(); ++i) own.insert(c->GetFunction(i)->Name);
    std::set<std::string> host(std::begin(zun::kHostNames), std::end(zun::kHostNames));
    for (const std::string& n : game.PassedOn)
        EXPECT_TRUE(own.count(n) || host.count(n)) << "'" << n << "' is neither a game function nor a function of the scripts";
    EXPECT_GE(game.Handled.size(), 20u);
}

}  // namespace
}  // namespace tarv::demo::test
