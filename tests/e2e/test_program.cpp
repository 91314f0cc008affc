// The program's own wiring, on the recording backend: what it connects is
// what the shipped program runs with.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "game/shell/MainFormTestSupport.h"
#include "game/shell/app/mProgram.h"
#include "scene/zItemMap.h"
#include "scene/zScriptHook.h"
#include "script/zScript.h"

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

}  // namespace
}  // namespace tarv::test
