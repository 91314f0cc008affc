// The program's own wiring, on the recording backend: what it connects is
// what the shipped program runs with.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "game/shell/MainFormTestSupport.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/gLevel.h"
#include "platform/Image.h"
#include "scene/zItemMap.h"
#include "scene/zScriptHook.h"
#include "script/zScript.h"
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

}  // namespace
}  // namespace tarv::test
