// Gestures, music setups, sounds by distance, level loading, lantern
// emitters, lightning and the lens, driven from scripts.
#include <filesystem>

#include "core/zFileSystem.h"
#include "core/zValues.h"
#include "devices/test_sound_fixtures.h"
#include "devices/zDMusic.h"
#include "devices/zDShow.h"
#include "devices/zDSound.h"
#include "devices/zMusicSetup.h"
#include "game/shell/frmMain.h"
#include "game/world/gGestures.h"
#include "scene/zCamera.h"
#include "scene/zTileMap.h"
#include "support/LevelWriter.h"
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class MediaTest : public ScriptApiTest {
protected:
    zun::test::TempDir media;

    void SetUp() override {
        ScriptApiTest::SetUp();
        LoadScript(R"(class M {
            func gesture(on) { gestureMode(on); }
            func center(x, y) { setGestureCenter(x, y); }
            func functions(c, p) { setGestureFunctions(c, p); }
            func clear() { clearGestures(); }
            func add() { addGesture("line", 0.5, 2, 100, 8, 0, [[0, 0], [40, 0]]); }
            func music2(n, r) { playMusic(n, r); }
            func music3(n, r, l) { playMusic(n, r, l); }
            func musicName(n) { playMusic(n); record("after"); }
            func volume(f) { setMusicVolume(f); }
            func stop() { stopMusic(); }
            func sound(f) { playSound(f); }
            func soundAt(f, v, s) { playSound(f, v, s); }
            func level(n, x, y) { loadLevel(n, x, y); }
            func lantern(x, y, z) { createEmitter(x, y, z); }
            func flash0() { flash(); }
            func flash1(d) { flash(d); }
            func flash2(d, s) { flash(d, s); }
            func flash3() { flash(1, 0.5, 3); }
            func lens(o) { assignLens(o); }
            func noLens() { assignLens(); }
        }
        class Hop { func onLoad() { loadLevel("small.lvl", 3, 4); } }
        class Lens {
            who = "";
            func onAssign() { record("assign", who); }
            func onRemove() { record("remove", who); }
        })");
    }

    std::shared_ptr<zScriptObject> M() { return Object("M"); }

    // The media folder becomes the program folder, with a level of one
    // 16-pixel collision layer at each path below it; a fresh camera.
    void WriteSmallLevel(std::initializer_list<const char*> paths) {
        MakeLevel();
        zFileSystem.AppPath = media.Path();
        zun::test::LevelWriter w;
        auto col = std::make_shared<zCollisionMap>();
        col->SetTileSize(16);
        col->SetSize(30, 20);
        w.Add(col, "00000000000000000000000000000001", "mapCollision");
        for (const char* at : paths) {
            std::filesystem::create_directories(std::filesystem::path(media.HostPath(at)).parent_path());
            zun::test::WriteHostFile(media.HostPath(at), w.LevelBytes());
        }
        frmMain.Camera = std::make_shared<zCamera>();
    }
};

// ---- gestures -----------------------------------------------------------------

TEST_F(MediaTest, GestureModePushesAControllerForTheCaller) {
    auto so = M();
    so->Execute("gesture", {HostValue(true)});
    auto first = gCharTest.Gestures;
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Caller, so);
    EXPECT_EQ(gCharTest.Controller, first);

    // Again: a new controller replaces the old one on the stack.
    so->Execute("gesture", {HostValue(true)});
    auto second = gCharTest.Gestures;
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(gCharTest.Controllers.size(), 1u);
    EXPECT_EQ(gCharTest.Controller, second);

    // Off once gives the input back to what was there before.
    so->Execute("gesture", {HostValue(false)});
    EXPECT_FALSE(gCharTest.Gestures);
    EXPECT_TRUE(gCharTest.Controllers.empty());
    EXPECT_FALSE(gCharTest.Controller);
    // Off while already off takes nothing more away.
    so->Execute("gesture", {HostValue(false)});
    EXPECT_TRUE(gCharTest.Controllers.empty());
    EXPECT_EQ(LogCount("ERR"), 0u);
}

TEST_F(MediaTest, GesturePatternsFunctionsAndCentre) {
    auto so = M();
    so->Execute("gesture", {HostValue(true)});
    so->Execute("add");
    so->Execute("add");
    gGestures& g = *gCharTest.Gestures;
    ASSERT_EQ(g.Patterns.size(), 2u);
    so->Execute("functions", {HostValue("onCancel"), HostValue("onProgress")});
    EXPECT_EQ(g.CancelFunction, "onCancel");
    EXPECT_EQ(g.ProgressFunction, "onProgress");

    // World pixels to screen pixels through the camera and the render zoom.
    gWeather.Camera = std::make_shared<zCamera>();
    gWeather.Camera->x = 100;
    gWeather.Camera->y = 50;
    zDDraw.RenderZoom = 2.0f;
    so->Execute("center", {HostValue(130.0f), HostValue(60.5f)});
    EXPECT_FLOAT_EQ(g.Patterns[0]->GetCenter().x, 60.0f);
    EXPECT_FLOAT_EQ(g.Patterns[0]->GetCenter().y, 21.0f);
    EXPECT_FLOAT_EQ(g.Patterns[1]->GetCenter().x, 60.0f);

    so->Execute("clear");
    EXPECT_TRUE(g.Patterns.empty());
    EXPECT_EQ(LogCount("ERR"), 0u);
}

// Clearing before the mode is on finds nothing to clear, which is no failure;
// the other gesture functions need the mode.
TEST_F(MediaTest, GestureFunctionsFailWhileTheModeIsOff) {
    auto so = M();
    so->Execute("clear");
    EXPECT_EQ(LogCount("ERR"), 0u);
    so->Execute("add");
    so->Execute("functions", {HostValue("a"), HostValue("b")});
    gWeather.Camera = std::make_shared<zCamera>();
    so->Execute("center", {HostValue(1.0f), HostValue(1.0f)});
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 3u);
    // With the mode on but no camera the centre cannot be placed either.
    so->Execute("gesture", {HostValue(true)});
    gWeather.Camera.reset();
    so->Execute("center", {HostValue(1.0f), HostValue(1.0f)});
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 4u);
}

// ---- music --------------------------------------------------------------------

class MusicTest : public MediaTest {
protected:
    void SetUp() override {
        MediaTest::SetUp();
        AudioDevice::UseOffline(8000);
        zun::test::WriteHostFile(media.HostPath("long.wav"), zun::test::ConstantWav(1, 8000, 8, 8000 * 4, 0.5));
        ASSERT_TRUE(DSound_Initialize(0));
        zDMusic.CreateSynth = [](int32_t, std::string&) { return std::make_unique<zun::test::RecordingSynth>(); };
        ASSERT_TRUE(DMusic_Initialize(0));
        zDSound.SoundPath = media.Path();
        zDMusic.MusicPath = media.Path();
        zMusicSetup = zMusicSetupState{};
        for (const char* name : {"town.zms", "forest.zms"}) WriteSetup(name);
    }
    void TearDown() override {
        zMusicSetup = zMusicSetupState{};
        DShow_Release();
        DMusic_Release();
        DSound_Release();
        zDMusic.CreateSynth = nullptr;
        AudioDevice::UseHardware();
        MediaTest::TearDown();
    }
    // A setup playing the wave "long.wav", without events.
    void WriteSetup(const std::string& name) {
        zStream s;
        s.WriteByte(2);
        s.WriteString("long.wav");
        s.WriteByte(1);
        for (int k = 0; k < 4; ++k) s.WriteLong(0);
        s.WriteSingle(0.8f);
        s.WriteSingle(1.0f);
        s.WriteLong(0);
        ASSERT_TRUE(s.FileExport(media.Path(name), false));
    }
    static const MusicSetupEntry& Entry(int32_t i) { return zMusicSetup.Setups[size_t(i)]; }
};

TEST_F(MusicTest, PlayMusicKeepsTheSameSetupAndSwitchesToAnother) {
    auto so = M();
    so->Execute("music2", {HostValue("town.zms"), HostValue(false)});
    ASSERT_EQ(gCharTest.MusicSetup, 1);
    EXPECT_TRUE(Entry(1).Running);
    EXPECT_TRUE(Entry(1).Looping);  // two arguments loop
    EXPECT_EQ(Entry(1).Name, "town.zms");

    // The same name again: nothing happens, not even a restart.
    const int32_t wave = Entry(1).Wave;
    so->Execute("music2", {HostValue("town.zms"), HostValue(true)});
    EXPECT_EQ(gCharTest.MusicSetup, 1);
    EXPECT_EQ(zMusicSetup.SetupCount, 1);
    EXPECT_EQ(Entry(1).Wave, wave);

    // Another name stops the current one first.
    so->Execute("music3", {HostValue("forest.zms"), HostValue(false), HostValue(false)});
    EXPECT_EQ(gCharTest.MusicSetup, 2);
    EXPECT_FALSE(Entry(1).Running);
    EXPECT_TRUE(Entry(2).Running);
    EXPECT_FALSE(Entry(2).Looping);

    // Back with restart: the existing entry starts again, no new one is made.
    so->Execute("music2", {HostValue("town.zms"), HostValue(true)});
    EXPECT_EQ(gCharTest.MusicSetup, 1);
    EXPECT_EQ(zMusicSetup.SetupCount, 2);
    EXPECT_TRUE(Entry(1).Running);
    EXPECT_FALSE(Entry(2).Running);

    // Without restart a known name is added as a new entry.
    so->Execute("music2", {HostValue("forest.zms"), HostValue(false)});
    EXPECT_EQ(gCharTest.MusicSetup, 3);
    EXPECT_EQ(zMusicSetup.SetupCount, 3);
}

TEST_F(MusicTest, StopKeepsTheIndexTheSameNamePlaysAgainAndVolumeWritesTheFactor) {
    auto so = M();
    // Nothing started: both do nothing.
    so->Execute("stop");
    so->Execute("volume", {HostValue(0.5f)});
    EXPECT_EQ(gCharTest.MusicSetup, 0);

    so->Execute("music2", {HostValue("town.zms"), HostValue(false)});
    so->Execute("volume", {HostValue(0.25f)});
    EXPECT_FLOAT_EQ(Entry(1).Setup.VolumeFactor, 0.25f);
    so->Execute("stop");
    EXPECT_FALSE(Entry(1).Running);
    EXPECT_EQ(gCharTest.MusicSetup, 1);
    // Asking for it again plays it again.
    so->Execute("music2", {HostValue("town.zms"), HostValue(true)});
    EXPECT_EQ(gCharTest.MusicSetup, 1);
    EXPECT_TRUE(Entry(1).Running);
    EXPECT_EQ(zMusicSetup.SetupCount, 1);

    // An index that names no entry fails instead of writing past the table.
    gCharTest.MusicSetup = 9;
    so->Execute("volume", {HostValue(0.5f)});
    EXPECT_EQ(LogCount("Subscript out of range"), 1u);
}

TEST_F(MusicTest, PlayMusicNeedsTheRestartArgumentAndSurvivesAMissingFile) {
    auto so = M();
    so->Execute("musicName", {HostValue("town.zms")});
    EXPECT_EQ(LogCount("Not enough arguments!\tplayMusic"), 1u);
    EXPECT_EQ(gCharTest.MusicSetup, 0);
    EXPECT_EQ(zMusicSetup.SetupCount, 0);
    EXPECT_EQ(records, (std::vector<std::string>{"after"}));

    so->Execute("music2", {HostValue("town.zms"), HostValue(false)});
    so->Execute("music2", {HostValue("nowhere.zms"), HostValue(false)});
    // The old setup was stopped; there is no new one.
    EXPECT_FALSE(Entry(1).Running);
    EXPECT_EQ(gCharTest.MusicSetup, 0);
}

// ---- sounds -------------------------------------------------------------------

TEST_F(MusicTest, SoundsFadeWithTheDistanceFromThePlayer) {
    MakeLevel();  // the player at (100, 100)
    for (const char* f : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"})
        zun::test::WriteHostFile(media.HostPath(f), zun::test::ConstantWav(1, 8000, 8, 800, 0.5));
    auto volumeOf = [](const std::string& file) -> int32_t {
        for (int32_t i = 1; i <= zDSound.WaveCount; ++i)
            if (zDSound.WaveFiles[size_t(i)] == file) return zDSound.Waves[size_t(i)]->GetVolume();
        return 1;  // never loaded
    };
    // A script object without a place plays at the volume given.
    auto nowhere = M();
    nowhere->Execute("soundAt", {HostValue("a.wav"), HostValue(0.5f), HostValue(2.0f)});
    EXPECT_EQ(volumeOf("a.wav"), -5000);
    EXPECT_EQ(zDSound.Waves[size_t(zDSound.WaveCount)]->GetFrequency(), 16000);

    auto placed = M();
    auto at = [&](float x, float y) {
        placed->Locals->SetNameValue("_x", HostValue(x));
        placed->Locals->SetNameValue("_y", HostValue(y));
    };
    at(100, 850);  // 750 pixels away: half the volume
    placed->Execute("sound", {HostValue("b.wav")});
    EXPECT_EQ(volumeOf("b.wav"), -5000);
    at(1600, 100);  // 1500 away: volume 0, still played
    placed->Execute("sound", {HostValue("c.wav")});
    EXPECT_EQ(volumeOf("c.wav"), -10000);
    at(100, 1601);  // beyond: not played at all
    placed->Execute("sound", {HostValue("d.wav")});
    EXPECT_EQ(volumeOf("d.wav"), 1);
    at(400, 500);  // 500 away at volume 0.6: 0.4
    placed->Execute("soundAt", {HostValue("e.wav"), HostValue(0.6f), HostValue(1.0f)});
    EXPECT_EQ(volumeOf("e.wav"), -6000);
    EXPECT_EQ(LogCount("ERR"), 0u);

    // A place without a player to hear it from fails.
    gCharTest.Player.reset();
    placed->Execute("sound", {HostValue("a.wav")});
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 1u);
}

TEST_F(MusicTest, AMissingSoundFileIsLoggedByTheSoundLayer) {
    M()->Execute("sound", {HostValue("missing.wav")});
    EXPECT_EQ(LogCount("ERR\tScript"), 0u);
    EXPECT_EQ(zDSound.WaveCount, 0);
}

TEST_F(MusicTest, SoundPictureAndMusicNamesStayInTheProgramFolder) {
    for (const char* sub : {"prog/sound", "prog/music", "prog/img"})
        std::filesystem::create_directories(media.HostPath(sub));
    zFileSystem.AppPath = media.Path("prog\\");
    zDSound.SoundPath = media.Path("prog\\sound\\");
    zDMusic.MusicPath = media.Path("prog\\music\\");
    zDDraw.TexturePath = media.Path("prog\\img\\");
    // Beside the program folder, readable files of every kind.
    const auto wave = zun::test::ConstantWav(1, 8000, 8, 800);
    const std::vector<uint8_t> white(4 * 4 * 4, 255);
    zun::test::WriteHostFile(media.HostPath("secret.wav"), wave);
    zun::test::WritePng(media.HostPath("secret.png"), 4, 4, white);
    WriteSetup("secret.zms");
    LoadScript(R"(class A { func picture(f) { return spriteCreate(f, 0, 0, 4, 4, 0.0, 0.0); } })");
    auto m = M();
    auto a = Object("A");
    for (const std::string& at : std::vector<std::string>{"../../", "..\\..\\", "sub/../../../", media.Host(), media.Path()}) {
        m->Execute("sound", {HostValue(at + "secret.wav")});
        EXPECT_EQ(zDSound.WaveCount, 0) << at;
        auto sprite = std::dynamic_pointer_cast<zSprite>(a->Execute("picture", {HostValue(at + "secret.png")})->GetObject());
        ASSERT_TRUE(sprite) << at;
        EXPECT_EQ(sprite->Texture, 0) << at;
        m->Execute("music2", {HostValue(at + "secret.zms"), HostValue(false)});
        EXPECT_EQ(zMusicSetup.SetupCount, 0) << at;
        using Named = std::pair<const char*, const char*>;
        for (auto [proc, ext] : {Named{"LoadWave", ".wav"}, Named{"LoadTexture", ".png"}, Named{"StartMusicSetup", ".zms"}})
            EXPECT_EQ(LogCount(std::string("ERR\t") + proc + "\tFile name outside the program folder\t<" + at + "secret" +
                               ext + ">\r\n"),
                      1u)
                << proc << " " << at;
    }
    // The same files inside the program folder play and show.
    std::filesystem::copy_file(media.HostPath("secret.wav"), media.HostPath("prog/sound/inner.wav"));
    std::filesystem::copy_file(media.HostPath("secret.png"), media.HostPath("prog/img/inner.png"));
    m->Execute("sound", {HostValue("inner.wav")});
    EXPECT_EQ(zDSound.WaveCount, 1);
    auto sprite = std::dynamic_pointer_cast<zSprite>(a->Execute("picture", {HostValue("inner.png")})->GetObject());
    ASSERT_TRUE(sprite);
    EXPECT_NE(sprite->Texture, 0);
    // Plain names are last looked up in the folder the program was started
    // from: the files beside the program folder play and show from there.
    const auto savedCwd = std::filesystem::current_path();
    std::filesystem::current_path(media.Host());
    m->Execute("sound", {HostValue("secret.wav")});
    EXPECT_EQ(zDSound.WaveCount, 2);
    m->Execute("music2", {HostValue("secret.zms"), HostValue(false)});
    EXPECT_EQ(zMusicSetup.SetupCount, 1);
    sprite = std::dynamic_pointer_cast<zSprite>(a->Execute("picture", {HostValue("secret.png")})->GetObject());
    std::filesystem::current_path(savedCwd);
    ASSERT_TRUE(sprite);
    EXPECT_NE(sprite->Texture, 0);
    zFileSystem.AppPath.clear();
}

// ---- levels, emitters, lightning, lens -------------------------------------------

TEST_F(MediaTest, LoadLevelPlacesPlayerAndCamera) {
    WriteSmallLevel({"data/small.lvl"});
    frmMain.Camera->W = 320;
    frmMain.Camera->H = 240;

    M()->Execute("level", {HostValue("small.lvl"), HostValue(int32_t(10)), HostValue(int32_t(5))});
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->x, 168);
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->y, 88);
    EXPECT_FLOAT_EQ(frmMain.Camera->x, 168);
    EXPECT_FLOAT_EQ(frmMain.Camera->y, 72);
    // The level was loaded: its collision layer replaced the test's.
    ASSERT_TRUE(gCharTest.mapCollision);
    EXPECT_EQ(gCharTest.mapCollision->TileW, 16);
    ASSERT_TRUE(frmMain.LevelFile);

    // Fractional cells and a centred camera.
    frmMain.Camera->CenterTarget = true;
    M()->Execute("level", {HostValue("small.lvl"), HostValue(2.5f), HostValue(0.0f)});
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->x, 48);
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->y, 8);
    EXPECT_FLOAT_EQ(frmMain.Camera->x, 48 - 160);
    EXPECT_FLOAT_EQ(frmMain.Camera->y, -8 - 120);

    // A place no Single can hold to the pixel is refused before anything
    // loads; the level, the player and the view stay as they were.
    const auto level = frmMain.LevelFile;
    for (float far : {1e30f, -1e30f, 2147483647.0f, 1048577.0f}) {
        M()->Execute("level", {HostValue("small.lvl"), HostValue(far), HostValue(1.0f)});
        M()->Execute("level", {HostValue("small.lvl"), HostValue(1.0f), HostValue(far)});
    }
    EXPECT_EQ(LogCount("Invalid procedure call or argument"), 8u);
    EXPECT_EQ(frmMain.LevelFile, level);
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->x, 48);
    EXPECT_FLOAT_EQ(frmMain.Camera->x, 48 - 160);
    // The farthest place that can be held still loads.
    M()->Execute("level", {HostValue("small.lvl"), HostValue(1048575.0f), HostValue(-1048576.0f)});
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->x, 16777208.0f);
    EXPECT_NE(frmMain.LevelFile, level);
    frmMain = frmMainForm{};
    zFileSystem.AppPath.clear();
}

TEST_F(MediaTest, LoadLevelKeepsTheInnerPlacementAndRefusesNamesOutsideData) {
    WriteSmallLevel({"data/small.lvl", "data/sub/small.lvl", "small.lvl"});
    zun::test::LevelWriter hop;
    auto values = hop.Add(std::make_shared<zValues>(), "00000000000000000000000000000002", "mapValues");
    values->SetString("class", "Hop");
    zun::test::WriteHostFile(media.HostPath("data/hop.lvl"), hop.LevelBytes());
    const auto level = [&](const char* name) {
        M()->Execute("level", {HostValue(name), HostValue(int32_t(10)), HostValue(int32_t(5))});
    };

    // The level's own load, made from its "onLoad", places the player.
    level("hop.lvl");
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->x, 56);
    EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->y, 72);
    EXPECT_FLOAT_EQ(frmMain.Camera->y, 56);

    // Both separators name a folder below "data".
    for (const char* name : {"sub/small.lvl", "sub\\small.lvl"}) {
        gCharTest.mapCollision.reset();
        level(name);
        EXPECT_TRUE(gCharTest.mapCollision) << name;
        EXPECT_EQ(LogCount("ERR"), 0u) << name;
    }

    // A name that leaves "data" is refused: the level and the player stay.
    const auto kept = gCharTest.mapCollision;
    const auto file = frmMain.LevelFile;
    gCharTest.Player->Sprite->SetPosition(1, 2);
    for (const char* name : {"../small.lvl", "sub/../../small.lvl", "\\small.lvl", "/small.lvl"}) {
        level(name);
        EXPECT_EQ(gCharTest.mapCollision, kept) << name;
        EXPECT_EQ(frmMain.LevelFile, file) << name;
        EXPECT_FLOAT_EQ(gCharTest.Player->Sprite->x, 1) << name;
    }
    EXPECT_EQ(LogCount("Level name outside the data folder"), 4u);
    frmMain = frmMainForm{};
    zFileSystem.AppPath.clear();
}

TEST_F(MediaTest, CreateEmitterAddsALanternToTheLevel) {
    // A level placed without emitters gets its emitter layer, over the
    // ground's cells, with the first lantern.
    auto ground = std::make_shared<zTileMap>();
    ground->SetTileSize(32);
    ground->SetSize(10, 10);
    gCharTest.solidGround = ground;
    auto so = M();
    so->Execute("lantern", {HostValue(40.0f), HostValue(50.0f), HostValue(12.0f)});
    ASSERT_TRUE(gCharTest.mapEmitters);
    EXPECT_EQ(gCharTest.mapEmitters->TileW, 32);
    EXPECT_EQ(gCharTest.mapEmitters->W, 10);
    so->Execute("lantern", {HostValue(40.0f), HostValue(50.0f), HostValue(12.0f)});
    EXPECT_EQ(LogCount("ERR"), 0u);
    const auto& list = gCharTest.mapEmitters->Emitters();
    ASSERT_EQ(list.size(), 2u);
    auto e = std::dynamic_pointer_cast<zParticleEmitter>(list[0]);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ManagerName, "Laterne");
    EXPECT_FLOAT_EQ(e->x, 40);
    EXPECT_FLOAT_EQ(e->y, 50);
    EXPECT_FLOAT_EQ(e->Z, 12);
    EXPECT_NE(list[0], list[1]);
    // Filed under its cell.
    auto bucket = gCharTest.mapEmitters->GetTile(1, 1);
    ASSERT_TRUE(bucket);
    EXPECT_EQ(bucket->size(), 2u);
}

TEST_F(MediaTest, FlashByArgumentCount) {
    zCore.FrameCounter = 100;
    auto so = M();
    auto strengthAt = [](int32_t frame) {
        gWeather.FlashCurve->SetTime(frame);
        return gWeather.FlashCurve->Value;
    };
    so->Execute("flash2", {HostValue(int32_t(20)), HostValue(0.9f)});
    EXPECT_FLOAT_EQ(strengthAt(122), 0.9f);
    ASSERT_EQ(gWeather.SoundCount, 1);
    EXPECT_EQ(gWeather.Sounds[1].FileName, "thunder1.wav");
    EXPECT_GE(gWeather.Sounds[1].Time, 150);
    EXPECT_LE(gWeather.Sounds[1].Time, 200);

    // One argument: a delay and a random strength of 0.5 up to 1.
    gWeather.FlashCurve = std::make_shared<zLerpStream>();
    so->Execute("flash1", {HostValue(int32_t(10))});
    ASSERT_EQ(gWeather.SoundCount, 2);
    EXPECT_GE(gWeather.Sounds[2].Time, 140);
    EXPECT_LE(gWeather.Sounds[2].Time, 190);
    const float s1 = strengthAt(112);
    EXPECT_GE(s1, 0.5f);
    EXPECT_LT(s1, 1.0f);

    // None: now, random strength.
    zCore.FrameCounter = 300;
    gWeather.FlashCurve = std::make_shared<zLerpStream>();
    so->Execute("flash0");
    ASSERT_EQ(gWeather.SoundCount, 3);
    EXPECT_GE(gWeather.Sounds[3].Time, 330);
    const float s0 = strengthAt(302);
    EXPECT_GE(s0, 0.5f);
    EXPECT_LT(s0, 1.0f);

    // More than two: nothing.
    so->Execute("flash3");
    EXPECT_EQ(gWeather.SoundCount, 3);
    // A delay that would run the frame count past its range fails.
    so->Execute("flash1", {HostValue(int32_t(2147483600))});
    EXPECT_EQ(LogCount("Overflow"), 1u);
    EXPECT_EQ(gWeather.SoundCount, 3);
}

// Flashes asked for by the thousand a frame wait in a bounded queue, their
// thunder too: past it the call fails naming the bound, and the weather's
// update walks no more records however long it goes on.
TEST_F(MediaTest, FlashesAndTheirThunderWaitInABoundedQueue) {
    auto so = M();
    for (int32_t frame = 100; frame < 120; ++frame) {
        zCore.FrameCounter = frame;
        for (int32_t i = 0; i < 200; ++i) so->Execute("flash1", {HostValue(int32_t(i % 100))});
        gWeather.UpdateWeather(0.5f);
        EXPECT_LE(gWeather.FlashCurve->PointCount, 3 * gWeatherModule::kMaxFlashesWaiting) << frame;
        EXPECT_LE(gWeather.SoundCount, gWeatherModule::kMaxSoundRecords) << frame;
    }
    EXPECT_GT(LogCount("M.flash1\tflash: Out of memory: no more than 64 flashes waiting"), 0u);
    // Once they have passed, a flash lights up again, with its thunder.
    zCore.FrameCounter = 1000;
    gWeather.UpdateWeather(0.5f);
    const size_t refused = LogCount("Out of memory");
    so->Execute("flash2", {HostValue(int32_t(0)), HostValue(1.0f)});
    EXPECT_EQ(LogCount("Out of memory"), refused);
    gWeather.FlashCurve->SetTime(1002);
    EXPECT_FLOAT_EQ(gWeather.FlashCurve->Value, 1.0f);
    EXPECT_EQ(gWeather.Sounds[size_t(gWeather.SoundCount)].FileName, "thunder1.wav");
}

TEST_F(MediaTest, LensAssignedSwappedAndRemoved) {
    auto a = Object("Lens");
    a->Locals->SetNameValue("who", HostValue("a"));
    auto b = Object("Lens");
    b->Locals->SetNameValue("who", HostValue("b"));
    auto so = M();
    so->Execute("lens", {HostValue(a)});
    EXPECT_EQ(gCharTest.Lens, a);
    so->Execute("lens", {HostValue(b)});
    EXPECT_EQ(gCharTest.Lens, b);
    so->Execute("noLens");
    EXPECT_FALSE(gCharTest.Lens);
    so->Execute("noLens");
    EXPECT_EQ(records, (std::vector<std::string>{"assign,a", "remove,a", "assign,b", "remove,b"}));

    // Something that is no script object is refused before the lens hears anything.
    so->Execute("lens", {HostValue(a)});
    records.clear();
    so->Execute("lens", {HostValue(std::static_pointer_cast<iClass>(std::make_shared<zSprite>()))});
    EXPECT_EQ(LogCount("Type mismatch"), 1u);
    EXPECT_EQ(gCharTest.Lens, a);
    EXPECT_TRUE(records.empty());
    // An empty object argument takes the lens away, as no argument does.
    so->Execute("lens", {HostValue::Nothing()});
    EXPECT_FALSE(gCharTest.Lens);
    EXPECT_EQ(records, (std::vector<std::string>{"remove,a"}));
}

}  // namespace
}  // namespace tarv::test
