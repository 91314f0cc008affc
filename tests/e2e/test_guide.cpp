// The game-script author's guide builds and plays its worked example the way
// it tells its reader to: the example's files are taken from the guide's own
// text (each fenced block whose first line names a file), the level is made by
// the content builder, the scripts are compiled by zsc, and the program plays
// the result, first on its own for a few hundred frames, then by a player who
// does what the example promises. A guide that drifts from the program fails
// here.
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "PlayTestSupport.h"
#include "devices/zMusicSetup.h"
#include "platform/Dialogs.h"

namespace tarv::test {
namespace {

namespace fs = std::filesystem;

struct GuideFile {
    std::string Name, Text;
};

// The files of the guide's fenced blocks that open with "# file: NAME" or
// "// file: NAME", in the order they first appear; blocks naming the same
// file follow each other in it.
std::vector<GuideFile> FilesOf(const std::string& iMarkdown) {
    std::vector<GuideFile> files;
    std::map<std::string, size_t> at;
    std::istringstream in(iMarkdown);
    std::string line;
    bool inBlock = false, firstLine = false;
    GuideFile* current = nullptr;
    while (std::getline(in, line)) {
        if (line.rfind("```", 0) == 0) {
            inBlock = !inBlock;
            firstLine = inBlock;
            current = nullptr;
            continue;
        }
        if (!inBlock) continue;
        if (firstLine) {
            firstLine = false;
            for (const char* marker : {"# file: ", "// file: "}) {
                if (line.rfind(marker, 0) != 0) continue;
                const std::string name = line.substr(std::string(marker).size());
                if (!at.count(name)) {
                    at[name] = files.size();
                    files.push_back({name, ""});
                }
                current = &files[at[name]];
            }
        }
        if (current) current->Text += line + "\n";
    }
    return files;
}

std::string ReadText(const std::string& iHost) {
    std::ifstream f(iHost, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> LinesStartingWith(const std::string& iText, const std::string& iPrefix) {
    std::vector<std::string> out;
    std::istringstream in(iText);
    for (std::string l; std::getline(in, l);)
        if (l.rfind(iPrefix, 0) == 0) out.push_back(l);
    return out;
}

// The project's folder as the reader has it after "make build": the demo's
// sources (unless left out) and the built program folder, and the guide's
// files written into it.
void MakeProjectFolder(const fs::path& iRoot, const std::vector<GuideFile>& iFiles, bool iWithDemo) {
    std::string program = ZUN_PROGRAM_DIR;
    while (program.size() > 1 && program.back() == '/') program.pop_back();
    fs::create_directories(iRoot / "build");
    fs::create_directory_symlink(program, iRoot / "build" / "bin");
    if (iWithDemo) fs::create_directory_symlink(std::string(ZUN_SOURCE_DIR) + "/demo", iRoot / "demo");
    for (const auto& f : iFiles) {
        const fs::path p = iRoot / f.Name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << f.Text;
    }
}

// Runs one of the guide's command files with "sh", as the guide says, in
// iFolder; the exit status (-1 when it did not exit) and the output.
int RunCommands(const std::string& iFolder, const std::string& iFile, int iFrames, std::string& oLog) {
    const std::string out = iFolder + iFile + ".out";
    const std::string command = "cd '" + iFolder + "' && ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " +
                                "ZUN_VIRTUAL_CLOCK=1 ZUN_FRAMES=" + std::to_string(iFrames) + " timeout 600 sh '" +
                                iFile + "' > '" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    oLog = ReadText(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The guide's command that compiles a game folder's scripts as the program
// starts ("cd square-bin && ... vorlund Game"), taken from its text.
std::string CompileCommandOf(const std::string& iMarkdown) {
    const std::string start = "`cd square-bin && ";
    const size_t at = iMarkdown.find(start);
    if (at == std::string::npos) return "";
    const size_t end = iMarkdown.find('`', at + 1);
    const std::string command = iMarkdown.substr(at + 1, end - at - 1);
    return command.ends_with(" Game") ? command : "";
}

struct FileState {
    std::string Bytes;
    int64_t Modified = -1;
    bool operator==(const FileState&) const = default;
};
FileState StateOf(const std::string& iHost) {
    FileState f;
    struct stat st {};
    if (::stat(iHost.c_str(), &st) != 0) return f;
    f.Bytes = ReadText(iHost);
    f.Modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return f;
}

// The guide's compile command in the example's program folder: a changed
// script is compiled there (and the program's own folder is left alone), a
// broken one fails the start and the log says where.
void CompileTheExampleFromItsFolder(const std::string& iProject, const std::string& iCommand) {
    const std::string scripts = iProject + "square-bin/scripts/";
    const std::string own = std::string(ZUN_PROGRAM_DIR) + "scripts/Game.dat";
    std::ofstream(iProject + "square-compile.sh", std::ios::binary) << iCommand << "\n";
    const FileState ownBefore = StateOf(own), before = StateOf(scripts + "Game.dat");
    ASSERT_NE(ownBefore.Modified, -1) << own;

    std::ofstream(scripts + "Square.zs", std::ios::binary | std::ios::app) << "\nclass Added {\n}\n";
    std::string log;
    EXPECT_EQ(RunCommands(iProject, "square-compile.sh", 10, log), 0) << log;
    EXPECT_NE(log.find("INFO\tScript compiled\tGame"), std::string::npos) << log;
    const FileState after = StateOf(scripts + "Game.dat");
    EXPECT_TRUE(after.Bytes != before.Bytes) << "the game folder's Game.dat was not compiled again";
    EXPECT_TRUE(StateOf(own) == ownBefore) << "the program's own folder was compiled";

    const std::string text = ReadText(scripts + "Square.zs");
    const int lines = int(std::count(text.begin(), text.end(), '\n'));
    std::ofstream(scripts + "Square.zs", std::ios::binary | std::ios::app)
        << "class Broken {\n  func f( {\n}\n";
    EXPECT_NE(RunCommands(iProject, "square-compile.sh", 10, log), 0) << log;
    EXPECT_EQ(log.find("Script compiled"), std::string::npos) << log;
    EXPECT_NE(log.find("Could not compile\\r\\n\\r\\nGame"), std::string::npos) << log;
    EXPECT_NE(log.find("WARN\tCompiler\tGame\tscripts/Square.zs:" + std::to_string(lines + 2) + ":"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("[ZUN "), std::string::npos) << "the game started on its old scripts:\n" << log;
    EXPECT_TRUE(StateOf(own) == ownBefore) << "the program's own folder was compiled";
}

TEST(GuideTest, WorkedExampleBuildsAndPlaysAsWritten) {
    const std::string guide = ReadText(std::string(ZUN_SOURCE_DIR) + "/docs/game-scripting.md");
    const std::vector<GuideFile> files = FilesOf(guide);
    const std::string compile = CompileCommandOf(guide);
    ASSERT_FALSE(compile.empty()) << "the guide no longer shows how a game folder compiles its scripts";
    const GuideFile *build = nullptr, *check = nullptr;
    bool level = false, game = false, setup = false;
    for (const auto& f : files) {
        if (f.Name == "square-build.sh") build = &f;
        if (f.Name == "square-test.sh") check = &f;
        level = level || f.Name.ends_with(".lvl");
        game = game || f.Name.ends_with("/Game.zs");
        setup = setup || f.Name.ends_with(".setup");
    }
    ASSERT_TRUE(build && check && level && game && setup)
        << "the guide's example has lost its level, its game script, its music setup or its commands";

    // The commands use only what the README tells of: the programs of
    // build/bin and the ZUN_ switches.
    const std::string readme = ReadText(std::string(ZUN_SOURCE_DIR) + "/README.md");
    for (const GuideFile* f : {build, check}) {
        std::istringstream words(f->Text);
        for (std::string w; words >> w;) {
            const size_t eq = w.find('=');
            const std::string name = w.rfind("ZUN_", 0) == 0 && eq != std::string::npos ? w.substr(0, eq) : w;
            if (name.rfind("build/bin/", 0) == 0 || name.rfind("ZUN_", 0) == 0) {
                EXPECT_NE(readme.find(name), std::string::npos)
                    << f->Name << " uses " << name << ", which the README does not name";
            }
        }
    }

    // A step that fails stops the build: without the demo's sources the
    // first copy fails, and the program is never started.
    {
        const zun::test::TempDir broken;
        MakeProjectFolder(broken.Host(), files, false);
        std::string log;
        EXPECT_NE(RunCommands(broken.Host(), build->Name, 10, log), 0) << log;
        EXPECT_EQ(log.find("[ZUN "), std::string::npos) << "the build went on after a failing step:\n" << log;
    }

    const zun::test::TempDir dir;
    MakeProjectFolder(dir.Host(), files, true);

    // The commands as written, the program run headless for a few hundred
    // frames on a virtual clock.
    constexpr int kFrames = 300;
    std::string log;
    ASSERT_EQ(RunCommands(dir.Host(), build->Name, kFrames, log), 0) << "the commands of the guide failed:\n" << log;

    EXPECT_NE(log.find("Ran " + std::to_string(kFrames) + " frames without a display"), std::string::npos) << log;
    const auto errors = LinesStartingWith(log, "ERR");
    EXPECT_TRUE(errors.empty()) << errors.size() << " errors, the first: " << errors.front() << "\n" << log;
    // The level has no fog: the warning says which level and which layer.
    EXPECT_NE(log.find("WARN\tLoadTexture\tNo filename given\t<square>\tpicFog"), std::string::npos) << log;

    // The self-test of step 7 walks, keeps its picture and ends on its own.
    std::string testLog;
    EXPECT_EQ(RunCommands(dir.Host(), check->Name, kFrames, testLog), 0)
        << testLog << ReadText(dir.HostPath("square-test.log"));
    const std::string selfTest = ReadText(dir.HostPath("square-test.log"));
    EXPECT_NE(selfTest.find("Screenshot saved"), std::string::npos) << selfTest;
    EXPECT_EQ(selfTest.find("Ran 1000 frames"), std::string::npos) << "the self-test did not end the program";

    // Played: the yard greets the player, the guard asks and answers, the oil
    // is taken, and the gate opens with it and frees the gateway.
    const std::string folder = dir.HostPath("square-bin/");
    ASSERT_TRUE(fs::is_regular_file(folder + "data/square")) << "the example's program folder is not square-bin";
    auto feet = [](const std::string& iKey, float dy) -> Where {
        return [=] {
            const auto c = CharNamed(iKey);
            return c && c->Sprite ? Point{c->Sprite->x, c->Sprite->y + dy} : Point{-1000, -1000};
        };
    };
    auto at = [](std::shared_ptr<zItemMap> gCharTestModule::*iLayer, const std::string& iKey, float dy) -> Where {
        return [=] {
            const auto i = ItemNamed(gCharTest.*iLayer, iKey);
            return i && i->Sprite ? Point{i->Sprite->x, i->Sprite->y + dy} : Point{-1000, -1000};
        };
    };
    const RunResult r = PlayProgram(
        [&](ScriptedPlayer& p) {
            auto& s = p.Steps;
            s.push_back(WaitUntil("the story", [] { return MessageTyped() && gCharTest.Message->Message == "#"; }));
            s.push_back(Do("the square", [](ScriptedPlayer& p) {
                p.Check(LevelClass() == "Square", "level " + LevelClass());
                p.Check(!GameFlag("hasOil"), "oil at the start");
                // The square's own music setup plays the village tune.
                const int32_t m = gCharTest.MusicSetup;
                p.Check(m > 0 && zMusicSetup.Setups[size_t(m)].Name == "square.mus" &&
                            zMusicSetup.Setups[size_t(m)].Setup.File == "village.mid" &&
                            zMusicSetup.Setups[size_t(m)].Setup.EventCount == 2,
                        "the square's music setup does not play");
            }));
            Append(s, Tap("Space for the story", kKeySpace));
            s.push_back(Expect("Hero", "Mud up to the ankles"));
            Append(s, WalkTo("the guard", feet("guard", 22), 20));
            s.push_back(ClickAt("talk to the guard", feet("guard", -14), "onTalk"));
            s.push_back(Expect("Guard", "Halt. Where to?", false));
            Append(s, Tap("the first answer", kKey1));
            s.push_back(Expect("Guard", "Not without oil"));
            Append(s, WalkTo("the keg", at(&gCharTestModule::mapItems, "oil", 14), 16));
            s.push_back(ClickAt("take the oil", at(&gCharTestModule::mapItems, "oil", -6), "onUse"));
            s.push_back(Expect("Events", "You took the lamp oil"));
            s.push_back(Do("the oil is carried", [](ScriptedPlayer& p) {
                p.Check(GameFlag("hasOil"), "no oil");
                p.Check(!ItemNamed(gCharTest.mapItems, "oil"), "the keg is still there");
            }));
            Append(s, WalkTo("the gate", at(&gCharTestModule::mapDoors, "gate", 14), 16));
            s.push_back(ClickAt("open the gate", at(&gCharTestModule::mapDoors, "gate", -8), "onUse"));
            s.push_back(Expect("Hero", "The gate is open"));
            s.push_back(Do("the gateway is free", [](ScriptedPlayer& p) {
                uint8_t code = 255, shape = 0;
                gCharTest.mapCollision->GetTile(10, 1, code, shape);
                p.Check(code == 0, "the gateway is still solid");
            }));
            s.push_back(Do("Esc to quit", [](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, kKeyEsc); }));
        },
        [] { PushMessageBoxAnswer(MsgBoxResult::Yes); }, folder);
    ExpectCleanEnd(r);

    // Every object the example places hears what a player can send it, from
    // near and from afar, without an error.
    const RunResult visit = PlayProgram(
        [](ScriptedPlayer& p) {
            p.Steps.push_back(VisitEveryPlacedObject({"square"}));
            p.Steps.push_back(Do("Esc to quit", [](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, kKeyEsc); }));
        },
        [] { PushMessageBoxAnswer(MsgBoxResult::Yes); }, folder);
    ExpectCleanEnd(visit);
    ExpectEveryPlacedObjectVisited(visit);

    CompileTheExampleFromItsFolder(dir.HostPath(""), compile);

    // A setup naming a track that is not there stops the commands at the
    // builder, which names the setup's line; the program is not started.
    std::ofstream(dir.HostPath("square/music/pond.setup"), std::ios::binary) << "track pond.mid midi\n";
    std::string broken;
    EXPECT_NE(RunCommands(dir.Host(), build->Name, 10, broken), 0) << broken;
    EXPECT_NE(broken.find("pond.setup:1: no track 'pond.mid' beside the setup or in the program folder's music/"),
              std::string::npos)
        << broken;
    EXPECT_NE(broken.find("democontent: the content is incomplete"), std::string::npos) << broken;
    EXPECT_EQ(broken.find("[ZUN "), std::string::npos) << "the build went on after a failing step:\n" << broken;
}

}  // namespace
}  // namespace tarv::test
