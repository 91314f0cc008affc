#include <gtest/gtest.h>

#include <filesystem>

#include "core/zFileSystem.h"
#include "support/TestSupport.h"

using namespace zun;
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
    std::FILE* f = OpenFile(dir.Path("A\\B\\new.bin"), true);
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(std::filesystem::exists(dir.HostPath("a/b/new.bin")));
}
