// The game-script author's guide builds and plays its worked example the way
// it tells its reader to: the example's files are taken from the guide's own
// text (each fenced block whose first line names a file), the level is made by
// the content builder, the scripts are compiled by zsc, and the program plays
// the result, first on its own for a few hundred frames, then by a player who
// does what the example promises. A guide that drifts from the program fails
// here.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "PlayTestSupport.h"
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

TEST(GuideTest, WorkedExampleBuildsAndPlaysAsWritten) {
    const std::vector<GuideFile> files = FilesOf(ReadText(std::string(ZUN_SOURCE_DIR) + "/docs/game-scripting.md"));
    const GuideFile* build = nullptr;
    bool level = false, game = false;
    for (const auto& f : files) {
        if (f.Name.ends_with(".sh")) build = &f;
        level = level || f.Name.ends_with(".lvl");
        game = game || f.Name.ends_with("/Game.zs");
    }
    ASSERT_TRUE(build && level && game) << "the guide's example has lost its level, its game script or its commands";

    // The project's folder as the reader has it after "make build": the demo's
    // sources and the built program folder.
    const zun::test::TempDir dir;
    const fs::path root(dir.Host());
    std::string program = ZUN_PROGRAM_DIR;
    while (program.size() > 1 && program.back() == '/') program.pop_back();
    fs::create_directories(root / "build");
    fs::create_directory_symlink(program, root / "build" / "bin");
    fs::create_directory_symlink(std::string(ZUN_SOURCE_DIR) + "/demo", root / "demo");
    for (const auto& f : files) {
        const fs::path p = root / f.Name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << f.Text;
    }

    // The commands as written, the program run headless for a few hundred
    // frames on a virtual clock.
    constexpr int kFrames = 300;
    const std::string out = dir.HostPath("out.txt");
    const std::string command = "cd '" + dir.Host() + "' && ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " +
                                "ZUN_VIRTUAL_CLOCK=1 ZUN_FRAMES=" + std::to_string(kFrames) +
                                " timeout 600 sh -e '" + build->Name + "' > '" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string log = ReadText(out);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the commands of the guide failed:\n" << log;

    EXPECT_NE(log.find("Ran " + std::to_string(kFrames) + " frames without a display"), std::string::npos) << log;
    const auto errors = LinesStartingWith(log, "ERR");
    EXPECT_TRUE(errors.empty()) << errors.size() << " errors, the first: " << errors.front() << "\n" << log;

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
}

}  // namespace
}  // namespace tarv::test
