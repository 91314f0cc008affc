// What a hostile script meets: budgets on what it makes, and far values
// refused where they come in. Each failure ends the script's call with a line
// that says what ran out; the game goes on.
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <tuple>
#include <vector>

#include "ScriptApiTestSupport.h"
#include "core/zDataFile.h"
#include "core/zFileSystem.h"
#include "core/zMemory.h"
#include "game/shell/frmMain.h"
#include "game/shell/gLevel.h"
#include "game/world/gGestures.h"
#include "support/LevelWriter.h"

namespace tarv::test {
namespace {

class ScriptLimitsTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        MakeLevel();
        gCharTest.mapEmitters = std::make_shared<zEmitterMap>();
        LoadScript(R"(class B {
            kept = "";
            func emitters(n) { for (i = 0; i < n; i++) createEmitter(10.0, 10.0, 0.0); record("all"); }
            func items(s, n) { for (i = 0; i < n; i++) itemCreate(s); record("all"); }
            func chars(n) {
                for (i = 0; i < n; i++) charCreate(itemCreate(spriteCreate("", 0, 0, 24, 32, 12.0, 28.0)), "V", "", 10, 10);
                record("all");
            }
            func areas(n) {
                s = shapeCreate(0, 0.0, 0.0, 8.0, 8.0);
                for (i = 0; i < n; i++) areaCreate(s);
                record("all");
            }
            func messages(n) { for (i = 0; i < n; i++) msg("Hello."); record("all"); }
            func asks(n) { for (i = 0; i < n; i++) ask("answer", "Well?", "Yes", "No"); record("all"); }
            func longMessages(n) {
                s = "x";
                for (i = 0; i < 19; i++) s = s + s;
                for (i = 0; i < n; i++) msg(s);
                record("all");
            }
            func calls(n) { for (i = 0; i < n; i++) addTimeCall(1000, this, "later"); record("all"); }
            func values(n) { v = 0; for (i = 0; i < n; i++) addTimeValue(1000, 10, v, 0.0, 1.0); record("all"); }
            func slides(n) { for (i = 0; i < n; i++) addTimeObject(1000, 10, 0, "x", 0.0, 1.0); record("all"); }
            func updates(o, n) { for (i = 0; i < n; i++) addUpdateObject(o); record("all"); }
            func namedCalls(n, k) { s = repeat("x", n); for (i = 0; i < k; i++) addTimeCall(1000, this, s); record("all"); }
            func namedSlides(n, k) {
                s = repeat("x", n);
                for (i = 0; i < k; i++) addTimeObject(1000, 10, 0, "x", 0.0, 1.0, 1.0, s);
                record("all");
            }
            func points(n) {
                p = [];
                for (i = 0; i < n; i++) push(p, [i, 0]);
                return p;
            }
            func gestures(p, k) {
                gestureMode(true);
                for (i = 0; i < k; i++) addGesture("g", 8, 64, 15, 10, 0, p);
                record("all");
            }
            func classNamed(n) { itemSetClass(itemCreate(spriteCreate("", 0, 0, 8, 8, 0.0, 0.0)), "U", repeat("x", n)); record("kept"); }
            func areaNamed(n) { areaCreate(shapeCreate(0, 0.0, 0.0, 8.0, 8.0), "U", repeat("x", n)); record("kept"); }
            func charNamed(n) {
                charCreate(itemCreate(spriteCreate("", 0, 0, 24, 32, 12.0, 28.0)), "V", repeat("x", n), 10, 10);
                record("kept");
            }
            func askNamed(n) { ask(repeat("x", n), "Well?", "Yes"); record("kept"); }
            func cursorNamed(n) { setCursorEvent(repeat("x", n)); record("kept"); }
            func gestureNamed(n) { gestureMode(true); setGestureFunctions(repeat("x", n), ""); record("kept"); }
            func callNamed(n) { addTimeCall(1000, this, repeat("x", n)); record("kept"); }
            func slideNamed(n) { addTimeObject(1000, 10, 0, "x", 0.0, 1.0, 1.0, repeat("x", n)); record("kept"); }
            func entries(k) { a = []; for (i = 0; i < k; i++) a[repeat("x", 1000) + cstr(i)] = i; record("all"); }
            func later() { }
            func slide(from, to, factor) { addTimeObject(0, 10, 0, "x", from, to, factor); }
            func walk(x, y, s) { playerSetPath(x, y, s); }
            func walkChar(c, x, y, s) { charSetPath(c, x, y, s); }
            func walkOwn(x, y, s) { setPath(x, y, s); }
            func hold(n) { kept = repeat("x", n); record("held"); }
            func target(n) { record(createRenderTarget(n)); }
            func load(name) { loadScriptFile(name); record("loaded"); }
            func charThenText() {
                charCreate(itemCreate(spriteCreate("", 0, 0, 24, 32, 12.0, 28.0)), "V", "", 10, 10);
                record("made");
                t = repeat("x", 100000);
                record("kept");
            }
        }
        class V { }
        class U { })");
    }

    // Runs a maker of B past its budget: the call ends at the budget, with
    // one line naming the function and what ran out.
    void PastTheBudget(const char* iFn, std::vector<HostValue> iArgs, size_t iBudget, const std::string& iLine,
                       const std::function<size_t()>& iCount) {
        records.clear();
        const size_t lines = LogCount(iLine);
        auto b = Object("B");
        std::vector<HostValue> args = std::move(iArgs);
        args.push_back(HostValue(int32_t(iBudget + 5)));
        b->Execute(iFn, args);
        EXPECT_EQ(iCount(), iBudget) << iFn;
        EXPECT_EQ(LogCount(iLine), lines + 1) << iFn << "\n" << Logged().substr(Logged().size() > 2000 ? Logged().size() - 2000 : 0);
        EXPECT_TRUE(records.empty()) << iFn;  // the call ended there
    }
};

TEST_F(ScriptLimitsTest, WhatScriptsMakeStopsAtItsBudgetAndTheGameGoesOn) {
    PastTheBudget("emitters", {}, kMaxEmitters, "createEmitter: Out of memory: no more than 2000 emitters",
                  [] { return gCharTest.mapEmitters->Emitters().size(); });

    auto sprite = std::make_shared<zSprite>();
    PastTheBudget("items", {HostValue(std::shared_ptr<iClass>(sprite))}, kMaxItems,
                  "itemCreate: Out of memory: no more than 20000 items",
                  [] { return gCharTest.mapItems->Items().size(); });
    gCharTest.mapItems = std::make_shared<zItemMap>();
    gCharTest.mapItems->SetSize(32, 20, 15);

    // The player is one of the level's characters already.
    PastTheBudget("chars", {}, kMaxChars, "charCreate: Out of memory: no more than 1000 characters",
                  [] { return gCharTest.Chars.size(); });
    PastTheBudget("areas", {}, kMaxAreas, "areaCreate: Out of memory: no more than 10000 areas",
                  [] { return gCharTest.mapAreas->Objects().size(); });

    // Messages and questions share one queue, by number and by bytes of text.
    const std::string queueFull = "Out of memory: no more than 1000 queued messages";
    PastTheBudget("messages", {}, kMaxMessages, "msg: " + queueFull, [] { return gCharTest.Messages.size(); });
    gCharTest.Messages.clear();
    PastTheBudget("asks", {}, kMaxMessages, "ask: " + queueFull, [] { return gCharTest.Messages.size(); });
    gCharTest.Messages.clear();
    // Two texts of 512 KB and the speaker's name are more than the megabyte.
    PastTheBudget("longMessages", {}, 1, "msg: Out of memory: no more than 1048576 bytes of queued message text",
                  [] { return gCharTest.Messages.size(); });
    gCharTest.Messages.clear();

    // The three kinds of timed events count together.
    PastTheBudget("calls", {}, kMaxTimeEvents, "addTimeCall: Out of memory: no more than 100000 timed events",
                  [] { return mTimeline.Events.size(); });
    mTimeline.Events.resize(kMaxTimeEvents - 3);
    PastTheBudget("values", {}, kMaxTimeEvents, "addTimeValue: Out of memory", [] { return mTimeline.Events.size(); });
    mTimeline.Events.resize(kMaxTimeEvents - 3);
    PastTheBudget("slides", {}, kMaxTimeEvents, "addTimeObject: Out of memory",
                  [] { return mTimeline.Events.size(); });
    mTimeline.Events.clear();

    PastTheBudget("updates", {HostValue(std::shared_ptr<iClass>(Object("U")))}, kMaxUpdateObjects,
                  "addUpdateObject: Out of memory: no more than 10000 update objects",
                  [] { return gCharTest.UpdateObjects.size(); });

    // The game goes on: with room again, the same calls make things again.
    gCharTest.mapEmitters->RemoveEmitter(gCharTest.mapEmitters->Emitters().back());
    Object("B")->Execute("emitters", {HostValue(int32_t(1))});
    EXPECT_EQ(gCharTest.mapEmitters->Emitters().size(), kMaxEmitters);
    EXPECT_EQ(records, std::vector<std::string>{"all"});
}

// What the level file placed is the level's: its scripts still get the whole
// of each budget, and the layers hold no more than both together.
TEST_F(ScriptLimitsTest, ALevelsPlacedObjectsLeaveScriptsTheirWholeBudget) {
    constexpr size_t kItems = 300, kChars = 30, kAreas = 300, kEmitters = 30;
    zun::test::LevelWriter w;
    auto items = w.Add(std::make_shared<zItemMap>(), "00000000000000000000000000000001", "mapItems");
    items->SetSize(32, 20, 15);
    for (size_t i = 0; i < kItems; ++i) items->AddItem(std::make_shared<zItem>(), false);
    auto chars = w.Add(std::make_shared<zItemMap>(), "00000000000000000000000000000002", "mapChars");
    chars->SetSize(32, 20, 15);
    for (size_t i = 0; i < kChars; ++i) {
        auto placed = std::make_shared<zItem>();
        placed->ClassName_ = "V";
        placed->KeyName = "v" + std::to_string(i);
        chars->AddItem(placed, false);
    }
    auto areas = w.Add(std::make_shared<zObjectsMap>(), "00000000000000000000000000000003", "mapAreas");
    areas->SetSize(32, 20, 15);
    for (size_t i = 0; i < kAreas; ++i) areas->AddObject(std::make_shared<zDataShape>());
    auto emitters = w.Add(std::make_shared<zEmitterMap>(), "00000000000000000000000000000004", "mapEmitters");
    for (size_t i = 0; i < kEmitters; ++i) emitters->AddEmitter(std::make_shared<zParticleEmitter>());
    zun::test::TempDir app;
    std::filesystem::create_directories(app.HostPath("data"));
    zun::test::WriteHostFile(app.HostPath("data/big.lvl"), w.LevelBytes());
    struct Restore {
        std::string path = zFileSystem.AppPath;
        ~Restore() {
            zFileSystem.AppPath = path;
            frmMain = frmMainForm{};
        }
    } restore;
    zFileSystem.AppPath = app.Path();
    ASSERT_TRUE(LoadLevel("big.lvl"));
    ASSERT_TRUE(gCharTest.mapItems && gCharTest.mapAreas && gCharTest.mapEmitters);
    ASSERT_EQ(gCharTest.Chars.size(), kChars + 1);  // and the player

    PastTheBudget("emitters", {}, kMaxEmitters, "createEmitter: Out of memory: no more than 2000 emitters",
                  [] { return gCharTest.mapEmitters->Emitters().size() - kEmitters; });
    PastTheBudget("chars", {}, kMaxChars, "charCreate: Out of memory: no more than 1000 characters",
                  [] { return gCharTest.Chars.size() - kChars - 1; });
    PastTheBudget("areas", {}, kMaxAreas, "areaCreate: Out of memory: no more than 10000 areas",
                  [] { return gCharTest.mapAreas->Objects().size() - kAreas; });
    auto sprite = std::make_shared<zSprite>();
    PastTheBudget("items", {HostValue(std::shared_ptr<iClass>(sprite))}, kMaxItems,
                  "itemCreate: Out of memory: no more than 20000 items",
                  [] { return gCharTest.mapItems->Items().size() - kItems; });
}

// With the script memory nearly full, a game function still finishes what it
// builds (here a character with its script object) or makes nothing; what the
// script then makes itself is refused. The room left grows until the script
// gets as far as the call.
TEST_F(ScriptLimitsTest, AFullScriptMemoryStopsTheScriptNotTheGameFunctionItCalls) {
    struct Restore {
        size_t bytes = zScript.MaxScriptBytes;
        ~Restore() { zScript.MaxScriptBytes = bytes; }
    } restore;
    auto b = Object("B");
    const size_t chars = gCharTest.Chars.size();
    for (size_t room = 0; room < 8192 && gCharTest.Chars.size() == chars; room += 8) {
        records.clear();
        zScript.MaxScriptBytes = ScriptBytesInUse() + room;
        b->Execute("charThenText");
        zScript.MaxScriptBytes = restore.bytes;
    }
    ASSERT_EQ(gCharTest.Chars.size(), chars + 1) << Logged();
    const auto& made = gCharTest.Chars.back();
    EXPECT_TRUE(made->Item && made->Item->ScriptObject);
    EXPECT_EQ(records, std::vector<std::string>{"made"});
}

// The names and points the game keeps for a script are script memory too:
// with room for a few dozen kilobytes, timed calls and gestures stop there,
// and give the room back when they go. Names have a bound of their own, and
// gestures a number of patterns and of points.
TEST_F(ScriptLimitsTest, WhatTheGameKeepsOfAScriptsTextsAndArraysIsBounded) {
    struct Restore {
        size_t bytes = zScript.MaxScriptBytes;
        ~Restore() { zScript.MaxScriptBytes = bytes; }
    } restore;
    auto b = Object("B");
    const HostValue many = b->Execute("points", {HostValue(int32_t(500))})->Data;
    const size_t before = ScriptBytesInUse();
    zScript.MaxScriptBytes = before + 64 * 1024;
    b->Execute("namedCalls", {HostValue(int32_t(1000)), HostValue(int32_t(200))});
    EXPECT_LT(mTimeline.Events.size(), 70u);
    EXPECT_EQ(LogCount("addTimeCall: Out of memory"), 1u);
    mTimeline.Events.clear();
    b->Execute("namedSlides", {HostValue(int32_t(1000)), HostValue(int32_t(200))});
    EXPECT_LT(mTimeline.Events.size(), 70u);
    EXPECT_EQ(LogCount("addTimeObject: Out of memory"), 1u);
    mTimeline.Events.clear();
    b->Execute("gestures", {many, HostValue(int32_t(20))});
    ASSERT_TRUE(gCharTest.Gestures);
    EXPECT_LT(gCharTest.Gestures->Patterns.size(), 4u);
    EXPECT_EQ(LogCount("AddPattern\tOut of memory"), 20u - gCharTest.Gestures->Patterns.size());
    gCharTest.Gestures->ClearPatterns();
    // So are the names of array entries, which the engine keeps once each.
    b->Execute("entries", {HostValue(int32_t(200))});
    EXPECT_EQ(LogCount("B.entries\tOut of memory"), 1u);
    EXPECT_EQ(ScriptBytesInUse(), before);
    zScript.MaxScriptBytes = restore.bytes;
    records.clear();

    b->Execute("gestures", {b->Execute("points", {HostValue(int32_t(1001))})->Data, HostValue(int32_t(1))});
    EXPECT_EQ(LogCount("Out of memory: no more than 1000 points in a gesture pattern"), 1u);
    b->Execute("gestures", {b->Execute("points", {HostValue(int32_t(2))})->Data, HostValue(int32_t(1005))});
    EXPECT_EQ(gCharTest.Gestures->Patterns.size(), kMaxPatterns);
    EXPECT_EQ(LogCount("Out of memory: no more than 1000 gesture patterns"), 5u);

    // A name as long as the bound is kept; one byte more ends the call.
    for (const auto& [script, fn] : {std::pair{"classNamed", "itemSetClass"}, {"areaNamed", "areaCreate"},
                                     {"charNamed", "charCreate"}, {"askNamed", "ask"},
                                     {"cursorNamed", "setCursorEvent"}, {"gestureNamed", "setGestureFunctions"},
                                     {"callNamed", "addTimeCall"}, {"slideNamed", "addTimeObject"}}) {
        records.clear();
        b->Execute(script, {HostValue(int32_t(kMaxNameLength))});
        b->Execute(script, {HostValue(int32_t(kMaxNameLength + 1))});
        EXPECT_EQ(records, std::vector<std::string>{"kept"}) << script;
        EXPECT_EQ(LogCount(std::string(fn) + ": Out of memory: no more than 1024 bytes in a name"), 1u) << script;
    }
    EXPECT_EQ(gCharTest.CursorEvent.size(), kMaxNameLength);
    EXPECT_EQ(mTimeline.Events.size(), 2u);
}

// Graphics, script values and a script file being unpacked share one
// ceiling: with its room taken by one kind, the others are refused with a
// line naming what was asked and what holds the memory, and the game goes on.
TEST_F(ScriptLimitsTest, GraphicsScriptValuesAndUnpackedFilesShareOneCeiling) {
    struct Restore {
        int64_t ceiling = zMemory.Ceiling;
        std::string path = zScript.ScriptPath;
        ~Restore() {
            zMemory.Ceiling = ceiling;
            zScript.ScriptPath = path;
        }
    } restore;
    zun::test::TempDir dir;
    std::vector<uint8_t> packed;
    ASSERT_TRUE(SaveDataBytes(std::vector<uint8_t>(size_t(3) << 20), true, "", packed));
    zun::test::WriteHostFile(dir.HostPath("big.dat"), packed);
    zScript.ScriptPath = dir.Path();
    auto b = Object("B");
    constexpr int32_t kMB = 1 << 20;
    zMemory.Ceiling = zMemory.Total + 3 * kMB + kMB / 2;

    b->Execute("hold", {HostValue(kMB)});
    b->Execute("target", {HostValue(1024)});
    EXPECT_EQ(records, (std::vector<std::string>{"held", "0"}));
    EXPECT_EQ(LogCount("ERR\tMemory ceiling reached\tRenderTarget 1024\t4 MB of graphics past the memory ceiling of "),
              1u)
        << Logged();
    EXPECT_EQ(LogCount("(graphics 0 MB, script values 1 MB"), 1u);

    records.clear();
    b->Execute("load", {HostValue("big.dat")});
    EXPECT_EQ(LogCount("ERR\tMemory ceiling reached\t" + dir.Path("big.dat") + "\t3 MB of unpacked files past"), 1u)
        << Logged();
    EXPECT_EQ(records, std::vector<std::string>{"loaded"});

    records.clear();
    b->Execute("target", {HostValue(512)});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_GT(std::stoi(records[0]), 0);
    b->Execute("hold", {HostValue(2 * kMB)});
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(LogCount("B.hold\tOut of memory: "), 1u) << Logged();
    EXPECT_EQ(LogCount(" of script values past the memory ceiling of "), 1u) << Logged();
    EXPECT_LE(zMemory.Total, zMemory.Ceiling);
}

TEST_F(ScriptLimitsTest, FarValuesAreRefusedWhereTheyComeIn) {
    auto b = Object("B");
    const auto& sprite = gCharTest.Player->Sprite;
    const float inf = std::numeric_limits<float>::infinity();
    // The timeline would move the player's sprite through these values.
    for (auto [from, to, factor] : {std::tuple{0.0f, 1e30f, 1.0f}, std::tuple{-1e30f, 0.0f, 1.0f},
                                    std::tuple{0.0f, 17e6f, 1.0f}, std::tuple{0.0f, inf, 1.0f},
                                    std::tuple{0.0f, 100.0f, -8.0f}, std::tuple{0.0f, 100.0f, std::nanf("")}}) {
        b->Execute("slide", {HostValue(from), HostValue(to), HostValue(factor)});
        EXPECT_TRUE(mTimeline.Events.empty()) << from << " " << to << " " << factor;
    }
    EXPECT_EQ(LogCount("addTimeObject: Invalid procedure call or argument"), 6u);
    // Up to the farthest place, and any factor from 0 up, the sprite moves.
    b->Execute("slide", {HostValue(0.0f), HostValue(16777216.0f), HostValue(0.0f)});
    ASSERT_EQ(mTimeline.Events.size(), 1u);
    zCore.FrameCounter += 1;
    mTimeline.UpdateTimeline();
    EXPECT_FLOAT_EQ(sprite->x, 16777216.0f);

    // A walk at such a speed would fail every frame of it.
    auto walker = Char("walker", 200, 200);
    const auto path = gCharTest.Player->MovePath;
    const auto walkerPath = walker->MovePath;
    const float speed = gCharTest.Player->Speed;
    b->Origin = gCharTest.Player;
    for (float s : {1e30f, -1e30f, inf, std::nanf("")}) {
        b->Execute("walk", {HostValue(int32_t(300)), HostValue(int32_t(300)), HostValue(s)});
        b->Execute("walkChar", {HostValue(std::shared_ptr<iClass>(walker)), HostValue(int32_t(300)),
                                HostValue(int32_t(300)), HostValue(s)});
        b->Execute("walkOwn", {HostValue(int32_t(300)), HostValue(int32_t(300)), HostValue(s)});
    }
    EXPECT_EQ(gCharTest.Player->MovePath, path);
    EXPECT_EQ(walker->MovePath, walkerPath);
    EXPECT_EQ(gCharTest.Player->Speed, speed);
    EXPECT_EQ(LogCount("playerSetPath: Invalid procedure call or argument"), 4u);
    EXPECT_EQ(LogCount("charSetPath: Invalid procedure call or argument"), 4u);
    EXPECT_EQ(LogCount("\tsetPath: Invalid procedure call or argument"), 4u);
    b->Execute("walk", {HostValue(int32_t(300)), HostValue(int32_t(300)), HostValue(2.0f)});
    EXPECT_NE(gCharTest.Player->MovePath, path);
    EXPECT_FLOAT_EQ(gCharTest.Player->Speed, 2.0f);
}

}  // namespace
}  // namespace tarv::test
