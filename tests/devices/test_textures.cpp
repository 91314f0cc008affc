// The texture cache over image files, on the recording backend.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "DeviceTestSupport.h"

namespace zun::test {
namespace {

class Textures : public RecordingDevice {
protected:
    TempDir dir;
    void SetUp() override {
        RecordingDevice::SetUp();
        zDDraw.TexturePath = dir.Path();
    }
    void Png(const std::string& name, int32_t w, int32_t h) {
        WritePng(dir.HostPath(name), w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 4, 200));
    }
    int CountLines(const LogCapture& log, const std::string& fragment) {
        int n = 0;
        for (const auto& l : log.Lines()) n += l.find(fragment) != std::string::npos;
        return n;
    }
};

TEST_F(Textures, AFileIsLoadedOnceWhateverTheCaseOfItsName) {
    Png("Tree.png", 3, 5);
    LogCapture log;
    int32_t t = zDDraw.LoadTexture("Tree.png", true, 0, 1, 0);
    ASSERT_EQ(t, 1);
    EXPECT_EQ(zDDraw.LoadTexture("Tree.png", true, 0, 1, 0), t);
    EXPECT_EQ(zDDraw.LoadTexture("TREE.PNG", false, 0, 0, 21), t);
    EXPECT_EQ(CountLines(log, "INF\tLoadTexture\t<Tree.png>"), 1);
    const TextureEntry& e = zDDraw.Textures[size_t(t)];
    EXPECT_EQ(e.W, 3);  // the image's own size, not a power of two
    EXPECT_EQ(e.H, 5);
    EXPECT_TRUE(e.Loaded);
    EXPECT_TRUE(e.Smooth);  // the first request's settings stay
    EXPECT_EQ(e.MipLevels, 1);
    EXPECT_EQ(e.FileName, "Tree.png");
    int32_t w = 0, h = 0;
    ASSERT_TRUE(rec->TextureSize(e.Texture, w, h));
    EXPECT_EQ(w, 3);
}

TEST_F(Textures, TheColourKeyIsPartOfTheCacheKey) {
    Png("Tree.png", 2, 2);
    int32_t plain = zDDraw.LoadTexture("Tree.png", false, 0, 1, 0);
    int32_t keyed = zDDraw.LoadTexture("tree.png", false, int32_t(0xFFFF00FFu), 1, 0);
    EXPECT_NE(plain, keyed);
    EXPECT_EQ(zDDraw.TextureCount, 2);
    EXPECT_EQ(zDDraw.LoadTexture("Tree.png", false, int32_t(0xFFFF00FFu), 1, 0), keyed);
}

TEST_F(Textures, NoNameAndMissingFilesGiveNoHandleAndNoEntry) {
    LogCapture log;
    EXPECT_EQ(zDDraw.LoadTexture("", false, 0, 1, 0), 0);
    EXPECT_TRUE(log.Contains("WARN\tLoadTexture\tNo filename given"));
    EXPECT_EQ(zDDraw.LoadTexture("Nowhere.png", false, 0, 1, 0), 0);
    EXPECT_TRUE(log.Contains("ERR\tLoadTexture\tFile not found\t<Nowhere.png>"));
    EXPECT_EQ(zDDraw.TextureCount, 0);
    EXPECT_EQ(zDDraw.Textures.size(), 1u);
}

TEST_F(Textures, AFailedLoadGivesItsSlotToTheNextOne) {
    WriteHostFile(dir.HostPath("Broken.png"), {0x89, 'P', 'N', 'G', 1, 2, 3});
    WriteHostFile(dir.HostPath("Empty.png"), {});
    Png("Good.png", 4, 4);
    LogCapture log;
    EXPECT_EQ(zDDraw.LoadTexture("Broken.png", false, 0, 1, 0), 0);
    EXPECT_TRUE(log.Contains("ERR\tLoadTexture\t\t<Broken.png>"));
    EXPECT_EQ(zDDraw.TextureCount, 0);
    EXPECT_EQ(zDDraw.LoadTexture("Empty.png", false, 0, 1, 0), 0);
    EXPECT_EQ(zDDraw.LoadTexture("Good.png", false, 0, 1, 0), 1);
    EXPECT_EQ(zDDraw.Textures.size(), 2u);

    rec->FailTextures = true;  // the drawing surface refuses it
    Png("Other.png", 4, 4);
    EXPECT_EQ(zDDraw.LoadTexture("Other.png", false, 0, 1, 0), 0);
    EXPECT_EQ(zDDraw.TextureCount, 1);
    // A failure is not cached: the file is tried again next time.
    rec->FailTextures = false;
    EXPECT_EQ(zDDraw.LoadTexture("Other.png", false, 0, 1, 0), 2);
}

// A damaged file is read and decoded once, whatever colour keys it is asked
// for with: unchanged, it fails again at once; written anew, it is read again.
TEST_F(Textures, ADamagedFileIsNotDecodedAgainUntilItChanges) {
    Png("Cut.png", 64, 64);
    const std::vector<uint8_t> good = ReadHostFile(dir.HostPath("Cut.png"));
    WriteHostFile(dir.HostPath("Cut.png"), std::vector<uint8_t>(good.begin(), good.begin() + 33));
    LogCapture log;
    for (int32_t key = 0; key < 3; ++key) EXPECT_EQ(zDDraw.LoadTexture("Cut.png", false, key, 1, 0), 0);
    EXPECT_EQ(CountLines(log, "WARN\tLoadTexture\tfile is truncated"), 1);
    EXPECT_EQ(CountLines(log, "ERR\tLoadTexture\t\t<Cut.png>"), 3);
    EXPECT_EQ(zDDraw.TextureCount, 0);
    WriteHostFile(dir.HostPath("Cut.png"), good);
    EXPECT_EQ(zDDraw.LoadTexture("Cut.png", false, 0, 1, 0), 1);
}

// A picture that makes no texture is named with its reason on a line of its
// own, whatever refused it: the decoder, or the file door for what stands in
// its place (a FIFO, a folder, a loop of links, a link out of the folder).
// The stated error line follows it; a damaged file asked for again fails at
// once with that line alone, its reason told already.
TEST_F(Textures, ARefusedPictureIsNamedWithItsReason) {
    TempDir outside;
    Png("Elsewhere.png", 2, 2);
    ASSERT_EQ(::rename(dir.HostPath("Elsewhere.png").c_str(), outside.HostPath("Elsewhere.png").c_str()), 0);
    WriteHostFile(dir.HostPath("Cut.png"), {0x89, 'P', 'N', 'G', 1, 2, 3});
    PlaceHostile(dir.HostPath("Fifo.png"), Hostile::Fifo, "");
    PlaceHostile(dir.HostPath("Folder.png"), Hostile::Folder, "");
    PlaceHostile(dir.HostPath("Out.png"), Hostile::OutsideLink, outside.HostPath("Elsewhere.png"));
    ASSERT_EQ(::symlink("Loop.png", dir.HostPath("Loop.png").c_str()), 0);
    const std::pair<const char*, const char*> cases[] = {{"Cut.png", "file is truncated"},
                                                         {"Fifo.png", "a FIFO, not a file"},
                                                         {"Folder.png", "a folder, not a file"},
                                                         {"Loop.png", "a loop of links, not a file"},
                                                         {"Out.png", "a link that leads out of its folder"},
                                                         {"Cut.png", nullptr}};
    for (const auto& [name, why] : cases) {
        SCOPED_TRACE(name);
        LogCapture log;
        EXPECT_EQ(zDDraw.LoadTexture(name, false, 0, 1, 0), 0);
        const std::string file = std::string("<") + name + ">";
        std::vector<std::string> want;
        if (why) want.push_back(std::string("WARN\tLoadTexture\t") + why + "\t" + file);
        want.push_back("ERR\tLoadTexture\t\t" + file);
        std::vector<std::string> got;
        for (const auto& l : log.Lines())
            if (l.rfind("INF", 0) != 0) got.push_back(l);
        EXPECT_EQ(got, want);
    }
    EXPECT_EQ(zDDraw.TextureCount, 0);
}

// Only what the file's own bytes caused is remembered: a load that failed for
// the machine's sake (no file descriptor left) reads the unchanged file again.
TEST_F(Textures, AFailureThatIsNotTheFilesFaultIsTriedAgain) {
    Png("Fine.png", 8, 8);
    LogCapture log;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // The lowest free descriptor becomes the limit: the next open fails.
    const int lowest = ::dup(0);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowest);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int32_t starved = zDDraw.LoadTexture("Fine.png", false, 0, 1, 0);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(starved, 0);
    EXPECT_TRUE(log.Contains("Too many open files")) << zCore.LogText;
    EXPECT_GT(zDDraw.LoadTexture("Fine.png", false, 0, 1, 0), 0);
}

TEST_F(Textures, NewKeyedCopiesAndRenderTargetsStopAtTheGraphicsBudget) {
    struct Keep {
        int64_t budget = zDDraw.TextureBudget;
        ~Keep() { zDDraw.TextureBudget = budget; }
    } keep;
    Png("Big.png", 64, 64);  // 16 KB a copy
    zDDraw.TextureBudget = zDDraw.TextureBytes + 100 * 1024;
    LogCapture log;
    // A new colour key makes a new copy each time, until the budget is used up.
    int32_t made = 0, last = 0;
    for (int32_t key = 1; key <= 20; ++key) {
        const int32_t t = zDDraw.LoadTexture("Big.png", false, key, 1, 0);
        if (t == 0) break;
        last = t;
        ++made;
    }
    EXPECT_EQ(made, 6);
    EXPECT_EQ(CountLines(log, "Graphics memory budget used up\t<Big.png>"), 1);
    EXPECT_EQ(zDDraw.CreateRenderTarget(128), 0);  // 64 KB more does not fit
    EXPECT_EQ(CountLines(log, "Graphics memory budget used up\tRenderTarget 128"), 1);
    EXPECT_LE(zDDraw.TextureBytes, zDDraw.TextureBudget);
    // What is released can be used again.
    zDDraw.ReleaseTextureObject(last);
    EXPECT_GT(zDDraw.CreateRenderTarget(64), 0);
}

TEST_F(Textures, ATextureOverTheBudgetIsRefusedBeforeItsFileIsDecoded) {
    struct Keep {
        int64_t budget = zDDraw.TextureBudget;
        ~Keep() { zDDraw.TextureBudget = budget; }
    } keep;
    // The header of a 64 x 64 picture and nothing behind it: decoding it
    // would fail and say why.
    Png("Big.png", 64, 64);
    std::vector<uint8_t> bytes = ReadHostFile(dir.HostPath("Big.png"));
    bytes.resize(33);
    WriteHostFile(dir.HostPath("Big.png"), bytes);
    const int64_t before = zDDraw.TextureBytes;
    zDDraw.TextureBudget = before + 8 * 1024;
    LogCapture log;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(zDDraw.LoadTexture("Big.png", false, 0, 1, 0), 0);
    EXPECT_EQ(CountLines(log, "Graphics memory budget used up\t<Big.png>"), 3);
    EXPECT_EQ(CountLines(log, "WARN\tLoadTexture"), 0) << "the file was decoded: " << zCore.LogText;
    EXPECT_EQ(zDDraw.TextureCount, 0);
    // Within the budget the same file is decoded, and refused as damaged.
    zDDraw.TextureBudget = before + 64 * 1024;
    EXPECT_EQ(zDDraw.LoadTexture("Big.png", false, 0, 1, 0), 0);
    EXPECT_EQ(CountLines(log, "WARN\tLoadTexture\tfile is truncated"), 1);
    EXPECT_EQ(zDDraw.TextureBytes, before) << "its reservation given back";
}

TEST_F(Textures, TexturesAreUploadedAgainWhenTheDeviceComesBack) {
    Png("A.png", 2, 2);
    int32_t a = zDDraw.LoadTexture("A.png", false, 0, 1, 0);
    int32_t rt = zDDraw.CreateRenderTarget(16);
    ASSERT_GT(a, 0);
    ASSERT_GT(rt, 0);
    rec->ClearLog();
    rec->NextStatus = DeviceStatus::NotReset;
    EXPECT_TRUE(zDDraw.BeginScene(0, 0));
    ASSERT_GE(rec->Calls.size(), 2u);
    EXPECT_EQ(rec->Calls[0], "Reset");
    EXPECT_EQ(rec->Calls[1], "UpdateTexture " + std::to_string(zDDraw.Textures[size_t(a)].Texture) + " 2x2");

    // Should the files be gone, the frame is skipped and logged, and tried again.
    std::remove(dir.HostPath("A.png").c_str());
    rec->NextStatus = DeviceStatus::Lost;
    LogCapture log;
    EXPECT_FALSE(zDDraw.BeginScene(0, 0));
    EXPECT_TRUE(log.Contains("ERR\tDevice lost!"));
}

}  // namespace
}  // namespace zun::test
