// The program's own wiring, on the recording backend: what it connects is
// what the shipped program runs with.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "devices/test_sound_fixtures.h"
#include "game/shell/MainFormTestSupport.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/gLevel.h"
#include "platform/Image.h"
#include "scene/zEmitterMap.h"
#include "scene/zItemMap.h"
#include "scene/zSoundEmitter.h"
#include "scene/zTileMap.h"
#include "scene/zScriptHook.h"
#include "script/zScript.h"
#include "support/LevelWriter.h"
#include "support/PictureSamples.h"

namespace tarv::test {
namespace {

// What the program's exit does, for the test to catch: not a failure a
// script or a frame could trap.
struct Ended {
    int32_t Status;
};

class ProgramTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        // The stand-ins of the fixture give way to the program's own parts.
        ConnectProgram();
    }
    void TearDown() override {
        gSceneScript = SceneScriptHooks{};
        gCoreHooks = CoreHooks{};
        MainFormTest::TearDown();
    }
    bool LoggedErrors() const {
        return zCore.LogText.rfind("ERR", 0) == 0 || zCore.LogText.find("\nERR") != std::string::npos;
    }
    static int32_t Local(const std::shared_ptr<zScriptObject>& o, const char* name) {
        const zScriptValue* v = o && o->Locals ? o->Locals->GetName(name) : nullptr;
        return v ? v->GetLong() : -1;
    }
};

constexpr const char* kGame = R"(
class Game {
  player = empty;
  exits = 0;
  after = 0;
  func onLoad() { player = new("Hero"); }
  func onUpdate() {
    exitGame();
    after = 1;
  }
  func onExit() {
    exits = exits + 1;
    exitGame();
  }
}
class Hero { }
class Ticker {
  ticks = 0;
  func onUpdate() { ticks = ticks + 1; }
}
)";

// "exitGame" inside a frame: "onExit" once (its own "exitGame" changes
// nothing), the release, then the process ends; neither the rest of the
// script nor the rest of the frame runs on the released devices.
TEST_F(ProgramTest, QuittingInsideAFrameEndsTheProgramThere) {
    std::vector<int32_t> exits;
    frmMain.ExitProcess = [&](int32_t status) {
        exits.push_back(status);
        throw Ended{status};
    };
    Start(kGame);
    const auto game = gCharTest.GameObject;
    zCore.LogText.clear();
    EXPECT_THROW(Frame(), Ended);
    EXPECT_EQ(exits, std::vector<int32_t>{0});
    EXPECT_TRUE(frmMain.Closed);
    EXPECT_FALSE(zCore.Initialized);
    EXPECT_EQ(Local(game, "exits"), 1);
    EXPECT_EQ(Local(game, "after"), 0);
    EXPECT_FALSE(LoggedErrors()) << zCore.LogText;

    // Closed is closed: a later quit does not end the process a second time.
    frmMain.Form_Unload();
    EXPECT_EQ(exits.size(), 1u);
}

// Map items' scripts get "onUpdate" from their layer through the hook the
// program fills.
TEST_F(ProgramTest, MapItemScriptsGetTheirUpdates) {
    Start(kGame);
    auto item = std::make_shared<zItem>();
    item->ScriptObject = Object("Ticker");
    auto layer = std::make_shared<zItemMap>();
    layer->AddItem(item, false);
    layer->Update();
    layer->Update();
    EXPECT_EQ(Local(item->ScriptObject, "ticks"), 2);
}

// Whatever a game folder holds in place of a file the game reads - a FIFO, a
// folder, a link to /dev/zero, a link out of the folder - the loader of each
// kind refuses it at once (a FIFO read would wait for ever) with an error
// naming the file, and the game goes on.
TEST_F(ProgramTest, EveryKindOfFileTheGameReadsIsRefusedWhenItIsNoPlainFileInside) {
    Start(R"(
class Game {
  player = empty;
  func onLoad() { player = new("Hero"); }
}
class Hero { }
)");
    for (const char* sub : {"img", "sound", "music", "fonts", "data"})
        std::filesystem::create_directories(dir.HostPath(sub));
    const zun::test::TempDir player;
    zun::test::WriteHostFile(player.HostPath("secret"), {'M', 'T', 'h', 'd', 1, 2, 3, 4});
    struct Reader {
        const char* File;  // in the program folder
        std::function<void()> Read;
        // A folder in the file's place is no file to the lookup of a name,
        // and a missing file of this kind is no fault: nothing is said.
        bool MissingIsSilent = false;
    };
    const std::vector<Reader> readers = {
        {"img/picture.png", [] { EXPECT_EQ(zDDraw.LoadTexture("picture.png", false, 0, 1, 0), 0); }},
        {"sound/wave.wav", [] { EXPECT_EQ(LoadWave("wave.wav", false), 0); }, true},
        {"music/song.mid", [] { EXPECT_FALSE(LoadMidi("song.mid")); }, true},
        {"music/piece.ogg", [] { EXPECT_FALSE(LoadMusic("piece.ogg")); }, true},
        {"music/tune.mus", [] { EXPECT_EQ(StartMusicSetup("tune.mus", false, false), 0); }, true},
        {"scripts/Game.dat", [] { zScript.LoadScriptFile("Game.dat"); }},
        {"scripts/more.dat", [] { zScript.LoadScriptFile("more.dat"); }},
        {"data/level", [] { LoadLevel("level"); }},
        {"fonts/face.png", [] { EXPECT_GT(zFont.LoadFont("face", "png", 0), 0); }},
        {"fonts/glyphs.dat", [] { EXPECT_GT(zFont.LoadFont("glyphs", "png", 0), 0); }, true},
        {"story.txt", [] { frmMain.CreateTextBoxes(); }},
    };
    for (zun::test::Hostile kind : zun::test::kHostileKinds) {
        for (const Reader& r : readers) {
            zun::test::PlaceHostile(dir.HostPath(r.File), kind, player.HostPath("secret"));
            zFont = zFontModule{};
            zFont.FontPath = dir.Path("fonts\\");
            // The program's log hook has taken the fixture's place: its log
            // text tells what was logged.
            const size_t mark = zCore.LogText.size();
            r.Read();
            const std::string name = std::filesystem::path(r.File).filename().string();
            bool named = false;
            std::istringstream lines(zCore.LogText.substr(std::min(mark, zCore.LogText.size())));
            for (std::string l; std::getline(lines, l);) {
                if (l.find(name) == std::string::npos) continue;
                named |= l.find(zun::test::HostileReason(kind)) != std::string::npos;
                if (kind == zun::test::Hostile::Folder)
                    named |= l.find("File not found") != std::string::npos;
            }
            if (kind == zun::test::Hostile::Folder && r.MissingIsSilent) named = true;
            EXPECT_TRUE(named) << r.File << " as a " << zun::test::HostileName(kind) << ":\n"
                               << zCore.LogText;
            EXPECT_EQ(zCore.LogText.find("MThd", mark), std::string::npos) << "the player's file is quoted";
            std::filesystem::remove_all(dir.HostPath(r.File));
        }
    }
    // The loaders go on (a picture in the place of the FIFO loads), and so
    // do the frames.
    const std::vector<uint8_t> white(4 * 4 * 4, 255);
    ASSERT_TRUE(
        SaveImage(dir.HostPath("img/picture.png"), int32_t(ImageFileFormat::Png), white.data(), 4, 4));
    EXPECT_GT(zDDraw.LoadTexture("picture.png", false, 0, 1, 0), 0);
    const int32_t frame = zCore.FrameCounter;
    const size_t mark = zCore.LogText.size();
    Frame();
    EXPECT_EQ(zCore.FrameCounter, frame + 1);
    EXPECT_EQ(zCore.LogText.find("ERR", mark), std::string::npos) << zCore.LogText.substr(mark);
}

// A game folder as the content builder makes it plays from inside itself
// with a relative program folder, compiling its game script on the way with
// the compiler the builder put there; a missing font names where it was
// looked for.
TEST(GameFolder, ABuiltFolderPlaysFromItselfWithARelativeProgramFolder) {
    const zun::test::TempDir dir;
    const std::string bin = ZUN_PROGRAM_DIR, game = dir.HostPath("game");
    auto run = [&](const std::string& iCommand, std::string& oLog) {
        const std::string out = dir.HostPath("out.txt");
        const int status = std::system((iCommand + " > '" + out + "' 2>&1").c_str());
        std::ifstream f(out, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        oLog = s.str();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string log;
    ASSERT_EQ(run("'" + bin + "democontent' '" + ZUN_SOURCE_DIR + "/demo' '" + game + "'", log), 0) << log;
    const std::string play = "cd '" + game + "' && ZUN_APP_PATH=. ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy " +
                             "SDL_AUDIODRIVER=dummy ZUN_VIRTUAL_CLOCK=1 ZUN_FRAMES=10 timeout 300 '" + bin + "vorlund'";
    ASSERT_EQ(run(play + " Game", log), 0) << log;
    EXPECT_NE(log.find("Script compiled\tGame"), std::string::npos) << log;
    EXPECT_NE(log.find("Ran 10 frames without a display"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERR"), std::string::npos) << log;

    std::filesystem::remove(game + "/fonts/runes.png");
    run(play, log);
    EXPECT_NE(log.find("ERR\tLoadTexture\tFile not found\t<" + dir.Path("game\\fonts\\runes.png") + ">"),
              std::string::npos)
        << log;
}

// The demo's peak memory, in kilobytes, over its first frames played headless
// with `soundFont`, as its soak run logs it; 0 when the run gives none.
int64_t DemoPeakKilobytes(const std::string& soundFont, std::string& oLog) {
    const zun::test::TempDir dir;
    const std::string out = dir.HostPath("out.txt");
    const std::string command = "cd '" + std::string(ZUN_PROGRAM_DIR) + "' && ZUN_SOUNDFONT='" + soundFont +
                                "' ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ZUN_VIRTUAL_CLOCK=1 "
                                "ZUN_SOAK=1 ZUN_FRAMES=600 timeout 300 ./vorlund > '" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream f(out);
    int64_t peak = 0;
    for (std::string line; std::getline(f, line);) {
        oLog += line + "\n";
        if (line.rfind("INF\tSoak\t", 0) == 0) peak = std::stoll(line.substr(line.rfind('\t') + 1));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : 0;
}

// Debian's large General MIDI font (148 MB) costs the demo what its small one
// does: only the instruments the music plays are read from it, so the peak
// stays under 150 MB whichever the machine has. Not under the sanitizers,
// whose own bookkeeping is what resident memory would measure there.
TEST(DemoMemory, TheLargeSoundFontCostsNoMoreThanTheSmallOne) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "resident memory means nothing under the sanitizers";
#endif
    const std::string large = "/usr/share/sounds/sf2/FluidR3_GM.sf2", small = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    struct stat st;
    if (::stat(large.c_str(), &st) != 0)
        GTEST_SKIP() << "the large sound font (Debian's fluid-soundfont-gm) is not installed: " << large;
    if (::stat(small.c_str(), &st) != 0) GTEST_SKIP() << "the small sound font is not installed: " << small;
    std::string log;
    const int64_t withSmall = DemoPeakKilobytes(small, log);
    const int64_t withLarge = DemoPeakKilobytes(large, log);
    std::printf("the demo's peak: %lld kB with %s, %lld kB with %s\n", (long long)withSmall, small.c_str(),
                (long long)withLarge, large.c_str());
    ASSERT_GT(withSmall, 0) << log;
    ASSERT_GT(withLarge, 0) << log;
    EXPECT_LT(withLarge, withSmall + 16 * 1024);
    EXPECT_LT(withLarge, 150 * 1024);
}

// The real program on a game folder with FIFOs where its start-up reads a
// picture and a sound, and as its debug.log: it names each refused file,
// plays its frames and ends; and one stop signal ends it.
TEST(GameFolder, FifosInTheGameFolderHoldNeitherTheStartNorTheStop) {
    const zun::test::TempDir dir;
    const std::string bin = ZUN_PROGRAM_DIR, game = dir.HostPath("game"), out = dir.HostPath("out.txt");
    auto readOut = [&] {
        std::ifstream f(out, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    };
    ASSERT_EQ(std::system(("'" + bin + "democontent' '" + ZUN_SOURCE_DIR + "/demo' '" + game + "' > '" + out +
                           "' 2>&1")
                              .c_str()),
              0)
        << readOut();
    for (const char* file : {"/img/Fog.png", "/sound/fountain.wav", "/debug.log"})
        zun::test::PlaceHostile(game + file, zun::test::Hostile::Fifo, "");
    const std::string play = "cd '" + game + "' && ZUN_APP_PATH=. ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy " +
                             "SDL_AUDIODRIVER=dummy ZUN_VIRTUAL_CLOCK=1 ";
    const int status =
        std::system((play + "ZUN_FRAMES=30 '" + bin + "vorlund' > '" + out + "' 2>&1").c_str());
    std::string log = readOut();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
    EXPECT_NE(log.find("Ran 30 frames without a display"), std::string::npos) << log;
    EXPECT_NE(log.find("Log file refused: a FIFO, not a file\t<"), std::string::npos) << log;
    EXPECT_NE(log.find("a FIFO, not a file\t<Fog.png>"), std::string::npos) << log;
    EXPECT_NE(log.find("fountain.wav\ta FIFO, not a file"), std::string::npos) << log;

    // Started for good, then asked once to stop.
    std::filesystem::remove(out);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string command =
            play + "ZUN_FRAMES=100000000 exec '" + bin + "vorlund' > '" + out + "' 2>&1";
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // The first level (which has the fountain) loads just before the first
    // frame; the wait for it is bounded only so that a program that never
    // gets there cannot keep the test for ever.
    for (int i = 0; i < 6000 && readOut().find("fountain.wav") == std::string::npos; ++i) usleep(50000);
    ::kill(pid, SIGTERM);
    int stopped = 0;
    ASSERT_EQ(::waitpid(pid, &stopped, 0), pid);
    log = readOut();
    EXPECT_TRUE(WIFEXITED(stopped) && WEXITSTATUS(stopped) == 128 + SIGTERM) << stopped << "\n" << log;
}

// A level's sound emitter has a wave of its own, given back when the level
// goes; the weather's rain and a script's sound of the same file, started
// after it, go on with theirs: the frames and the timed calls after the
// level change run without an error.
TEST_F(ProgramTest, LeavingALevelWhoseEmitterPlaysTheRainsSoundLeavesTheRainPlaying) {
    std::filesystem::create_directories(dir.HostPath("sound"));
    std::filesystem::create_directories(dir.HostPath("data"));
    zun::test::WriteHostFile(dir.HostPath("sound/rain.wav"), zun::test::ConstantWav(1, 22050, 16, 22050, 0.1));
    for (const char* name : {"forest", "field"}) {
        zun::test::LevelWriter w;
        w.Add(std::make_shared<zTileMap>(), "T1", "solidGround")->SetTileSize(32);
        if (std::string(name) == "forest") {
            auto sound = std::make_shared<zSoundEmitter>();
            sound->x = 80;
            sound->y = 60;
            sound->R = 200;
            sound->FadeR = 50;
            sound->Volume = 0.6f;
            sound->SoundFile = "rain.wav";
            w.Add(std::make_shared<zEmitterMap>(), "E1", "mapEmitters")->AddEmitter(sound);
        }
        zun::test::WriteHostFile(dir.HostPath(std::string("data/") + name), w.LevelBytes());
    }
    Start(R"(
class Game {
  player = empty;
  ticks = 0;
  func onLoad() { player = new("Hero"); loadLevel("forest", 5, 5); addTimeCall(1, this, "tick"); }
  func tick() {
    ticks = ticks + 1;
    if (ticks == 4) { setRainDensity(0.4); playSound("rain.wav", 1, 0.5); }
    if (ticks == 12) loadLevel("field", 5, 5);
    addTimeCall(1, this, "tick");
  }
}
class Hero { }
)");
    for (int i = 0; i < 60 && Local(gCharTest.GameObject, "ticks") < 10; ++i) Frame();
    // The emitter loaded its wave before the weather asked for the file.
    ASSERT_GE(zDSound.WaveCount, 1);
    EXPECT_EQ(zDSound.WaveFiles[1], "rain.wav");
    ASSERT_GT(gWeather.RainSound, 0);
    const int32_t rain = gWeather.Sounds[size_t(gWeather.RainSound)].Wave;
    ASSERT_GE(rain, 1);
    zCore.LogText.clear();
    for (int i = 0; i < 30; ++i) Frame();
    EXPECT_FALSE(LoggedErrors()) << zCore.LogText;
    EXPECT_GE(Local(gCharTest.GameObject, "ticks"), 20);
    const auto& heard = zDSound.Waves[size_t(rain)];
    EXPECT_TRUE(heard && (heard->GetStatus() & AudioBuffer::StatusPlaying));
}

// The real program on a game whose timed call never returns: the call is
// ended at the bound of one call with one line naming it, the frames go on
// and the run ends after the frames it was given; a call of a million loop
// turns runs to its end.
TEST(GameFolder, ACallThatNeverReturnsIsEndedAndTheFramesGoOn) {
    const zun::test::TempDir dir;
    const std::string bin = ZUN_PROGRAM_DIR, game = dir.HostPath("game"), out = dir.HostPath("out.txt");
    auto run = [&](const std::string& iCommand) {
        const int status = std::system((iCommand + " > '" + out + "' 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    auto readOut = [&] {
        std::ifstream f(out, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    };
    ASSERT_EQ(run("'" + bin + "democontent' '" + ZUN_SOURCE_DIR + "/demo' '" + game + "'"), 0) << readOut();
    std::ofstream(game + "/scripts/Spin.zs", std::ios::binary) << R"(include "Game.zs";
class Game : Game {
  func onLoad() {
    super();
    addTimeCall(3, this, "spin");
    addTimeCall(6, this, "count");
  }
  func spin() {
    n = 0;
    while (true) { n = n + 1; }
  }
  func count() {
    i = 0;
    while (i < 1000000) { i = i + 1; }
    log("counted " + i);
  }
}
)";
    ASSERT_EQ(run("'" + bin + "zsc' -o '" + game + "/scripts/Game.dat' '" + game + "/scripts/Spin.zs'"), 0)
        << readOut();
    const int status = run("cd '" + game + "' && ZUN_APP_PATH=. ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy " +
                           "SDL_AUDIODRIVER=dummy ZUN_VIRTUAL_CLOCK=1 ZUN_FRAMES=30 timeout 600 '" + bin + "vorlund'");
    const std::string log = readOut();
    EXPECT_EQ(status, 0) << log;
    EXPECT_NE(log.find("Ran 30 frames without a display"), std::string::npos) << log;
    EXPECT_NE(log.find("counted 1000000"), std::string::npos) << log;
    std::vector<std::string> errors;
    std::istringstream lines(log);
    for (std::string l; std::getline(lines, l);)
        if (l.rfind("ERR", 0) == 0) errors.push_back(l);
    EXPECT_EQ(errors, std::vector<std::string>{"ERR\tScript\tGame.spin\tEnded after 100000000 steps without returning"})
        << log;
}

// A few lines that fill the timeline with calls that fail and add ten more of
// themselves: the frames go on, each running a bounded number of them, and
// the two errors that repeat make two boxes and a log of a few lines a frame.
TEST_F(ProgramTest, AFloodOfFailingTimedCallsLeavesTheGameAnswering) {
    Start(R"(
class Game {
  player = empty;
  func onLoad() { player = new("Hero"); addTimeCall(0, this, "boom"); }
  func boom() {
    for (i = 0; i < 10; i++) addTimeCall(0, this, "boom");
    x = 1 / 0;
  }
}
class Hero { }
)");
    zCore.LogText.clear();
    const int32_t first = zCore.FrameCounter;
    int64_t most = 0;
    for (int i = 0; i < 16; ++i) {
        const int64_t failures = zScript.Failures;
        Frame();
        most = std::max(most, zScript.Failures - failures);
    }
    EXPECT_EQ(zCore.FrameCounter, first + 16);
    EXPECT_EQ(most, 1000);
    EXPECT_GE(mTimeline.Events.size(), 90000u);  // the flood is on
    int boxes = 0;
    for (size_t p = zCore.LogText.find("\tMsgBox\t"); p != std::string::npos; p = zCore.LogText.find("\tMsgBox\t", p + 1))
        ++boxes;
    EXPECT_EQ(boxes, 2);
    EXPECT_LT(zCore.LogText.size(), 16u * 1024) << zCore.LogText;
}

// Errors of ever new texts (forty missing pictures asked for in turn, and a
// new name at every call) open a few boxes a minute, not one each: the rest
// are only logged, one line saying so, and the frames go on.
TEST_F(ProgramTest, ErrorsOfManyTextsOpenAFewBoxesAMinute) {
    Start(R"(
class Game {
  player = empty;
  n = 0;
  func onLoad() { player = new("Hero"); }
  func onUpdate() {
    for (i = 0; i < 40; i++) loadImage("missing" + i + ".png", true, -1);
    n++;
    loadImage("gone" + n + ".png", true, -1);
  }
}
class Hero { }
)");
    auto count = [](const char* what) {
        int n = 0;
        for (size_t p = zCore.LogText.find(what); p != std::string::npos; p = zCore.LogText.find(what, p + 1))
            ++n;
        return n;
    };
    int boxes = 0, held = 0, missing = 0;
    auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) {
            zCore.LogText.clear();
            Frame();
            boxes += count("\tMsgBox\t");
            held += count("WARN\tBoxes\t");
            missing += count("ERR\tLoadTexture\tFile not found");
        }
    };
    // The start-up's own errors (the test's folder has no fonts) are left behind.
    gCharTest.Boxes = {};
    const int32_t first = zCore.FrameCounter;
    frames(60);
    EXPECT_EQ(zCore.FrameCounter, first + 60);
    EXPECT_GE(missing, 100);  // a hundred texts at least, each new
    EXPECT_EQ(boxes, int(kBoxesPerMinute));
    EXPECT_EQ(held, 1);
    // A minute on, a few more.
    now += 60000;
    frames(60);
    EXPECT_EQ(boxes, 2 * int(kBoxesPerMinute));
    EXPECT_EQ(held, 2);
}

// A script's boxes count against the one budget of the error boxes. A few in
// a row, each closed, are shown and answered as ever; a game that opens a
// hundred a frame, or a thousand input boxes in one frame, shows the minute's
// few and no more: the rest go to the log, one line saying so, and the script
// gets what a box closed without a choice gives (No, the empty text). An
// error then finds the minute's boxes used up as well.
TEST_F(ProgramTest, AScriptsBoxesCountWithTheErrorBoxes) {
    Start(R"(
class Game {
  player = empty;
  mode = 0;
  yes = 0;
  no = 0;
  typed = 0;
  untyped = 0;
  func onLoad() { player = new("Hero"); }
  func onUpdate() {
    if (mode == 1) {
      if (msgBox("Save?", true)) yes++;
      if (inputBox("Name?") == "Ann") typed++;
      msgBox("Saved.");
    }
    if (mode == 2) {
      for (i = 0; i < 100; i++) {
        if (msgBox("Again?", false)) yes++;
        else no++;
      }
    }
    if (mode == 3) {
      for (i = 0; i < 1000; i++) {
        if (inputBox("Name?", "Name") == "Ann") typed++;
        else untyped++;
      }
    }
    if (mode == 4) loadImage("missing.png", true, -1);
  }
}
class Hero { }
)");
    const auto game = gCharTest.GameObject;
    auto frames = [&](int32_t iMode, int n) {
        game->Locals->SetNameValue("mode", HostValue(iMode));
        zCore.LogText.clear();
        for (int i = 0; i < n; ++i) Frame();
        return zCore.LogText;
    };
    auto count = [](const std::string& iLog, const char* iWhat) {
        int n = 0;
        for (size_t p = iLog.find(iWhat); p != std::string::npos; p = iLog.find(iWhat, p + 1)) ++n;
        return n;
    };
    // The start-up's own errors are left behind.
    gCharTest.Boxes = {};
    const int budget = int(kBoxesPerMinute);

    PushInputBoxAnswer("Ann");
    std::string log = frames(1, 1);
    EXPECT_EQ(Local(game, "yes"), 1);
    EXPECT_EQ(Local(game, "typed"), 1);
    EXPECT_EQ(count(log, "\tMsgBox\t"), 2) << log;
    EXPECT_EQ(count(log, "Box not shown"), 0) << log;

    // A box asks Yes or No, and shown, it is answered Yes.
    log = frames(2, 60);
    EXPECT_EQ(Local(game, "yes"), 1 + budget - 3);
    EXPECT_EQ(Local(game, "no"), 6000 - (budget - 3));
    EXPECT_EQ(count(log, "WARN\tBoxes\t"), 1) << log.substr(0, 2000);
    EXPECT_NE(log.find("INF\tBox not shown\tVorlund\tAgain?"), std::string::npos) << log.substr(0, 2000);

    log = frames(4, 1);
    EXPECT_NE(log.find("ERR\tLoadTexture"), std::string::npos) << log;
    EXPECT_EQ(count(log, "\tMsgBox\t"), 0) << log;

    // A minute on, the minute's few again.
    now += 60000;
    for (int i = 0; i < 1000; ++i) PushInputBoxAnswer("Ann");
    log = frames(3, 1);
    EXPECT_EQ(Local(game, "typed"), 1 + budget);
    EXPECT_EQ(Local(game, "untyped"), 1000 - budget);
    EXPECT_EQ(count(log, "WARN\tBoxes\t"), 1) << log.substr(0, 2000);
}

// Four runs of a game that saves a screenshot under a new name every frame
// leave no more in the program folder than one budget: the budget counts what
// the earlier runs' screenshots hold. Pictures of other programs, and a text
// that starts as a bitmap does, are never taken for screenshots: a later run
// that saves under their names replaces none, and they count for nothing.
TEST_F(ProgramTest, ScreenshotsOfFourRunsStayWithinOneBudgetAndOtherFilesAreKept) {
    zun::test::PngSpec png;
    png.w = 64, png.h = 48;
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> foreign = {
        // Pictures as other programs write them, with the same kind of pixels
        // as a screenshot and the libraries they use at their plainest.
        {"photo.png", zun::test::EncodePng(png, std::vector<uint8_t>(64 * 48 * 4, 200))},
        {"photo.jpg", zun::test::EncodeJpeg(64, 48, 95)},
        {"notes.bmp", {'B', 'M', ' ', 'n', 'o', 't', 'e', 's', '\n'}}};
    for (const auto& [name, bytes] : foreign) {
        ASSERT_FALSE(bytes.empty()) << name;
        zun::test::WriteHostFile(dir.HostPath(name), bytes);
    }
    auto held = [&] {
        uint64_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.Host()))
            if (e.path().filename().string().rfind("run", 0) == 0) n += e.file_size();
        return n;
    };
    uint64_t shot = 0;
    bool refused = false;
    // A run that saves under new names three frames long, and a last one
    // that saves under the names of the other files.
    auto run = [&](int iRun, const std::string& iSaves) {
        if (iRun > 0) {
            TearDown();
            SetUp();
        }
        Start("class Game { player = empty; n = 0; func onLoad() { player = new(\"Hero\"); }"
              " func onUpdate() { n++; " + iSaves + " } } class Hero { }");
        // Room for four pictures of the screen, and one run takes three.
        shot = 54 + uint64_t(zDDraw.ScreenW) * uint64_t(zDDraw.ScreenH) * 3;
        zDDraw.ScreenshotBudget = 4 * shot + 1000;
        for (int i = 0; i < 3; ++i) Frame();
        refused = refused || zCore.LogText.find("fill their") != std::string::npos;
    };
    for (int i = 0; i < 4; ++i) {
        run(i, "saveScreenshot(\"run" + std::to_string(i) + "_\" + n + \".bmp\");");
        EXPECT_LE(held(), 4 * shot + 1000) << "run " << i;
    }
    EXPECT_EQ(held(), 4 * shot);
    EXPECT_TRUE(refused);
    run(4, "saveScreenshot(\"photo.png\"); saveScreenshot(\"PHOTO.JPG\"); saveScreenshot(\"notes.bmp\");");
    for (const auto& [name, bytes] : foreign)
        EXPECT_EQ(zun::test::ReadHostFile(dir.HostPath(name)), bytes) << name;
}

// The real program on a game folder where three pictures its start-up loads
// are no pictures: damaged bytes, a folder and a loop of links. Each is named
// with its reason on a line of its own, the stated error line follows, and
// the error box says the reason; none is called missing.
TEST(GameFolder, ARefusedPictureIsNamedWithItsReasonInTheLogAndInItsBox) {
    const zun::test::TempDir dir;
    const std::string bin = ZUN_PROGRAM_DIR, game = dir.HostPath("game"), out = dir.HostPath("out.txt");
    auto readOut = [&] {
        const std::vector<uint8_t> bytes = zun::test::ReadHostFile(out);
        return std::string(bytes.begin(), bytes.end());
    };
    const std::string build = "'" + bin + "democontent' '" + ZUN_SOURCE_DIR + "/demo' '" + game + "'";
    ASSERT_EQ(std::system((build + " > '" + out + "' 2>&1").c_str()), 0) << readOut();
    zun::test::WriteHostFile(game + "/img/Demo Light.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    zun::test::PlaceHostile(game + "/img/Demo Shadow.png", zun::test::Hostile::Folder, "");
    std::filesystem::remove(game + "/img/Weather Snow.png");
    ASSERT_EQ(::symlink("Weather Snow.png", (game + "/img/Weather Snow.png").c_str()), 0);
    const std::string play = "cd '" + game + "' && ZUN_APP_PATH=. ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy " +
                             "SDL_AUDIODRIVER=dummy ZUN_VIRTUAL_CLOCK=1 ZUN_FRAMES=3 '" + bin + "vorlund'";
    const int status = std::system((play + " > '" + out + "' 2>&1").c_str());
    const std::string log = readOut();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
    const std::pair<const char*, const char*> refused[] = {{"Demo Light.png", "file is truncated"},
                                                           {"Demo Shadow.png", "a folder, not a file"},
                                                           {"Weather Snow.png", "a loop of links, not a file"}};
    for (const auto& [name, why] : refused) {
        const std::string file = std::string("<") + name + ">";
        EXPECT_NE(log.find(std::string("WARN\tLoadTexture\t") + why + "\t" + file), std::string::npos) << name;
        EXPECT_NE(log.find("ERR\tLoadTexture\t\t" + file), std::string::npos) << name;
        // The box's lines, as the headless box logs them.
        EXPECT_NE(log.find(std::string("\tERR\\r\\nLoadTexture\\r\\n") + why + "\\r\\n" + file), std::string::npos)
            << name;
    }
    EXPECT_EQ(log.find("File not found"), std::string::npos) << log;

    // A game folder whose img/ is a link to a folder elsewhere: every
    // picture is refused, and its box says the link leads out.
    std::filesystem::rename(game + "/img", dir.HostPath("elsewhere"));
    ASSERT_EQ(::symlink(dir.HostPath("elsewhere").c_str(), (game + "/img").c_str()), 0);
    EXPECT_EQ(std::system((play + " > '" + out + "' 2>&1").c_str()), 0);
    const std::string linked = readOut();
    const std::string box = "\tERR\\r\\nLoadTexture\\r\\na link that leads out of its folder\\r\\n<Demo Cursors.png>";
    EXPECT_NE(linked.find(box), std::string::npos) << linked;
}

}  // namespace
}  // namespace tarv::test
