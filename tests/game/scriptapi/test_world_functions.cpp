// The game clock, the shared script objects, the mouse in the world, the water
// and collision maps and the cursor action, called from scripts.
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class WorldTest : public ScriptApiTest {};

TEST_F(WorldTest, GameTimeIsKeptAndTheWeatherFollowsInTheSameCall) {
    LoadScript(R"(class W {
        func set(t) { setGameTime(t); record(getGameTime()); }
    })");
    auto o = Object("W");
    o->Execute("set", {HostValue(int32_t(12000))});
    EXPECT_EQ(records, (std::vector<std::string>{"12000"}));
    EXPECT_FLOAT_EQ(gCharTest.GameTime, 12000.0f);

    // The same weather step at a day fraction of 12.0, run by hand.
    gWeatherModule noon;
    noon.UpdateWeather(12.0f);
    EXPECT_FLOAT_EQ(gWeather.Ambient.R, noon.Ambient.R);
    EXPECT_FLOAT_EQ(gWeather.Ambient.G, noon.Ambient.G);
    EXPECT_FLOAT_EQ(gWeather.Ambient.B, noon.Ambient.B);
    EXPECT_FLOAT_EQ(gWeather.Sun.Angle, noon.Sun.Angle);
    EXPECT_FLOAT_EQ(gWeather.Sun.Length, noon.Sun.Length);

    gWeatherModule evening;
    evening.UpdateWeather(20.5f);
    o->Execute("set", {HostValue(20500.0f)});
    EXPECT_FLOAT_EQ(gWeather.Sun.Angle, evening.Sun.Angle);
    EXPECT_FLOAT_EQ(gWeather.Ambient.R, evening.Ambient.R);
}

TEST_F(WorldTest, WaterMapAnswersOnlyWhenThereIsOne) {
    LoadScript(R"(class W {
        func run(x, y) { r = isWater(x, y); record(r); }
    })");
    auto o = Object("W");
    // No water map: the result stays the empty value.
    o->Execute("run", {HostValue(int32_t(5)), HostValue(int32_t(5))});
    EXPECT_EQ(records.back(), "");

    auto water = std::make_shared<zCollisionMap>();
    water->SetTileSize(32);
    water->SetSize(3, 3);
    for (int32_t y = 0; y <= 3; ++y)
        for (int32_t x = 0; x <= 3; ++x) water->SetTile(x, y, 0, 1);
    // The map is asked with every flag bit: a cell whose code holds all of
    // them is water by its shape; a code lacking any bit is dry.
    water->SetTile(1, 1, 255, 0);
    water->SetTile(2, 1, 4, 0);
    water->SetTile(3, 1, 255, 9);  // shape 9: its left half only
    gCharTest.mapWater = water;
    records.clear();
    for (auto [x, y] : {std::pair{40, 40}, std::pair{70, 40}, std::pair{10, 10}, std::pair{100, 40},
                        std::pair{120, 40}, std::pair{-5, 10}, std::pair{200, 10}})
        o->Execute("run", {HostValue(int32_t(x)), HostValue(int32_t(y))});
    EXPECT_EQ(records, (std::vector<std::string>{"True", "False", "False", "True", "False", "True", "True"}));
}

TEST_F(WorldTest, CursorEventAndMouseInTheWorld) {
    MakeLevel();
    LoadScript(R"(class W {
        func MouseOver() { setCursorEvent("onTalk"); }
        func mouse() { record(getMouseGameX(), getMouseGameY()); }
    })");
    auto o = Object("W");
    o->Execute("MouseOver");
    EXPECT_EQ(gCharTest.CursorEvent, "onTalk");

    // Halves go to the even neighbour.
    gCharTest.Cursor->x = 10.5f;
    gCharTest.Cursor->y = 11.5f;
    o->Execute("mouse");
    gCharTest.Cursor->x = -2.5f;
    gCharTest.Cursor->y = 7.4f;
    o->Execute("mouse");
    EXPECT_EQ(records, (std::vector<std::string>{"10,12", "-2,7"}));

    // Without a cursor sprite the call fails.
    gCharTest.Cursor.reset();
    o->Execute("mouse");
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 1u);
}

TEST_F(WorldTest, SharedScriptObjects) {
    MakeLevel();
    LoadScript(R"(
        class Named { who = "nobody"; }
        class W {
            func run() {
                p = getPlayerObject(); record(p.who);
                g = getGameObject(); record(g.who);
                l = getLevelObject(); record(l.who);
            }
        })");
    auto named = [](const std::string& who) {
        auto o = Object("Named");
        o->Locals->SetNameValue("who", HostValue(who));
        return o;
    };
    gCharTest.Player->Item->ScriptObject = named("player");
    gCharTest.GameObject = named("game");
    gCharTest.LevelObject = named("level");
    Run("W", "run");
    EXPECT_EQ(records, (std::vector<std::string>{"player", "game", "level"}));

    // The values are the very objects.
    ValueRef r = Call("getGameObject", {});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Typ, typObject);
    EXPECT_EQ(r->GetObject(), gCharTest.GameObject);
    gCharTest.LevelObject.reset();
    r = Call("getLevelObject", {});
    EXPECT_EQ(r->Typ, typObject);
    EXPECT_EQ(r->GetObject(), nullptr);

    // No player: a failure, not a crash.
    gCharTest.Player.reset();
    EXPECT_THROW(Call("getPlayerObject", {}), RuntimeError);
}

TEST_F(WorldTest, CollisionPointsByPixel) {
    MakeLevel();  // 32-pixel cells, all free
    LoadScript(R"(class W {
        func set(x, y, c) { setCollisionPoint(x, y, c); }
        func check(x, y) { record(checkCollision(x, y)); }
    })");
    auto o = Object("W");
    auto set = [&](int32_t x, int32_t y, int32_t code) {
        o->Execute("set", {HostValue(x), HostValue(y), HostValue(code)});
    };
    auto check = [&](int32_t x, int32_t y) { o->Execute("check", {HostValue(x), HostValue(y)}); };

    set(40, 70, 0);
    check(40, 70);
    set(40, 70, 1);
    check(40, 70);
    check(63, 95);  // the same cell (1, 2)
    check(64, 70);  // the next one
    EXPECT_EQ(records, (std::vector<std::string>{"False", "True", "True", "False"}));
    uint8_t code = 9, shape = 9;
    gCharTest.mapCollision->GetTile(1, 2, code, shape);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(shape, 0);

    // The layer origin plays no part; only the cell size does.
    gCharTest.mapCollision->x = 500;
    records.clear();
    check(40, 70);
    // Outside the map nothing is set and nothing collides.
    set(-40, 70, 7);
    set(5000, 70, 7);
    check(-40, 70);
    check(5000, 70);
    EXPECT_EQ(records, (std::vector<std::string>{"True", "False", "False"}));
    EXPECT_EQ(LogCount("ERR"), 0u);
}

TEST_F(WorldTest, CollisionFunctionsNeedALevel) {
    LoadScript(R"(class W {
        func check() { record("a"); record(checkCollision(1, 1)); record("b"); }
        func set() { setCollisionPoint(1, 1, 1); record("set"); }
    })");
    auto o = Object("W");
    o->Execute("check");
    o->Execute("set");
    EXPECT_EQ(records, (std::vector<std::string>{"a"}));
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 2u);

    // A map without a cell size fails the call instead of dividing by zero.
    gCharTest.mapCollision = std::make_shared<zCollisionMap>();
    records.clear();
    o->Execute("check");
    EXPECT_EQ(records, (std::vector<std::string>{"a"}));
    EXPECT_EQ(LogCount("Division by zero"), 1u);

    // Missing arguments: logged once, nothing done.
    MakeLevel();
    ValueRef r = Call("setCollisionPoint", {Long(40), Long(70)});
    ASSERT_TRUE(r);
    EXPECT_EQ(LogCount("Not enough arguments!\tsetCollisionPoint"), 1u);
    uint8_t code = 0, shape = 1;
    gCharTest.mapCollision->GetTile(1, 2, code, shape);
    EXPECT_EQ(shape, 1);
}

}  // namespace
}  // namespace tarv::test
