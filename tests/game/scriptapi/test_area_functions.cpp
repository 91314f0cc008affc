// Shapes and areas, emitters, torch and weather, the player's sprite and the
// modal boxes, from scripts.
#include <optional>

#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class AreaFunctionsTest : public ScriptApiTest {
protected:
    std::shared_ptr<zScriptObject> t;
    std::vector<std::string> boxes;
    int32_t answer = 1;
    std::optional<std::string> typed;

    void SetUp() override {
        ScriptApiTest::SetUp();
        MakeLevel();
        gScriptHooks.MessageBox = [this](const std::string& text, const std::string& title, int32_t style) {
            boxes.push_back("box " + text + "|" + title + "|" + std::to_string(style));
            return answer;
        };
        gScriptHooks.InputBox = [this](const std::string& prompt, const std::string& title) {
            boxes.push_back("input " + prompt + "|" + title);
            return typed;
        };
        LoadScript(R"(class T {
            func torch(v) { enableTorch(v); }
            func input1(p) { return inputBox(p); }
            func input2(p, t) { return inputBox(p, t); }
            func input3() { return inputBox("a", "b", "c"); }
            func box1(t) { return msgBox(t); }
            func box2(t, c) { return msgBox(t, c); }
            func box3() { return msgBox("a", true, 1); }
            func player() { return getPlayerSprite(); }
            func removeAt(x, y) { removeEmitter(x, y); }
            func rain(d) { setRainDensity(d); }
            func snow(d) { setSnowDensity(d); }
            func shape(m, x, y, w, h) { return shapeCreate(m, x, y, w, h); }
            func area1(s) { return areaCreate(s); }
            func area2(s, c) { return areaCreate(s, c); }
            func area3(s, c, k) { return areaCreate(s, c, k); }
        }
        class Zone {
            func onLoad() { record("onLoad", _name, _class, isset _x); }
        })");
        t = Object("T");
    }
    static HostValue H(std::shared_ptr<iClass> o) { return HostValue(std::move(o)); }
    static std::shared_ptr<zParticleEmitter> Emitter(float x, float y, const std::string& kind) {
        auto e = std::make_shared<zParticleEmitter>();
        e->SetPos(x, y);
        e->ManagerName = kind;
        return e;
    }
};

TEST_F(AreaFunctionsTest, TheTorchTakesTheArgumentsContentAsTruth) {
    t->Execute("torch", {true});
    EXPECT_TRUE(gCharTest.TorchEnabled);
    t->Execute("torch", {HostValue(int32_t(0))});
    EXPECT_FALSE(gCharTest.TorchEnabled);
    t->Execute("torch", {HostValue(2.5f)});
    EXPECT_TRUE(gCharTest.TorchEnabled);
    t->Execute("torch", {"False"});
    EXPECT_FALSE(gCharTest.TorchEnabled);
    t->Execute("torch", {"1"});
    EXPECT_TRUE(gCharTest.TorchEnabled);
    // Text that is neither: off, and the script goes on.
    t->Execute("torch", {"lantern"});
    EXPECT_FALSE(gCharTest.TorchEnabled);
    EXPECT_EQ(LogCount("ERR"), 0u);
}

TEST_F(AreaFunctionsTest, InputBoxesByArgumentCount) {
    typed = "Tarquin";
    auto r = t->Execute("input1", {"Your name?"});
    EXPECT_EQ(r->Typ, typStr);
    EXPECT_EQ(r->GetString(), "Tarquin");
    typed = std::nullopt;  // cancelled
    r = t->Execute("input2", {"Your name?", "Hello"});
    EXPECT_EQ(r->Typ, typStr);
    EXPECT_EQ(r->GetString(), "");
    r = t->Execute("input3");
    EXPECT_EQ(r->Typ, typVar);
    EXPECT_EQ(boxes, (std::vector<std::string>{"input Your name?|", "input Your name?|Hello"}));
}

TEST_F(AreaFunctionsTest, MessageBoxesByArgumentCount) {
    auto r = t->Execute("box1", {"Saved."});
    EXPECT_EQ(r->Typ, typVar);
    answer = 6;  // Yes
    r = t->Execute("box2", {"Leave?", true});
    EXPECT_EQ(r->Typ, typBool);
    EXPECT_TRUE(r->GetBool());
    answer = 7;  // No
    r = t->Execute("box2", {"Leave?", false});
    EXPECT_FALSE(r->GetBool());
    answer = 2;  // Cancel
    r = t->Execute("box2", {"Leave?", true});
    EXPECT_FALSE(r->GetBool());
    r = t->Execute("box3");
    EXPECT_EQ(r->Typ, typVar);
    // Information icon with OK; question icon with Yes, No (and Cancel).
    EXPECT_EQ(boxes, (std::vector<std::string>{"box Saved.||64", "box Leave?||35", "box Leave?||36",
                                               "box Leave?||35"}));
}

TEST_F(AreaFunctionsTest, ThePlayersOwnSprite) {
    auto r = t->Execute("player");
    EXPECT_EQ(r->Typ, typObject);
    EXPECT_EQ(r->GetObject(), gCharTest.Player->Sprite);
}

TEST_F(AreaFunctionsTest, WeatherDensities) {
    t->Execute("rain", {HostValue(0.4f)});
    t->Execute("snow", {"0.125"});
    EXPECT_FLOAT_EQ(gWeather.RainDensity, 0.4f);
    EXPECT_FLOAT_EQ(gWeather.SnowDensity, 0.125f);
}

TEST_F(AreaFunctionsTest, RemovingAnEmitterTakesTheFirstAtThatExactPoint) {
    gCharTest.mapEmitters = std::make_shared<zEmitterMap>();
    gCharTest.mapEmitters->SetSize(64, 9, 9);
    auto a = Emitter(100, 50, "Fire");
    auto b = Emitter(100, 50, "Smoke");
    auto c = Emitter(100.5f, 50, "Near");
    gCharTest.mapEmitters->AddEmitter(c);
    gCharTest.mapEmitters->AddEmitter(a);
    gCharTest.mapEmitters->AddEmitter(b);
    t->Execute("removeAt", {HostValue(int32_t(100)), HostValue(int32_t(50))});
    const auto& left = gCharTest.mapEmitters->Emitters();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0], c);
    EXPECT_EQ(left[1], b);
    t->Execute("removeAt", {HostValue(int32_t(1)), HostValue(int32_t(1))});
    EXPECT_EQ(gCharTest.mapEmitters->Emitters().size(), 2u);
}

TEST_F(AreaFunctionsTest, RemovingAnEmitterWithoutEmitterLayerDoesNothing) {
    gCharTest.mapEmitters = nullptr;
    t->Execute("removeAt", {HostValue(int32_t(100)), HostValue(int32_t(50))});
    EXPECT_EQ(LogCount("ERR"), 0u);
}

TEST_F(AreaFunctionsTest, ANewShapeIsWhiteAndPlacedNowhere) {
    auto r = t->Execute("shape", {HostValue(int32_t(2)), HostValue(10.0f), HostValue(20.0f), HostValue(30.0f),
                                  HostValue(40.0f)});
    auto s = std::dynamic_pointer_cast<zShape>(r->GetObject());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Mode, 2);
    EXPECT_EQ(uint32_t(s->Color), 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(s->x, 10.0f);
    EXPECT_FLOAT_EQ(s->y, 20.0f);
    EXPECT_FLOAT_EQ(s->W, 30.0f);
    EXPECT_FLOAT_EQ(s->H, 40.0f);
    EXPECT_TRUE(gCharTest.mapAreas->Objects().empty());
    // Modes beyond a byte are clamped.
    r = t->Execute("shape", {HostValue(int32_t(999)), HostValue(0.0f), HostValue(0.0f), HostValue(1.0f),
                             HostValue(1.0f)});
    EXPECT_EQ(std::dynamic_pointer_cast<zShape>(r->GetObject())->Mode, 255);
}

TEST_F(AreaFunctionsTest, AnAreaWithoutClassHasNoScriptObject) {
    auto shape = std::make_shared<zShape>();
    auto r = t->Execute("area1", {H(shape)});
    auto area = std::dynamic_pointer_cast<zDataShape>(r->GetObject());
    ASSERT_TRUE(area);
    EXPECT_EQ(area->Shape, shape);
    EXPECT_FALSE(area->ScriptObject);
    EXPECT_FALSE(area->GUID.empty());
    ASSERT_EQ(gCharTest.mapAreas->Objects().size(), 1u);
    EXPECT_EQ(gCharTest.mapAreas->Objects()[0], area);
    EXPECT_TRUE(records.empty());
}

TEST_F(AreaFunctionsTest, AScriptedAreaLoadsWithItsOwnNames) {
    auto shape = std::make_shared<zShape>();
    auto r = t->Execute("area3", {H(shape), "Zone", "porch"});
    auto area = std::dynamic_pointer_cast<zDataShape>(r->GetObject());
    ASSERT_TRUE(area && area->ScriptObject);
    EXPECT_EQ(area->ScriptObject->Origin.lock(), area);
    EXPECT_EQ(area->ScriptObject->Name, "porch");
    // The area's own names are set by nobody here: the values hold what a
    // new area has.
    EXPECT_EQ(records, (std::vector<std::string>{"onLoad,,,False"}));
    EXPECT_EQ(gCharTest.mapAreas->Objects().size(), 1u);

    records.clear();
    r = t->Execute("area2", {H(shape), "Zone"});
    area = std::dynamic_pointer_cast<zDataShape>(r->GetObject());
    ASSERT_TRUE(area && area->ScriptObject);
    EXPECT_EQ(area->ScriptObject->Name, "");
    EXPECT_EQ(records.size(), 1u);
}

TEST_F(AreaFunctionsTest, AreasBeforeALevelAreMadeButPlacedNowhere) {
    gCharTest.mapAreas = nullptr;
    auto r = t->Execute("area1", {H(std::make_shared<zShape>())});
    EXPECT_TRUE(std::dynamic_pointer_cast<zDataShape>(r->GetObject()));
}

TEST_F(AreaFunctionsTest, AnAreaNeedsAShape) {
    auto r = t->Execute("area1", {"square"});
    EXPECT_EQ(r->Typ, typVar);
    EXPECT_NE(Logged().find("T.area1"), std::string::npos);
    EXPECT_TRUE(gCharTest.mapAreas->Objects().empty());
}

}  // namespace
}  // namespace tarv::test
