// Start-up and shut-down of the main window, and the frame tick.
#include <gtest/gtest.h>

#include "MainFormTestSupport.h"
#include "core/zRegistry.h"
#include "game/effects/gParticleSystem.h"
#include "game/world/gBorder.h"
#include "game/world/gPath.h"
#include "game/world/gPlayerMover.h"
#include "scene/iEmitter.h"
#include "scene/zCamera.h"
#include "scene/zCollisionMap.h"
#include "scene/zEmitterMap.h"
#include "script/zScriptArray.h"

namespace tarv::test {
namespace {

const char* const kGame = R"(
class Player {
    func onLoad() { record("player.onLoad"); }
}
class Game {
    player = 0;
    func onLoad() {
        record("game.onLoad", debug, _screenW, _mz, _dx, _dy, _dz, _time);
        player = new("Player");
    }
    func onUpdate() { record("game.onUpdate", _frame); }
    func onExit() { record("game.onExit"); }
}
class Music {
    func onLoad() { record("music.onLoad"); }
    func beat() { record("music.beat"); }
}
class Obj {
    func onUpdate() { record("obj.onUpdate"); }
    func onNextFrame() { record("lens.onNextFrame"); }
}
)";

using StartUp = MainFormTest;

TEST_F(StartUp, RunsItsStepsInOrderAndBuildsTheProgramWideObjects) {
    WriteGame(kGame);
    ASSERT_TRUE(frmMain.Form_Load(""));
    EXPECT_TRUE(frmMain.Running);
    // The start-up takes the decimal separator from the locale.
    EXPECT_EQ(calls, (std::vector<std::string>{"SetDefaultSettings", "ApplySettings",
                                               "game.onLoad,,640,0,0,0,0,43200" + zCore.DecimalSeparator + "5",
                                               "music.onLoad", "player.onLoad"}));

    // The nine classes join the factory after the framework's own.
    for (const char* c : {"zObjectsMap", "zDataShape", "gBorder", "gChar", "gCharset", "zEmitterMap", "zItemMap",
                          "zSoundEmitter", "zParticleEmitter"})
        EXPECT_NE(CreateClass(c), nullptr) << c;

    const auto& p = gCharTest.Player;
    ASSERT_TRUE(p && p->Item && p->Sprite && p->CharSet);
    EXPECT_EQ(p->CharSet->W, 24);
    EXPECT_EQ(p->CharSet->FramesY, 4);
    EXPECT_EQ(p->MovePath, gCharTest.PlayerPath);
    EXPECT_EQ(p->AniWalkOffset, 1);
    EXPECT_TRUE(p->Item->Shadow && p->Item->Mirrored && p->Item->Visible);
    ASSERT_TRUE(p->Item->ScriptObject);
    EXPECT_EQ(p->Item->ScriptObject->Origin.lock(), p);
    EXPECT_TRUE(std::dynamic_pointer_cast<gPlayerMover>(gCharTest.Controller));
    EXPECT_EQ(gCharTest.Controllers.size(), 1u);

    EXPECT_EQ(frmMain.Camera->ScreenW, 640);
    EXPECT_TRUE(frmMain.Camera->CenterTarget);
    EXPECT_EQ(gCharTest.Cursor->W, 32);
    EXPECT_EQ(gCharTest.Cursor->OriginX, 14.0f);
    EXPECT_EQ(gCharTest.UseRange, 64.0f);
    EXPECT_EQ(gCharTest.LookRange, 256.0f);
    EXPECT_TRUE(gCharTest.GameUpdates);
    EXPECT_NE(gCharTest.RenderBuffers[0], gCharTest.RenderBuffers[1]);
    EXPECT_NE(gCharTest.LightTarget, 0);
    EXPECT_EQ(gEffects.Particles, gCharTest.Particles);
    EXPECT_EQ(gWeather.Camera, frmMain.Camera);
    EXPECT_EQ(gCharTest.Border->Meta->GetSingle("_Alpha", 0), 1.0f);

    // The music setups call into the "music" object.
    zMusicSetup.ScriptObject("beat");
    EXPECT_EQ(calls.back(), "music.beat");

    frmMain.Form_Unload();
    EXPECT_EQ(calls.back(), "game.onExit");
    EXPECT_TRUE(frmMain.Closed);
    EXPECT_FALSE(zCore.Initialized);
}

TEST_F(StartUp, CommandLineDebugAsksAndOtherWordsGoToTheCompiler) {
    WriteGame(kGame);
    PushMessageBoxAnswer(MsgBoxResult::Yes);
    ASSERT_TRUE(frmMain.Form_Load("debug"));
    EXPECT_EQ(calls[2].substr(0, 17), "game.onLoad,True,");
    EXPECT_TRUE(Logged("$debug = true?"));
    ZUN_Release();

    // "No" leaves the game without the value; other letter case is a script name.
    calls.clear();
    PushMessageBoxAnswer(MsgBoxResult::No);
    ASSERT_TRUE(frmMain.Form_Load("debug"));
    EXPECT_EQ(calls[2].substr(0, 13), "game.onLoad,,");
    ZUN_Release();

    calls.clear();
    ASSERT_TRUE(frmMain.Form_Load("  Debug  two "));
    EXPECT_EQ(calls[0], "ExecuteParams:Debug  two");
    ZUN_Release();

    // A failed compile ends the start-up before the framework starts.
    calls.clear();
    compileResult = false;
    frmMain = frmMainForm{};
    EXPECT_FALSE(frmMain.Form_Load("Game"));
    EXPECT_EQ(calls, (std::vector<std::string>{"ExecuteParams:Game"}));
    EXPECT_FALSE(zCore.Initialized);
    EXPECT_FALSE(frmMain.Running);
}

TEST_F(StartUp, WithoutAssetsTheGameStillStartsAndRuns) {
    WriteGame(kGame);
    ASSERT_TRUE(frmMain.Form_Load(""));
    EXPECT_TRUE(frmMain.Running);
    // The story the message "#" shows is missing, and the log says where it was looked for.
    EXPECT_TRUE(Logged("WARN\tCreateTextBoxes\tFile not found\t<" + dir.Path("story.txt") + ">"));
    calls.clear();
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(calls, (std::vector<std::string>{"game.onUpdate,1", "RenderGamePre", "RenderGame", "game.onUpdate,2",
                                               "RenderGamePre", "RenderGame", "game.onUpdate,3", "RenderGamePre",
                                               "RenderGame"}));
    frmMain.Front_MouseDown(1, 0, 10, 10);
    frmMain.Front_MouseMove(1, 0, 12, 10);
    frmMain.Front_MouseUp(1, 0, 12, 10);
}

TEST_F(StartUp, AGameScriptThatCannotBeLoadedIsReportedOnceAndEndsTheProgram) {
    // Errors about the script (the missing pictures and fonts have their own).
    auto reports = [&] {
        size_t n = 0;
        for (const auto& l : log.Lines()) {
            const bool shown = l.rfind("ERR", 0) == 0 || l.find("Error loading script") != std::string::npos;
            n += shown && (l.find("Game.dat") != std::string::npos || l.find("Script class") != std::string::npos);
        }
        return n;
    };
    // Missing, then garbage: either way one report, then the end, not an
    // empty game without a level or a player.
    EXPECT_FALSE(frmMain.Form_Load(""));
    EXPECT_TRUE(Logged("File not found\t<Game.dat>"));
    EXPECT_EQ(reports(), 1u);
    EXPECT_TRUE(Logged("No game script could be loaded from Game.dat: the program ends"));
    EXPECT_FALSE(frmMain.Running);
    EXPECT_FALSE(zCore.Initialized);

    zun::test::WriteHostFile(dir.HostPath("scripts/Game.dat"), std::vector<uint8_t>(300, 0xA5));
    log.Clear();
    frmMain = frmMainForm{};
    EXPECT_FALSE(frmMain.Form_Load(""));
    EXPECT_TRUE(Logged("Error loading script"));
    EXPECT_EQ(reports(), 1u);
    EXPECT_TRUE(Logged("No game script could be loaded from Game.dat: the program ends"));
    EXPECT_FALSE(frmMain.Running);
}

TEST_F(StartUp, NoDrawingDeviceEndsTheStartUp) {
    zDDraw.BackendFactory = [](const GlBackendConfig&) -> std::unique_ptr<RenderBackend> { return nullptr; };
    EXPECT_FALSE(frmMain.Form_Load(""));
    EXPECT_TRUE(Logged("Could not initialize window! The program will now exit."));
    EXPECT_FALSE(frmMain.Running);
}

// The program ends with a failure status whenever the load says False.
TEST_F(StartUp, AFrameworkThatGoesDownDuringTheStartUpFailsIt) {
    gShellParts.SetDefaultSettings = [] { ZUN_Release(); };
    EXPECT_FALSE(frmMain.Form_Load(""));
    EXPECT_TRUE(Logged("ERR\tForm_Load\tThe framework did not start"));
    EXPECT_FALSE(frmMain.Running);
}

// ---- the frame tick ----------------------------------------------------------

class RecordingController : public iController {
public:
    std::vector<std::string>* calls = nullptr;
    bool take = false;
    void CheckInput() override { calls->push_back("CheckInput"); }
    bool MouseDown(float x, float y, int16_t b) override { return Note("down", x, y, b); }
    bool MouseMove(float x, float y, int16_t b) override { return Note("move", x, y, b); }
    bool MouseUp(float x, float y, int16_t b) override { return Note("up", x, y, b); }
    bool Note(const char* what, float x, float y, int16_t b) {
        calls->push_back(std::string(what) + "," + FormatSingle(x) + "," + FormatSingle(y) + "," + FormatLong(b));
        return take;
    }
};

// An emitter that is nothing but its class name and notes its updates.
class NamedEmitter : public iEmitter, public iClass {
public:
    NamedEmitter(std::string name, std::vector<std::string>* calls) : name_(std::move(name)), calls_(calls) {}
    std::string ClassName() const override { return name_; }
    iClass* Class() override { return this; }
    float GetX() const override { return 130; }
    float GetY() const override { return 140; }
    void Update(float d) override { calls_->push_back(name_ + "," + FormatSingle(d)); }

private:
    std::string name_;
    std::vector<std::string>* calls_;
};

using FrameTick = MainFormTest;

TEST_F(FrameTick, StepsRunInOrderAndTheLimiterLetsOneFrameThroughPer33Ms) {
    Start(kGame);
    gCharTest.Lens = Object("Obj");
    gCharTest.LevelObject = Object("Obj");
    gCharTest.UpdateObjects = {Object("Obj")};
    auto c = std::make_shared<RecordingController>();
    c->calls = &calls;
    gCharTest.PushController(c);
    frmMain.LastFrameTick = now;

    now += 32;
    frmMain.tmrMain_Timer();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(zCore.FrameCounter, 0);
    now += 1;
    frmMain.tmrMain_Timer();
    EXPECT_EQ(calls, (std::vector<std::string>{"lens.onNextFrame", "game.onUpdate,1", "CheckInput", "obj.onUpdate",
                                               "obj.onUpdate", "RenderGamePre", "RenderGame"}));
    EXPECT_EQ(frmMain.LastFrameTick, now);

    // Without the limiter every timer event is a frame.
    Set("DisableTimer", 1);
    calls.clear();
    frmMain.tmrMain_Timer();
    frmMain.tmrMain_Timer();
    EXPECT_EQ(zCore.FrameCounter, 3);

    // Without game updates the count and the globals stand still; drawing goes on.
    gCharTest.GameUpdates = false;
    calls.clear();
    frmMain.tmrMain_Timer();
    EXPECT_EQ(calls, (std::vector<std::string>{"lens.onNextFrame", "RenderGamePre", "RenderGame"}));
    EXPECT_EQ(zCore.FrameCounter, 3);
    EXPECT_EQ(zScript.Globals->GetName("_frame")->GetLong(), 3);
}

// After 24.9 days of uptime the tick count is negative, after 49.7 it wraps:
// the limiter still lets one frame through per 33 ms.
TEST_F(FrameTick, TheLimiterCountsAcrossANegativeAndWrappingTickCount) {
    Start(kGame);
    gCharTest.LevelObject = Object("Obj");
    now = -2000000000;
    frmMain.tmrMain_Timer();
    EXPECT_EQ(zCore.FrameCounter, 1);
    EXPECT_EQ(frmMain.LastFrameTick, now);

    frmMain.LastFrameTick = INT32_MAX - 10;
    now = INT32_MIN + 21;  // 32 ms later
    frmMain.tmrMain_Timer();
    EXPECT_EQ(zCore.FrameCounter, 1);
    now += 1;
    frmMain.tmrMain_Timer();
    EXPECT_EQ(zCore.FrameCounter, 2);
}

TEST_F(FrameTick, EscAsksAndOnlyYesClosesTheWindow) {
    Start(kGame);
    zDInput.Keys[27] = true;
    PushMessageBoxAnswer(MsgBoxResult::No);
    Frame();
    EXPECT_FALSE(zDInput.Keys[27]);
    EXPECT_EQ(calls.front(), "game.onUpdate,1");
    EXPECT_TRUE(Logged("Vorlund Demo wirklich beenden?"));

    calls.clear();
    zDInput.Keys[27] = true;
    PushMessageBoxAnswer(MsgBoxResult::Yes);
    Frame();
    EXPECT_EQ(calls, (std::vector<std::string>{"game.onExit"}));
    EXPECT_TRUE(frmMain.Closed);
}

TEST_F(FrameTick, LevelTypeSteersWeatherAndTheCameraFollowsThePlayer) {
    Start(kGame);
    gCharTest.Player->Sprite->SetPosition(100, 100);
    gCharTest.LevelObject = Object("Obj");
    gCharTest.LevelObject->Locals->SetNameValue("type", HostValue("dungeon"));
    gCharTest.GameTime = 500;
    Frame();
    EXPECT_EQ(uint32_t(frmMain.AmbientColor), 0xFF000000u);
    gCharTest.LevelObject->Locals->SetNameValue("type", HostValue("town"));
    Frame();
    EXPECT_EQ(frmMain.AmbientColor,
              zDDrawModule::GetColorRGB(gWeather.Ambient.R, gWeather.Ambient.G, gWeather.Ambient.B));
    EXPECT_GT(gWeather.Ambient.R, 0.5f);  // noon
    EXPECT_EQ(gWeather.WindStrength, 0.0f);
    EXPECT_EQ(frmMain.Camera->dX, 100.0f);
    EXPECT_EQ(frmMain.Camera->dY, 84.0f);

}

// The mover's blocked step plans the way anew; the player's own update, later
// in the frame, walks the same path but must not plan it again.
TEST_F(FrameTick, ABlockedPlayerPlansItsWayOnceAFrame) {
    Start(kGame);
    auto map = std::make_shared<zCollisionMap>();
    map->SetTileSize(32);
    map->SetSize(19, 19);
    for (int32_t y = 0; y <= 19; ++y)
        for (int32_t x = 0; x <= 19; ++x) map->SetTile(x, y, 0, 1);
    gCharTest.mapCollision = map;
    const auto player = gCharTest.Player;
    player->Sprite->SetPosition(336, 336);
    // Someone broad stands right in front, in every direction the player may turn to.
    auto blocker = std::make_shared<gChar>();
    blocker->Item = std::make_shared<zItem>();
    blocker->Sprite = std::make_shared<zSprite>();
    blocker->SetCharSet(player->CharSet);
    blocker->Sprite->SetPosition(380, 336);
    blocker->Sprite->W = 96;
    blocker->CollisionShape = 2;
    gCharTest.Chars = {player, blocker};  // as a level load lists them
    ASSERT_GT(gCharTest.PlayerPath->FindPath(map.get(), 1, 10, 10, 15, 10, false), 0);
    for (int frame = 0; frame < 3; ++frame) {
        const uint64_t before = gPath::Searches();
        Frame();
        EXPECT_EQ(gPath::Searches() - before, 1u) << "frame " << frame;
    }
    EXPECT_FLOAT_EQ(player->Sprite->x, 336) << "the player stood blocked";
    EXPECT_GT(gCharTest.PlayerPath->WayPointCount, 0);
    EXPECT_EQ(player->MovePath, gCharTest.PlayerPath);
}

// A sound emitter is first updated in frame 2, a particle emitter only with
// the particle system on; both get their distance to the player.
TEST_F(FrameTick, EmittersAndTheCursorSparkle) {
    Start(kGame);
    gCharTest.Player->Sprite->SetPosition(100, 100);
    auto emitters = std::make_shared<zEmitterMap>();
    emitters->SetSize(64, 8, 8);
    emitters->AddEmitter(std::make_shared<NamedEmitter>("zSoundEmitter", &calls));
    emitters->AddEmitter(std::make_shared<NamedEmitter>("zParticleEmitter", &calls));
    gCharTest.mapEmitters = emitters;
    const int32_t before = gCharTest.Particles->ParticleCount;
    Frame();
    EXPECT_EQ(calls[1], "zParticleEmitter,50");
    EXPECT_EQ(gCharTest.Particles->ParticleCount, before + 1);  // the cursor sparkle
    EXPECT_EQ(gCharTest.LightParticles->ParticleCount, 1);      // and its glow
    calls.clear();
    Set("ParticleSystem", 0);
    Frame();
    EXPECT_EQ(calls[1], "zSoundEmitter,50");
    EXPECT_EQ(calls.size(), 4u);
}

}  // namespace
}  // namespace tarv::test
