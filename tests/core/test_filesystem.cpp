#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "support/TestSupport.h"

using namespace zun;
using zun::test::HostileName;
using zun::test::HostileReason;
using zun::test::TempDir;

TEST(Paths, NormalizeResolvesDotsAndKeepsRoots) {
    EXPECT_EQ(NormalizePath("C:\\a\\.\\b\\..\\c"), "C:\\a\\c\\");
    EXPECT_EQ(NormalizePath("C:\\a\\\\b"), "C:\\a\\b\\");
    EXPECT_EQ(NormalizePath("\\\\srv\\share"), "\\\\srv\\share\\");
    EXPECT_EQ(NormalizePath("\\opt\\x\\..\\y"), "\\opt\\y\\");
    EXPECT_EQ(NormalizePath("data"), "");
    EXPECT_EQ(NormalizePath(""), "");
    EXPECT_EQ(NormalizePath("a\\..\\..\\b"), "b\\");
    EXPECT_EQ(CleanPath("  /home/x/app ", false), "\\home\\x\\app\\");
}

TEST(Paths, CaseInsensitiveLookupFindsAssets) {
    TempDir dir;
    std::filesystem::create_directories(dir.HostPath("img"));
    zun::test::WriteHostFile(dir.HostPath("img/Demo Cursors.png"), {1, 2, 3});
    std::string asked = dir.Path("IMG\\demo cursors.PNG");
    EXPECT_TRUE(FileExists(asked));
    std::vector<uint8_t> data;
    EXPECT_TRUE(LoadFileBytes(asked, data));
    EXPECT_EQ(data.size(), 3u);
    EXPECT_FALSE(FileExists(dir.Path("img")));
    EXPECT_TRUE(FolderExists(dir.Path("Img")));
}

// A name missing from a large folder costs a look-up, not a listing of the
// whole folder, until the folder changes; then it is listed anew.
TEST(Paths, AMissingNameCostsNoListingUntilItsFolderChanges) {
    TempDir dir;
    for (int i = 0; i < 1000; ++i) zun::test::WriteHostFile(dir.HostPath("f" + std::to_string(i) + ".png"), {1});
    // Changed a minute ago, as a game folder is when it is played.
    const timespec past[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.Host().c_str(), past, 0), 0);
    const uint64_t before = HostFolderListings();
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(FileExists(dir.Path("missing" + std::to_string(i) + ".png")));
    EXPECT_TRUE(FileExists(dir.Path("F7.PNG")));
    EXPECT_LE(HostFolderListings() - before, 1u);
    zun::test::WriteHostFile(dir.HostPath("Late.png"), {1});
    EXPECT_TRUE(FileExists(dir.Path("LATE.PNG")));
}

TEST(Paths, GetFilePathPrefersFolderThenAppFolder) {
    TempDir a, b;
    zun::test::WriteHostFile(a.HostPath("x.png"), {1});
    zun::test::WriteHostFile(b.HostPath("x.png"), {1});
    std::string savedApp = zFileSystem.AppPath;
    zFileSystem.AppPath = b.Path();
    EXPECT_EQ(GetFilePath("x.png", a.Path()), a.Path("x.png"));
    EXPECT_EQ(GetFilePath("x.png", a.Path("none\\")), b.Path("x.png"));
    EXPECT_EQ(GetFilePath("y.png", a.Path()), "");
    EXPECT_EQ(GetFilePath("C:\\x.png", a.Path()), "C:\\x.png");
    zFileSystem.AppPath = savedApp;
}

TEST(Paths, AssetNamesAreLookedUpLastInTheStartFolderAndNeverOutsideIt) {
    TempDir folder, app, start;
    std::filesystem::create_directories(start.HostPath("sub"));
    zun::test::WriteHostFile(start.HostPath("sub/x.png"), {1});
    zun::test::WriteHostFile(start.HostPath("top.png"), {1});
    zun::test::WriteHostFile(app.HostPath("top.png"), {1});
    const std::string savedApp = zFileSystem.AppPath;
    const auto savedCwd = std::filesystem::current_path();
    zFileSystem.AppPath = app.Path();
    // A plain name inside a folder, relative to where the program was started.
    std::filesystem::current_path(start.Host());
    EXPECT_EQ(GetAssetPath("sub\\x.png", folder.Path(), "T"), "sub\\x.png");
    EXPECT_EQ(GetAssetPath("sub/x.png", folder.Path(), "T"), "sub/x.png");
    EXPECT_EQ(GetAssetPath("sub/./x.png", folder.Path(), "T"), "sub/./x.png");
    // The program folder still comes first.
    EXPECT_EQ(GetAssetPath("top.png", folder.Path(), "T"), app.Path("top.png"));
    EXPECT_EQ(GetAssetPath("none.png", folder.Path(), "T"), "");
    // Names that leave the folder stay refused, even where the file exists.
    std::filesystem::current_path(start.HostPath("sub"));
    for (const std::string& outside : {std::string("../top.png"), std::string("..\\top.png"), start.Host() + "top.png",
                                       start.Path("top.png"), std::string("c:top.png")})
        EXPECT_EQ(GetAssetPath(outside, folder.Path(), "T"), "") << outside;
    std::filesystem::current_path(savedCwd);
    zFileSystem.AppPath = savedApp;
}

TEST(Paths, FileOperations) {
    TempDir dir;
    std::vector<uint8_t> data{9};
    EXPECT_FALSE(LoadFileBytes(dir.Path("missing.bin"), data));
    EXPECT_TRUE(data.empty());
    zun::test::WriteHostFile(dir.HostPath("empty.bin"), {});
    EXPECT_FALSE(LoadFileBytes(dir.Path("empty.bin"), data));
    EXPECT_TRUE(DeleteFile(dir.Path("missing.bin")));
    EXPECT_EQ(CreateFolder(dir.Path("a\\b\\c")), dir.Path("a\\b\\c\\"));
    EXPECT_TRUE(FolderExists(dir.Path("a\\b\\c")));
    // A new file goes into its folder found without regard to case.
    EXPECT_EQ(HostPathForWrite(dir.Path("A\\B\\new.bin")), dir.HostPath("a/b/new.bin"));
}

// The door takes a plain file inside its folder, following the links that
// stay inside; anything else in a file's place is refused at once with the
// reason, and a path that climbs out is refused even without a link.
TEST(HostFiles, TheDoorTakesOnlyPlainFilesInsideTheirFolder) {
    TempDir app, elsewhere;
    std::filesystem::create_directories(app.HostPath("img"));
    std::filesystem::create_directories(app.HostPath("sound"));
    zun::test::WriteHostFile(app.HostPath("sound/shared.png"), {1, 2, 3});
    zun::test::WriteHostFile(elsewhere.HostPath("secret"), {4, 5});
    const std::string savedApp = zFileSystem.AppPath;
    zFileSystem.AppPath = app.Path();
    std::vector<uint8_t> bytes;
    std::string error;
    // A link to another file of the program folder is followed.
    ASSERT_EQ(::symlink("../sound/shared.png", app.HostPath("img/same.png").c_str()), 0);
    EXPECT_TRUE(ReadHostFileBytes(app.HostPath("img/same.png"), 100, bytes, error)) << error;
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
    for (zun::test::Hostile kind : zun::test::kHostileKinds) {
        zun::test::PlaceHostile(app.HostPath("img/x.png"), kind, elsewhere.HostPath("secret"));
        error.clear();
        EXPECT_FALSE(ReadHostFileBytes(app.HostPath("img/x.png"), 100, bytes, error)) << HostileName(kind);
        EXPECT_EQ(error, HostileReason(kind));
        EXPECT_TRUE(bytes.empty());
    }
    const std::string climb =
        std::filesystem::relative(elsewhere.HostPath("secret"), app.HostPath("img")).string();
    EXPECT_FALSE(ReadHostFileBytes(app.HostPath("img/") + climb, 100, bytes, error)) << climb;
    EXPECT_EQ(error, "a link that leads out of its folder");
    EXPECT_FALSE(ReadHostFileBytes(app.HostPath("img/none.png"), 100, bytes, error));
    EXPECT_EQ(error, "file not found");
    // Outside the program folder a file stays within the folder that holds
    // it; the system files the program names itself are bounded by nothing.
    ASSERT_EQ(::symlink(elsewhere.HostPath("secret").c_str(), elsewhere.HostPath("alias").c_str()), 0);
    EXPECT_TRUE(ReadHostFileBytes(elsewhere.HostPath("alias"), 100, bytes, error)) << error;
    HostFile file;
    EXPECT_TRUE(OpenHostFileWithin(app.HostPath("img/x.png"), "", file, error)) << error;
    EXPECT_FALSE(OpenHostFileWithin("/dev/zero", "", file, error));
    EXPECT_EQ(error, "a device, not a file");
    zFileSystem.AppPath = savedApp;
}

// A folder of the path swapped again and again for a link to a folder
// outside, by another program while the game reads: every read either finds
// the file inside or is refused, none reads the file outside.
TEST(HostFiles, TheDoorReadsNothingOutsideWhileAFolderIsSwappedForALink) {
    TempDir app, elsewhere;
    std::filesystem::create_directories(app.HostPath("img"));
    zun::test::WriteHostFile(app.HostPath("img/x.png"), {'i', 'n'});
    zun::test::WriteHostFile(elsewhere.HostPath("x.png"), {'o', 'u', 't'});
    ASSERT_EQ(::symlink(elsewhere.Host().c_str(), app.HostPath("swap").c_str()), 0);
    const std::string savedApp = zFileSystem.AppPath;
    zFileSystem.AppPath = app.Path();
    std::atomic<bool> stop{false};
    std::atomic<int64_t> swaps{0};
    std::thread swapper([&] {
        const std::string a = app.HostPath("img"), b = app.HostPath("swap");
        while (!stop) {
            if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
        }
    });
    int inside = 0, outside = 0;
    // Several seconds of swapping, however fast or slow the machine: the
    // window between a check and its open is narrow and is found by chance.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (int i = 0; i < 20000 || swaps < 1000 || std::chrono::steady_clock::now() < until; ++i) {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!ReadHostFileBytes(app.HostPath("img/x.png"), 100, bytes, error)) continue;
        if (bytes.size() == 3) ++outside;
        else ++inside;
    }
    stop = true;
    swapper.join();
    zFileSystem.AppPath = savedApp;
    EXPECT_EQ(outside, 0) << inside << " reads inside, " << swaps << " swaps";
    EXPECT_GT(inside, 0);
}

// Every file the program and its tools open goes through the door: code
// elsewhere that opens a file itself (a reader added later) fails this test.
TEST(HostFiles, NoCodeOutsideTheDoorOpensAFile) {
    struct Call {
        const char* Name;
        std::regex Pattern;
    };
    const std::vector<Call> forbidden = {
        {"C file open",
         std::regex(R"(\b(fopen|fopen64|freopen|fdopen|tmpfile|popen|mkstemp|mkostemp|creat)\s*\()")},
        {"POSIX open", std::regex(R"((^|[^\w.>])(::)?open(at|at2)?\s*\()")},
        {"C++ file stream", std::regex(R"(\b(ifstream|ofstream|fstream|basic_filebuf|filebuf)\b)")},
        {"folder listing",
         std::regex(R"(\b(opendir|fdopendir|scandir)\s*\(|\b(recursive_)?directory_iterator\b)")},
        {"replacing a file", std::regex(R"(\b(rename|renameat|copy_file)\s*\()")},
        {"libsndfile by name", std::regex(R"(\bsf_open\s*\()")},
        {"FFmpeg by name", std::regex(R"(\bavformat_open_input\s*\([^,]*,(?!\s*(nullptr|NULL)\b))")},
        {"SDL by name", std::regex(R"(\bSDL_(RWFromFile|LoadBMP|SaveBMP|LoadFile|LoadWAV)\b)")},
        {"FluidSynth by name",
         std::regex(R"(\bfluid_(synth_sfload|player_add|is_soundfont|is_midifile)\s*\()")},
        {"image library by name",
         std::regex(
             R"(\b(png_init_io|jpeg_stdio_src|jpeg_stdio_dest|stbi_loadf?|stbi_load_16|stbi_info)\s*\()"
             R"(|\bstbi_write_(png|bmp|tga|jpg|hdr)\s*\()")},
        {"library load", std::regex(R"(\bdl(m)?open\s*\()")},
    };
    // The door itself; the sound font's load, whose loader reads what the
    // door opened (the library is given a name no file has); and the system
    // libraries loaded by their fixed names, which the loader looks for among
    // the system's, never in a game folder.
    const std::vector<std::pair<std::string, std::string>> allowed = {
        {"core/zHostFile.cpp", ""},
        {"platform/MidiSynth.cpp", "FluidSynth by name"},
        {"platform/MediaDecode.cpp", "library load"},
        {"platform/WindowManager.cpp", "library load"},
        {"platform/XErrorHandler.cpp", "library load"}};
    std::vector<std::string> found;
    size_t scanned = 0;
    for (const char* top : {"core", "devices", "platform", "scene", "script", "game", "tools"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::string(ZUN_SOURCE_DIR) + "/" + top)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            const std::string rel = std::filesystem::relative(entry.path(), ZUN_SOURCE_DIR).string();
            ++scanned;
            std::ifstream in(entry.path());
            std::string line;
            bool inBlock = false;
            for (int number = 1; std::getline(in, line); ++number) {
                // Comments and texts are no calls.
                std::string code;
                for (size_t i = 0; i < line.size(); ++i) {
                    if (inBlock) {
                        if (line.compare(i, 2, "*/") == 0) inBlock = false, ++i;
                    } else if (line.compare(i, 2, "/*") == 0) {
                        inBlock = true, ++i;
                    } else if (line.compare(i, 2, "//") == 0) {
                        break;
                    } else if (line[i] == '"' || line[i] == '\'') {
                        const char quote = line[i];
                        code += "\"\"";
                        for (++i; i < line.size() && line[i] != quote; ++i)
                            if (line[i] == '\\') ++i;
                    } else {
                        code += line[i];
                    }
                }
                for (const Call& call : forbidden) {
                    if (!std::regex_search(code, call.Pattern)) continue;
                    bool excused = false;
                    for (const auto& [file, what] : allowed)
                        excused |= rel == file && (what.empty() || what == call.Name);
                    if (!excused)
                        found.push_back(rel + ":" + std::to_string(number) + ": " + call.Name + ": " + line);
                }
            }
        }
    }
    EXPECT_GT(scanned, 200u);
    std::string list;
    for (const auto& f : found) list += "\n  " + f;
    EXPECT_TRUE(found.empty()) << "files opened outside the door (core/zHostFile.h):" << list;
}
