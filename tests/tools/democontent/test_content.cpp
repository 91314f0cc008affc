// What the builder makes from the demo's real sources loads through the
// framework's own loaders: pictures through the texture cache, fonts through
// zFont, waves through the wave decoder, music through the MIDI reader and the
// music-setup loader, levels through zFile with every chunk bound, the game
// script through the script loader.
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "DemoTestSupport.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "devices/zMusicSetup.h"
#include "platform/AudioDecode.h"
#include "platform/Image.h"
#include "platform/MidiFile.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectClasses.h"
#include "scene/zObjectsMap.h"
#include "scene/zSceneClasses.h"
#include "scene/zTileMap.h"
#include "script/zScript.h"
#include "tools/democontent/DemoArt.h"
#include "tools/democontent/DemoLevel.h"
#include "tools/democontent/DemoMusic.h"
#include "tools/democontent/DemoSound.h"
#include "tools/zsc/zscCompiler.h"

namespace tarv::demo::test {
namespace {

using namespace zun;

std::string ReadAll(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class DemoContent : public ContentDevice {
protected:
    void SetUp() override {
        ContentDevice::SetUp();
        UseProgramFolder(Content().Dir.Host());
    }
    static BuiltContent& Content() { return BuiltContent::Get(); }
    static std::string Host(const std::string& rel) { return Content().Host(rel); }

    static bool Problem(const zun::test::LogCapture& log) {
        for (const std::string& l : log.Lines())
            if (l.rfind("ERR", 0) == 0 || l.rfind("WARN", 0) == 0) return true;
        return false;
    }

    // Loads a level file of the program folder with the classes the game registers.
    static void RegisterLevelClasses() {
        zCore.Classes.clear();
        RegisterCoreClasses();
        RegisterSceneClasses();
        RegisterSceneObjectClasses();
    }
    static std::shared_ptr<zFile> LoadLevelFile(const std::string& name) {
        auto f = std::make_shared<zFile>();
        if (!f->Load(FromHostPath(Host("data/" + name)))) return nullptr;
        f->ImportFromStreams();
        return f;
    }
};

TEST(DemoBuild, TheDemoSourcesBuildWithoutAFault) {
    const BuiltContent& b = BuiltContent::Get();
    std::string all;
    for (const std::string& p : b.Problems) all += p + "\n";
    EXPECT_TRUE(b.Ok);
    EXPECT_TRUE(b.Problems.empty()) << all;
    for (const char* sub : {"img", "fonts", "sound", "music", "data", "scripts"})
        EXPECT_FALSE(FilesIn(b.Host(sub)).empty()) << sub;
    EXPECT_TRUE(fs::exists(b.Host("scripts/Game.dat")));
    EXPECT_TRUE(fs::exists(b.Host("story.txt")));
}

TEST_F(DemoContent, EveryPictureLoadsThroughTheTextureCache) {
    zun::test::LogCapture log;
    const auto files = FilesIn(Host("img"), ".png");
    ASSERT_GE(files.size(), 20u);
    for (const std::string& f : files) {
        const int32_t h = zDDraw.LoadTexture(f, false, 0, 1, 0);
        ASSERT_GT(h, 0) << f;
        EXPECT_GT(zDDraw.Textures[size_t(h)].W, 0) << f;
    }
    EXPECT_FALSE(Problem(log));
}

// The pictures the game loads by name, with the sizes their users cut them by.
TEST_F(DemoContent, ThePicturesTheGameLoadsByNameHaveTheirLayout) {
    struct Expect {
        const char* name;
        int32_t w, h;
    };
    const std::string heroFace = std::string("Face ") + kHeroName + ".png";
    const Expect expected[] = {{"Demo Cursors.png", 64, 64},   {"Demo Shadow.png", 64, 64},
                               {"Demo Particles.png", 256, 128}, {"Demo Light.png", 128, 128},
                               {"Weather Rain.png", 256, 256}, {"Weather Snow.png", 256, 256},
                               {"Demo Frames.png", 64, 32},    {"Face Background.png", 192, 96},
                               {"Face Frame.png", 64, 64},     {"Char Hero.png", 96, 96},
                               {"editor.png", 128, 64},        {heroFace.c_str(), 192, 96},
                               {"Face Events.png", 192, 96}};
    for (const Expect& e : expected) {
        Image img;
        std::string error;
        ASSERT_TRUE(LoadPngFile(Host(std::string("img/") + e.name), img, &error)) << e.name << ": " << error;
        EXPECT_EQ(img.Width, e.w) << e.name;
        EXPECT_EQ(img.Height, e.h) << e.name;
    }
    // Colour keys: the cursors' magenta, the frame's and face frame's white
    // leave the right places open and the pictures themselves solid.
    Image cursors, frame, faceFrame;
    ASSERT_TRUE(LoadPngFile(Host("img/Demo Cursors.png"), cursors));
    ApplyColorKey(cursors, 0xFFFF00FF);
    EXPECT_EQ(cursors.ARGB(0, 0) >> 24, 0u);
    EXPECT_EQ(cursors.ARGB(14, 14) >> 24, 255u);  // the plain pointer's anchor
    EXPECT_EQ(cursors.ARGB(12, 37) >> 24, 255u);  // the use pointer's finger tip
    ASSERT_TRUE(LoadPngFile(Host("img/Face Frame.png"), faceFrame));
    ApplyColorKey(faceFrame, 0xFFFFFFFF);
    EXPECT_EQ(faceFrame.ARGB(32, 32) >> 24, 0u);
    EXPECT_EQ(faceFrame.ARGB(3, 30) >> 24, 255u);
    ASSERT_TRUE(LoadPngFile(Host("img/Demo Frames.png"), frame));
    ApplyColorKey(frame, 0xFFFFFFFF);
    EXPECT_EQ(frame.ARGB(24, 16) >> 24, 0u);   // open in the middle
    EXPECT_EQ(frame.ARGB(24, 4) >> 24, 255u);  // the top edge's line
}

TEST_F(DemoContent, FontsLoadWithTheirWidthTables) {
    zun::test::LogCapture log;
    for (const char* name : kFontNames) {
        const int32_t f = zFont.LoadFont(name, "png", int32_t(0xFF000000));
        ASSERT_GT(f, 0) << name;
        const FontEntry& font = zFont.Fonts[size_t(f)];
        EXPECT_GT(font.Texture, 0) << name;
        EXPECT_EQ(font.Extra, 10) << name;
        EXPECT_EQ(font.Width[0], 0);
        EXPECT_EQ(font.Width[9], 0);
        EXPECT_EQ(font.Width[10], 0);
        for (int c = 32; c < 127; ++c) {
            EXPECT_GT(font.Width[size_t(c)], 1) << name << " code " << c;
            EXPECT_LE(font.Width[size_t(c)], 16) << name << " code " << c;
        }
        Image img;
        ASSERT_TRUE(LoadPngFile(Host(std::string("fonts/") + name + ".png"), img));
        ApplyColorKey(img, 0xFF000000);
        auto opaqueIn = [&](int code) {
            int n = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) n += (img.ARGB((code % 16) * 16 + x, (code / 16) * 16 + y) >> 24) != 0;
            return n;
        };
        EXPECT_GT(opaqueIn('A'), 5) << name;
        EXPECT_GT(opaqueIn('g'), 5) << name;
        EXPECT_EQ(opaqueIn(1), 0) << name;   // control codes draw nothing
        EXPECT_EQ(opaqueIn(' '), 0) << name;
    }
    EXPECT_FALSE(Problem(log));
}

TEST_F(DemoContent, WavesDecode) {
    const auto files = FilesIn(Host("sound"), ".wav");
    for (const char* needed : {"cursor.wav", "snip.wav", "text_out.wav", "thunder1.wav", "thunder2.wav", "wind1.wav",
                               "wind2.wav", "pickup.wav", "door.wav", "bell.wav"})
        EXPECT_TRUE(std::count(files.begin(), files.end(), needed)) << needed;
    for (const std::string& f : files) {
        AudioData a;
        std::string error;
        ASSERT_TRUE(DecodeAudioFile(Host("sound/" + f), a, error)) << f << ": " << error;
        EXPECT_EQ(a.Channels, 1) << f;
        EXPECT_EQ(a.SampleRate, 22050) << f;
        EXPECT_GT(a.Frames, 100) << f;
        EXPECT_LE(a.Frames, 5 * 22050) << f;
        float peak = 0;
        for (float s : a.Samples) peak = std::max(peak, std::fabs(s));
        EXPECT_GT(peak, 0.1f) << f << " is silent";
    }
}

TEST_F(DemoContent, MusicFilesParseAndTheSetupsPlayThem) {
    std::map<std::string, int32_t> lengths;
    for (const std::string& f : FilesIn(Host("music"), ".mid")) {
        const std::string bytes = ReadAll(Host("music/" + f));
        MidiSong song;
        std::string error;
        ASSERT_TRUE(ParseMidiFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), song, error))
            << f << ": " << error;
        EXPECT_FALSE(song.Events.empty());
        lengths[f] = song.Length;
    }
    const auto setups = FilesIn(Host("music"), ".mus");
    ASSERT_EQ(setups.size(), 2u);
    for (const std::string& f : setups) {
        zStream s;
        ASSERT_TRUE(s.FileImport(FromHostPath(Host("music/" + f)), "")) << f;
        const MusicSetupRecord r = LoadMusicSetup(s);
        EXPECT_EQ(r.Type, 2) << f;
        ASSERT_TRUE(lengths.count(r.File)) << f << " plays " << r.File;
        // The loop spans whole bars and ends where the piece ends.
        EXPECT_EQ(r.LoopEnd, lengths[r.File]) << f;
        EXPECT_EQ(r.LoopEnd % (4 * kMusicTicksPerQuarter), 0) << f;
        EXPECT_GT(r.Volume, 0.0f);
        EXPECT_FLOAT_EQ(r.Speed, 1.0f);
        ASSERT_GE(r.EventCount, 1);
        EXPECT_GT(r.Events.back()->GetLong("Position", 0), 0);
        for (const auto& e : r.Events) {
            const int32_t at = e->GetLong("Position", 0);
            EXPECT_GE(at, 0);
            EXPECT_LT(at, r.LoopEnd);
            const std::string sound = e->GetString("SoundFile");
            if (!sound.empty()) {
                EXPECT_TRUE(fs::exists(Host("sound/" + sound))) << sound;
            }
        }
    }
}

TEST_F(DemoContent, LevelsLoadWithEveryChunkBoundAndEveryTextureFound) {
    RegisterLevelClasses();
    const std::map<std::string, std::string> classOf = {
        {"solidGround", "zTileMap"},       {"maskGround", "zTileMap"},     {"solidWalls", "zTileMap"},
        {"maskWalls", "zTileMap"},         {"maskRoof", "zTileMap"},       {"mapDoors", "zItemMap"},
        {"mapItems", "zItemMap"},          {"mapLights", "zItemMap"},      {"mapChars", "zItemMap"},
        {"mapDeco", "zItemMap"},           {"picFog", "zPictureLayer"},    {"picClouds", "zPictureLayer"},
        {"picWater", "zPictureLayer"},     {"mapCollision", "zCollisionMap"}, {"mapWater", "zCollisionMap"},
        {"mapAreas", "zObjectsMap"},       {"mapMaterials", "zValueSetMap"}, {"mapEmitters", "zEmitterMap"},
        {"mapValues", "zValues"}};
    const auto levels = FilesIn(Host("data"));
    ASSERT_EQ(levels, (std::vector<std::string>{"cellar", "village"}));
    for (const std::string& name : levels) {
        zun::test::LogCapture log;
        auto f = LoadLevelFile(name);
        ASSERT_TRUE(f) << name;
        std::map<std::string, int> seen;
        for (int32_t i = 1; i <= f->ChunkCount(); ++i) {
            auto c = f->GetChunk(i);
            ASSERT_TRUE(c->Instance) << name << " chunk " << i << " (" << c->ContentName << ")";
            ASSERT_TRUE(FindClass(c->ContentName)) << c->ContentName;
            const std::string n = c->Instance->Meta ? c->Instance->Meta->GetString("__Name") : "";
            if (n.empty()) continue;
            seen[n] += 1;
            ASSERT_TRUE(classOf.count(n)) << name << ": unexpected chunk " << n;
            EXPECT_EQ(c->ContentName, classOf.at(n)) << name << " " << n;
        }
        for (const auto& [chunk, cls] : classOf) EXPECT_EQ(seen[chunk], 1) << name << " " << chunk;
        EXPECT_FALSE(Problem(log)) << name << ": " << (log.Lines().empty() ? "" : log.Lines().back());

        auto ground = std::dynamic_pointer_cast<zTileMap>(f->FindInstance("solidGround"));
        auto coll = std::dynamic_pointer_cast<zCollisionMap>(f->FindInstance("mapCollision"));
        auto water = std::dynamic_pointer_cast<zCollisionMap>(f->FindInstance("mapWater"));
        auto values = std::dynamic_pointer_cast<zValues>(f->FindInstance("mapValues"));
        ASSERT_TRUE(ground && coll && water && values);
        EXPECT_EQ(coll->W, ground->W);
        EXPECT_EQ(coll->H, ground->H);
        EXPECT_EQ(coll->TileW, 16);
        EXPECT_FALSE(values->GetString("class").empty());
        const std::string type = values->GetString("type");
        EXPECT_TRUE(type == "outdoor" || type == "dungeon") << type;
        // Every level has some water for the reflections, and somewhere to walk.
        int wet = 0, free = 0;
        for (int32_t y = 0; y <= coll->H; ++y)
            for (int32_t x = 0; x <= coll->W; ++x) {
                wet += water->CheckCollision(x * 16 + 8, y * 16 + 8, 255);
                free += !coll->CheckCollision(x * 16 + 8, y * 16 + 8, 1);
            }
        EXPECT_GT(wet, 0) << name;
        EXPECT_GT(free, (coll->W + 1) * (coll->H + 1) / 3) << name;
    }
}

// Compiles a script source of the demo; warnings count as faults here, since
// each of them names a trap of the language.
void ExpectCleanCompile(const fs::path& p) {
    const zsc::CompileResult r = zsc::CompileFile(p.string());
    EXPECT_TRUE(r.Ok) << p << "\n" << r.Diag.FormatAll();
    EXPECT_TRUE(r.Diag.Items.empty()) << p << "\n" << r.Diag.FormatAll();
}

TEST(DemoScripts, EveryScriptCompilesWithoutErrorOrWarning) {
    const auto files = FilesIn(std::string(DEMO_SOURCE_DIR) + "/scripts", ".zs");
    ASSERT_GE(files.size(), 2u);
    for (const std::string& f : files) ExpectCleanCompile(fs::path(DEMO_SOURCE_DIR) / "scripts" / f);
}

TEST_F(DemoContent, GameDatHoldsTheClassesOfTheGameAndOfEveryScriptedThing) {
    RegisterLevelClasses();
    zScript.Script_Initialize();
    zScript.ScriptPath = FromHostPath(Host("scripts/"));
    zun::test::LogCapture log;
    zScript.LoadScriptFile("Game.dat");
    EXPECT_FALSE(Problem(log));
    for (const char* c : {"Game", "Music", "Player"}) EXPECT_TRUE(zScript.FindScriptClass(c)) << c;

    std::set<std::string> needed;
    for (const std::string& name : FilesIn(Host("data"))) {
        auto f = LoadLevelFile(name);
        ASSERT_TRUE(f);
        needed.insert(std::dynamic_pointer_cast<zValues>(f->FindInstance("mapValues"))->GetString("class"));
        for (const char* layer : {"mapItems", "mapDoors", "mapChars", "mapDeco", "mapLights"})
            for (const auto& item : std::dynamic_pointer_cast<zItemMap>(f->FindInstance(layer))->Items())
                if (!item->ClassName_.empty()) needed.insert(item->ClassName_);
        for (const auto& o : std::dynamic_pointer_cast<zObjectsMap>(f->FindInstance("mapAreas"))->Objects())
            if (auto area = std::dynamic_pointer_cast<zDataShape>(o); area && !area->ClassName_.empty())
                needed.insert(area->ClassName_);
    }
    EXPECT_GE(needed.size(), 10u);
    for (const std::string& c : needed) EXPECT_TRUE(zScript.FindScriptClass(c)) << "no script class " << c;
    zScript.Classes.clear();
}

// Every place a script sends the player or a character to lies on a free
// cell of a level that exists.
TEST_F(DemoContent, ThePlacesTheScriptsSendPeopleToAreFree) {
    RegisterLevelClasses();
    std::map<std::string, std::shared_ptr<zFile>> levels;
    for (const std::string& name : FilesIn(Host("data"))) levels[name] = LoadLevelFile(name);
    const std::regex loadLevel(R"(loadLevel\(\"([^\"]+)\",\s*(\d+),\s*(\d+)\))");
    int found = 0;
    for (const std::string& f : FilesIn(std::string(DEMO_SOURCE_DIR) + "/scripts", ".zs")) {
        const std::string text = ReadAll(std::string(DEMO_SOURCE_DIR) + "/scripts/" + f);
        for (std::sregex_iterator it(text.begin(), text.end(), loadLevel), end; it != end; ++it) {
            ++found;
            const std::string level = (*it)[1];
            ASSERT_TRUE(levels.count(level) && levels[level]) << f << " loads " << level;
            auto coll = std::dynamic_pointer_cast<zCollisionMap>(levels[level]->FindInstance("mapCollision"));
            const int32_t x = std::stoi((*it)[2]), y = std::stoi((*it)[3]);
            uint8_t code = 99, shape = 0;
            coll->GetTile(x, y, code, shape);
            EXPECT_EQ(code, 0) << f << ": " << level << " cell " << x << "," << y << " is blocked";
        }
    }
    EXPECT_GE(found, 3);
}

TEST(DemoStory, TheStoryIsWindows1252TextWithCrLf) {
    const std::string text = ReadAll(BuiltContent::Get().Host("story.txt"));
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find("\r\n"), std::string::npos);
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r');
        }
    EXPECT_EQ(Cp1252ToUtf8(Utf8ToCp1252(Cp1252ToUtf8(text))), Cp1252ToUtf8(text));
}

// A build over a complete folder rewrites nothing: unchanged files keep
// their times, so nothing downstream sees them as new.
TEST(DemoBuild, ASecondBuildLeavesUnchangedFilesAlone) {
    zun::test::TempDir dir;
    zun::test::LogCapture log;
    ASSERT_TRUE(BuildDemoContent(DEMO_SOURCE_DIR, dir.Host()));
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(dir.Host()))
        if (e.is_regular_file()) {
            fs::last_write_time(e.path(), old);
            files.push_back(e.path());
        }
    ASSERT_GT(files.size(), 40u);
    ASSERT_TRUE(BuildDemoContent(DEMO_SOURCE_DIR, dir.Host()));
    for (const fs::path& p : files) EXPECT_EQ(fs::last_write_time(p), old) << p;
    // A damaged file is written anew.
    { std::ofstream(dir.Host() + "data/village", std::ios::binary | std::ios::trunc) << "broken"; }
    ASSERT_TRUE(BuildDemoContent(DEMO_SOURCE_DIR, dir.Host()));
    EXPECT_GT(fs::file_size(dir.Host() + "data/village"), 1000u);
}

// Sources that are no plain files of the source folder - a setup linked to a
// file of the user's, a FIFO as a script, a level linked to /dev/zero, a
// folder as the story - are refused at once by name, and nothing of what a
// link points at is quoted; the rest is built.
TEST(DemoBuild, SourcesThatAreNoPlainFilesOfTheSourceFolderAreRefusedByName) {
    zun::test::TempDir src, out, user;
    fs::copy(DEMO_SOURCE_DIR, src.Host(), fs::copy_options::recursive);
    const std::string secret = "root:x:0:0:the user's own line\n";
    zun::test::WriteHostFile(user.HostPath("passwd"), std::vector<uint8_t>(secret.begin(), secret.end()));
    using zun::test::Hostile;
    const std::vector<std::pair<std::string, Hostile>> placed = {{"music/passwd.setup", Hostile::OutsideLink},
                                                                 {"scripts/Stray.zs", Hostile::Fifo},
                                                                 {"levels/zero.lvl", Hostile::DeviceLink},
                                                                 {"story.txt", Hostile::Folder}};
    fs::create_directories(src.Host() + "music");
    for (const auto& [file, kind] : placed)
        zun::test::PlaceHostile(src.Host() + file, kind, user.HostPath("passwd"));
    zun::test::LogCapture log;
    EXPECT_FALSE(BuildDemoContent(src.Host(), out.Host()));
    for (const auto& [file, kind] : placed)
        EXPECT_TRUE(log.Contains(std::string("ERR\tDemoContent\tCannot read: ") +
                                 zun::test::HostileReason(kind) + "\t" + src.Host() + file))
            << file << "\n"
            << zun::Cp1252ToUtf8(zun::zCore.LogText);
    EXPECT_FALSE(log.Contains("the user's own line"));
    EXPECT_GT(fs::file_size(out.Host() + "data/village"), 1000u);
    EXPECT_GT(fs::file_size(out.Host() + "scripts/Game.dat"), 1000u);
}

// A game maker's own source folder: what its setups and levels name is
// looked for where the game will look, and each fault is said at its line;
// a track beside its setup goes along into the program folder. A loop that
// ends past its track's end, in music time or in milliseconds, is a fault.
TEST(DemoBuild, WhatAGameNamesIsCheckedAtItsLineAndATrackBesideItsSetupGoesAlong) {
    zun::test::TempDir src, dir;
    for (const char* sub : {"levels", "scripts", "story.txt"})
        fs::copy(fs::path(DEMO_SOURCE_DIR) / sub, src.Host() + sub, fs::copy_options::recursive);
    std::string cellar = ReadAll(src.Host() + "levels/cellar.lvl");
    const size_t candle = cellar.find("class=Candle");
    ASSERT_NE(candle, std::string::npos);
    cellar.replace(candle, 12, "class=Candel");
    std::ofstream(src.Host() + "levels/cellar.lvl", std::ios::binary | std::ios::trunc) << cellar;
    const int candleLine = int(std::count(cellar.begin(), cellar.begin() + long(candle), '\n')) + 1;

    fs::create_directory(src.Host() + "music");
    const std::vector<uint8_t> pond = EncodeMidi(MakeTunes()[1]);
    zun::test::WriteHostFile(src.Host() + "music/pond.mid", pond);
    auto setup = [&](const std::string& name, const std::string& text) {
        std::ofstream(src.Host() + "music/" + name, std::ios::binary) << text;
    };
    setup("pond.setup", "track pond.mid midi\nevent 0 sound=bell.wav\nevent 3072 call=thunderCue\n");
    setup("village2.setup", "track Village.mid midi\n");  // the program's own, found as the game finds it
    setup("broken.setup", "track lost.mid midi\nevent 0 sound=nope.wav\nevent 10 call=thunderCu\n");
    setup("long.setup", "track " + std::string(65531, 'a') + ".mid midi\n");  // a name of 65,535 bytes
    setup("huge.setup", "track " + std::string(70000, 'a') + ".mid midi\n");   // more than a stream holds
    // The pond tune is 8 bars long (24576), the wave two seconds.
    zun::test::WriteHostFile(src.Host() + "music/pond.wav", EncodeWave(std::vector<float>(2 * kSoundRate, 0.25f), kSoundRate));
    setup("bars.setup", "track pond.mid midi\nloop 0 24576\n");
    setup("past.setup", "track pond.mid midi\nloop 3072 24577\n");
    setup("endms.setup", "track pond.wav music\nloop 100 2000\n");
    setup("pastms.setup", "track pond.wav music\nloop 100 2001\n");

    zun::test::LogCapture log;
    EXPECT_FALSE(BuildDemoContent(src.Host(), dir.Host()));
    std::vector<std::string> errors;
    for (const std::string& l : log.Lines())
        if (l.rfind("ERR", 0) == 0) errors.push_back(l);
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "ERR\tDemoMusic\tbroken.setup:1: no track 'lost.mid' beside the setup or in the program "
                          "folder's music/",
                          "ERR\tDemoMusic\tbroken.setup:2: no sound 'nope.wav' in the program folder's sound/",
                          "ERR\tDemoMusic\tbroken.setup:3: no function 'thunderCu' in class Music (did you mean "
                          "'thunderCue'?)",
                          "ERR\tDemoMusic\thuge.setup:1: a word longer than 65536 bytes",
                          "ERR\tDemoMusic\tlong.setup:1: a track is a file name inside the music (or, for a wave, the "
                          "sound) folder: this one is longer than a file name can be",
                          "ERR\tDemoMusic\tpast.setup:2: the loop ends at 24577, past the end of 'pond.mid' at 24576 "
                          "(a loop to the end is written: loop FROM 0)",
                          "ERR\tDemoMusic\tpastms.setup:2: the loop ends at 2001, past the end of 'pond.wav' at "
                          "2000 ms (a loop to the end is written: loop FROM 0)",
                          "ERR\tDemoLevel\tcellar.lvl:" + std::to_string(candleLine) +
                              ": no class 'Candel' in the compiled scripts (did you mean 'Candle'?)"}));
    EXPECT_EQ(zun::test::ReadHostFile(dir.Host() + "music/pond.mid"), pond);
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "music/pond.mus"));
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "music/village2.mus"));
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "music/bars.mus"));
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "music/endms.mus"));
    EXPECT_FALSE(fs::exists(dir.Host() + "music/past.mus"));
    EXPECT_FALSE(fs::exists(dir.Host() + "music/broken.mus"));
    EXPECT_FALSE(fs::exists(dir.Host() + "music/long.mus"));
    EXPECT_FALSE(fs::exists(dir.Host() + "music/huge.mus"));
}

// A level is held to the bounds the game loads a level within: past one the
// builder names the level and what it holds too much of, and makes no file;
// at the bound it builds.
TEST(DemoBuild, ALevelPastTheGamesBoundsIsNotBuilt) {
    zun::test::TempDir src, dir;
    for (const char* sub : {"levels", "scripts", "story.txt"})
        fs::copy(fs::path(DEMO_SOURCE_DIR) / sub, src.Host() + sub, fs::copy_options::recursive);
    const std::string cellar = ReadAll(src.Host() + "levels/cellar.lvl");
    const int levelLine = 1 + int(std::count(cellar.begin(), cellar.begin() + long(cellar.find("level cellar")), '\n'));
    auto coins = [&](int n) {
        std::string more = cellar;
        for (int i = 0; i < n; ++i) more += "item sprite=coin foot=24,17\n";
        std::ofstream(src.Host() + "levels/cellar.lvl", std::ios::binary | std::ios::trunc) << more;
    };
    coins(5200);
    {
        zun::test::LogCapture log;
        EXPECT_FALSE(BuildDemoContent(src.Host(), dir.Host()));
        EXPECT_TRUE(log.Contains("ERR\tDemoLevel\tcellar.lvl:" + std::to_string(levelLine) +
                                 ": the level holds too many items: 5209 of at most 5000, more than the game loads"))
            << zun::Cp1252ToUtf8(zun::zCore.LogText);
    }
    EXPECT_FALSE(fs::exists(dir.Host() + "data/cellar"));
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "data/village"));
    coins(4991);
    EXPECT_TRUE(BuildDemoContent(src.Host(), dir.Host()));
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "data/cellar"));
}

// Whatever lies in a source folder, the builder goes on and says what it
// could not use; a loop of links is no file it could read.
TEST(DemoBuild, ALoopOfLinksInTheSourcesEndsNothing) {
    zun::test::TempDir src, dir;
    for (const char* sub : {"levels", "scripts", "story.txt"})
        fs::copy(fs::path(DEMO_SOURCE_DIR) / sub, src.Host() + sub, fs::copy_options::recursive);
    fs::create_directory(src.Host() + "music");
    for (const char* loop : {"levels/loop.lvl", "scripts/loop.zs", "music/loop.setup"})
        fs::create_symlink(fs::path(loop).filename(), src.Host() + loop);
    zun::test::LogCapture log;
    EXPECT_NO_THROW(BuildDemoContent(src.Host(), dir.Host()));
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "data/village"));
    EXPECT_TRUE(fs::is_regular_file(dir.Host() + "scripts/Game.dat"));
}

}  // namespace
}  // namespace tarv::demo::test
